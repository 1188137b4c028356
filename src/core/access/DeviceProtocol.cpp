#include "core/access/DeviceProtocol.h"

namespace orvex {

namespace {

// Byte positions inside a request report.
constexpr int kCommandByte = 1;
constexpr int kAddressHighByte = 2;
constexpr int kAddressLowByte = 3;
constexpr int kValueByte = 4;

HidReport request(std::uint8_t command, int address, std::uint8_t value)
{
    HidReport report{};
    report[0] = command::kReportId;
    report[kCommandByte] = command;
    report[kAddressHighByte] = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    report[kAddressLowByte] = static_cast<std::uint8_t>(address & 0xFF);
    report[kValueByte] = value;
    return report;
}

} // namespace

HidReport writeRequest(int address, std::uint8_t value)
{
    return request(command::kWriteByte, address, value);
}

HidReport readRequest(int address)
{
    return request(command::kRead, address, 0);
}

QString hardwareIdText(int deviceNumber)
{
    if (deviceNumber < 0 || deviceNumber >= static_cast<int>(kProductIds.size()))
        return {};
    const auto productId = kProductIds[static_cast<std::size_t>(deviceNumber)];
    return QStringLiteral("vid_%1&pid_%2")
        .arg(kVendorId, 4, 16, QLatin1Char('0'))
        .arg(productId, 4, 16, QLatin1Char('0'));
}

} // namespace orvex
