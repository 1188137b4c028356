#pragma once

#include "core/config/UserMessage.h"

#include <QString>

namespace orvex {

class ConfigModel;
class DeviceLink;
class DeviceTransport;
class FileCommands;

// What a configuration transfer tells the window: progress in the status window and the
// closing message.
class TransferView
{
public:
    virtual ~TransferView() = default;

    virtual void showTransferStatus() = 0;                   // show frmStatus, modeless
    virtual void setTransferStatus(const QString &text) = 0; // setStatus: text, then events run
    virtual void hideTransferStatus() = 0;                   // unload frmStatus
    virtual void processPendingEvents() = 0;
    virtual void showMessage(const UserMessage &message) = 0;
};

enum class TransferResult {
    Success,
    Cancelled, // the unsaved-changes prompt stopped a read
    NotFound,  // the device could not be opened
    ReadError,
    WriteError,
    InvalidConfiguration, // the device's image was rejected; the model is unchanged
    Busy,                 // another transfer is still running; nothing was done
};

// Reads the selected device's configuration into the model, or writes the model to it, one byte
// per exchange, with the polling paused.
class ConfigTransfer
{
public:
    ConfigTransfer(DeviceLink &link, ConfigModel &model, TransferView &view);

    // File > Read from ORVEX: asks to save changes first (through `files`), pauses polling,
    // reads, and reopens the polling handle when a device is viewed.
    TransferResult readFromDevice(FileCommands *files);

    // File > Write to ORVEX: pauses polling, writes, reopens the polling handle.
    TransferResult writeToDevice();

    // A read or write asked for while one is running (its status updates let window events
    // run) is refused with TransferResult::Busy.
    bool isBusy() const;

    // The transfers themselves, on a private handle of the selected device.
    TransferResult readConfiguration();
    TransferResult writeConfiguration();

    // "Reading configuration - 17%" style percentages: halves rounded away from zero.
    static QString percentText(int done, int total);

private:
    DeviceLink &m_link;
    DeviceTransport &m_transport;
    ConfigModel &m_model;
    TransferView &m_view;
};

} // namespace orvex
