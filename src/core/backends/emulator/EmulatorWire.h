#pragma once

#include "core/access/DeviceAccess.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <optional>

namespace orvex {

// The line format that orvex-emulator and its client backend share.

// A reply line of the emulator, taken apart.
struct EmulatorReply
{
    enum class Kind { Ok, Error, Bad, Invalid };
    Kind kind = Kind::Invalid;
    QByteArrayView value;             // what follows "OK " (may be empty), inside the line
    HidStatus status = hid::kIoError; // the status of an ERR reply
};
// The reply's value points into `line`, which must outlive it.
EmulatorReply parseEmulatorReply(QByteArrayView line);

// Lower-case hex of a report, and back (exactly 12 digits, either case).
QByteArray reportToHex(const HidReport &report);
bool reportFromHex(QByteArrayView hex, HidReport &report);

// The request line of an exchange, "XFER <handle> <report in hex>", built without touching the
// heap: the live view sends two every 10 ms.
class TransferRequest
{
public:
    TransferRequest(int serverHandle, const HidReport &report);
    QByteArrayView line() const { return {m_text.data(), m_length}; }

private:
    std::array<char, 32> m_text{}; // "XFER " + at most 11 digits + ' ' + 12 hex digits
    qsizetype m_length = 0;
};

// Exactly `digits` hex digits, in either case.
std::optional<unsigned> parseHexDigits(QByteArrayView text, qsizetype digits);

} // namespace orvex
