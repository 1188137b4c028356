#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

using HidHandle = std::int32_t;
using HidStatus = std::int32_t;
using HidReport = std::array<std::uint8_t, 6>;

constexpr HidHandle kClosedHandle = 0;

constexpr std::uint16_t kVendorId = 0x04B4;
constexpr std::array<std::uint16_t, 2> kProductIds = {0x6148, 0x6149}; // Device 1, Device 2
constexpr int kReportLength = 6;

// Statuses of the device access layer: 0 is success, anything else a failure.  The distinct
// open failures let start-up tell "not plugged in" from "plugged in but not accessible".
namespace hid {
constexpr HidStatus kSuccess = 0;
constexpr HidStatus kNotPresent = 1;   // no such device on the bus
constexpr HidStatus kAccessDenied = 2; // present, but the user may not open it
constexpr HidStatus kInUse = 3;        // present, but another program holds it
constexpr HidStatus kIoError = 4;      // an exchange failed (write or read error, unplugged)
constexpr HidStatus kTimeout = 5;      // the device did not reply in time
constexpr HidStatus kBadHandle = 6;    // the handle is not open
constexpr HidStatus kBadArgument = 7;  // wrong report lengths, unknown identifier text
} // namespace hid

// One HID interface of a device as a device access layer sees it, for diagnostics.
struct HidInterfaceInfo
{
    std::string node;            // "/dev/hidraw3", or what stands for it on virtual devices
    std::uint16_t usagePage = 0; // of its first top-level collection
    int reportId = 0;            // the report the lengths are of: ours (1) when declared
    int inputLength = 0;         // bytes, the report ID included; 0 when unknown
    int outputLength = 0;
    bool chosen = false; // the interface an open of the device uses

    bool operator==(const HidInterfaceInfo &) const = default;
};

// The single interface of a device that speaks nothing but our reports (virtual devices).
inline HidInterfaceInfo soleVendorInterface(std::string node)
{
    return {std::move(node), 0xFF00, 1, kReportLength, kReportLength, true};
}

// The device access library: four operations on USB HID devices that exchange 6-byte reports.
// Backends: real devices through hidapi, the in-process virtual device, and the emulator client.
class DeviceAccess
{
public:
    virtual ~DeviceAccess() = default;

    // Opens the device with this product identifier; on success stores a positive handle.
    virtual HidStatus OpenHidDevice(std::uint16_t productId, int requestLength, int replyLength,
                                    HidHandle &handle) = 0;

    // Closes the handle and sets it to kClosedHandle.
    virtual HidStatus CloseHidDevice(HidHandle &handle) = 0;

    // One exchange: sends the request and, on success, has stored the reply before returning.
    virtual HidStatus WriteHidDevice(HidHandle &handle, const HidReport &request,
                                     HidReport &reply) = 0;

    // Restarts the device named by its hardware-identifier text ("vid_04b4&pid_6148"),
    // given as a zero-terminated 8-bit string.
    virtual HidStatus RestartHidDevice(const char *hardwareId) = 0;

    // Beyond the library: what a user needs to know when a device cannot be used.

    // The HID interfaces of the product that this layer sees, the one an open uses marked;
    // empty when none is plugged in or the layer cannot tell.
    virtual std::vector<HidInterfaceInfo> interfaces(std::uint16_t productId) = 0;

    // Who holds the device when another program has it, "orvex-config (PID 1234)"; empty when
    // nobody else does or this layer cannot tell.
    virtual QString holderOf(std::uint16_t productId) const
    {
        (void)productId;
        return {};
    }
};

} // namespace orvex
