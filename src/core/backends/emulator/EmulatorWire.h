#pragma once

#include "core/access/DeviceAccess.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace orvex {

// The line format that orvex-emulator and its client backend share.

// A reply line of the emulator, taken apart.
struct EmulatorReply
{
    enum class Kind { Ok, Error, Bad, Invalid };
    Kind kind = Kind::Invalid;
    QByteArray value;                 // what follows "OK " (may be empty)
    HidStatus status = hid::kIoError; // the status of an ERR reply
};
EmulatorReply parseEmulatorReply(QByteArrayView line);

// Lower-case hex of a report, and back (exactly 12 digits, either case).
QByteArray reportToHex(const HidReport &report);
bool reportFromHex(QByteArrayView hex, HidReport &report);

// Exactly `digits` hex digits, in either case.
std::optional<unsigned> parseHexDigits(QByteArrayView text, qsizetype digits);

} // namespace orvex
