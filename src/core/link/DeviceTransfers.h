#pragma once

#include "core/config/ConfigImage.h"

#include <QString>
#include <functional>

namespace orvex {

class DeviceTransport;

enum class TransferResult {
    Success,
    Cancelled, // the unsaved-changes prompt stopped a read
    NotFound,  // the device could not be opened
    ReadError,
    WriteError,
    InvalidConfiguration, // the device's image was rejected; the model is unchanged
    Busy,                 // another transfer is still running; nothing was done
};

enum class TransferDirection { Read, Write };

// How the device side of a transfer ended: for a read, the image it brought; for a failure, the
// text that says what went wrong ("Error while reading from the ORVEX (1)").
struct TransferOutcome
{
    TransferDirection direction = TransferDirection::Read;
    TransferResult result = TransferResult::Success;
    int deviceNumber = 0;
    ConfigImage image{};
    QString failureText;
};

// Told the two progress lines before each channel header and each section-pair byte moves.
using TransferProgress = std::function<void(const QString &text)>;

// The device side of File > Read and File > Write: the configured part of the image moved one
// byte per exchange, on a private handle of the device, in the order the device expects.  A read
// fills the outcome's image; a write clears the signature first and stores it last.  The first
// failed exchange ends either.  Both run on the device thread.
TransferOutcome readConfiguration(DeviceTransport &transport, int deviceNumber,
                                  const TransferProgress &progress);
TransferOutcome writeConfiguration(DeviceTransport &transport, int deviceNumber,
                                   const ConfigImage &image, const TransferProgress &progress);

// "Reading configuration - 17%" style percentages: halves rounded away from zero.
QString percentText(int done, int total);

} // namespace orvex
