#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvex {

struct UsbId
{
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;

    bool operator==(const UsbId &) const = default;
};

// Reads the vendor and product identifiers from a hardware-identifier text such as
// "vid_04b4&pid_6148" (hex digits and the vid_/pid_ tags in either case).  The text may carry
// a bus prefix ("USB\VID_04B4&PID_6148"); anything that is not exactly four hex digits after
// each tag is refused.
std::optional<UsbId> parseHardwareId(std::string_view text);

// Device number (0 or 1) of a product identifier of ours, or -1.
int deviceNumberForProduct(std::uint16_t productId);

} // namespace orvex
