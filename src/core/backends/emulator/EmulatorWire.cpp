#include "core/backends/emulator/EmulatorWire.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace orvex {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

EmulatorReply parseEmulatorReply(QByteArrayView line)
{
    EmulatorReply reply;
    if (line == "OK") {
        reply.kind = EmulatorReply::Kind::Ok;
    } else if (line.startsWith("OK ")) {
        reply.kind = EmulatorReply::Kind::Ok;
        reply.value = line.sliced(3);
    } else if (line.startsWith("ERR ")) {
        bool isNumber = false;
        const int status = line.sliced(4).toInt(&isNumber);
        reply.kind = isNumber && status != hid::kSuccess ? EmulatorReply::Kind::Error
                                                         : EmulatorReply::Kind::Invalid;
        reply.status = reply.kind == EmulatorReply::Kind::Error ? status : hid::kIoError;
    } else if (line.startsWith("BAD")) {
        reply.kind = EmulatorReply::Kind::Bad;
    }
    return reply;
}

QByteArray reportToHex(const HidReport &report)
{
    return QByteArray(reinterpret_cast<const char *>(report.data()),
                      static_cast<qsizetype>(report.size()))
        .toHex();
}

TransferRequest::TransferRequest(int serverHandle, const HidReport &report)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    constexpr std::string_view kCommand = "XFER ";
    char *out = std::copy(kCommand.begin(), kCommand.end(), m_text.begin());
    out = std::to_chars(out, m_text.end(), serverHandle).ptr;
    *out++ = ' ';
    for (const std::uint8_t byte : report) {
        *out++ = kDigits[byte >> 4];
        *out++ = kDigits[byte & 0x0F];
    }
    m_length = out - m_text.begin();
}

bool reportFromHex(QByteArrayView hex, HidReport &report)
{
    if (hex.size() != 2 * kReportLength)
        return false;
    HidReport parsed{};
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const std::optional<unsigned> byte = parseHexDigits(hex.sliced(2 * i, 2), 2);
        if (!byte)
            return false;
        parsed[i] = static_cast<std::uint8_t>(*byte);
    }
    report = parsed;
    return true;
}

std::optional<unsigned> parseHexDigits(QByteArrayView text, qsizetype digits)
{
    if (text.size() != digits)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        const int digit = hexValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

} // namespace orvex
