#pragma once

#include "core/access/DeviceAccess.h"
#include "core/access/HardwareId.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvex {

// One HID interface of a USB device, as the system lists it: one hidraw node.
struct HidInterface
{
    std::string path;            // the hidraw node, "/dev/hidraw3"
    int interfaceNumber = -1;    // the USB interface number
    std::uint16_t usagePage = 0; // as hidapi reports it; 0 when it does not know
    std::string physicalDevice;  // the USB device the interface belongs to (its sysfs path)
};

// One open hidraw node; the destructor closes it.
class HidConnection
{
public:
    virtual ~HidConnection() = default;

    // The number of bytes written, or -1.
    virtual int write(std::span<const std::uint8_t> report) = 0;

    // The number of bytes of one input report, 0 when none came within the time-out, -1 on an
    // error (the device is gone).
    virtual int read(std::span<std::uint8_t> buffer, int timeoutMs) = 0;
};

// Everything the hidapi backend asks of the system: hidapi's enumeration and its open, write
// and read, the report descriptors that the kernel shows in sysfs, and the USB reset of
// libusb.  The program uses the system's own; tests script a composite device behind it.
class HidPlatform
{
public:
    virtual ~HidPlatform() = default;

    // Every interface of the devices with these identifiers, as the system lists them: hidapi
    // lists a node once for every top-level collection it has.
    virtual std::vector<HidInterface> enumerate(std::uint16_t vendorId,
                                                std::uint16_t productId) = 0;

    // The interface's report descriptor, read without opening the node; nothing when it
    // cannot be read.
    virtual std::optional<std::vector<std::uint8_t>> reportDescriptor(const std::string &path) = 0;

    struct OpenResult
    {
        std::unique_ptr<HidConnection> connection; // null when the open failed
        int error = 0;                             // then the errno that explains why
    };
    virtual OpenResult open(const std::string &path) = 0;

    // Resets the USB device, which makes it start again with its new configuration.
    virtual HidStatus resetUsbDevice(UsbId id) = 0;
};

// hidapi (hidraw), sysfs under `sysRoot` and libusb.
std::unique_ptr<HidPlatform>
createSystemHidPlatform(const QString &sysRoot = QStringLiteral("/sys"));

} // namespace orvex
