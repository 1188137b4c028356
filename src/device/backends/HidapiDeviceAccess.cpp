#include "device/backends/HidapiDeviceAccess.h"

#include "device/backends/HardwareId.h"
#include "device/backends/HidapiSupport.h"

#include <QDeadlineTimer>
#include <array>
#include <atomic>
#include <cerrno>
#include <hidapi.h>
#include <libusb.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace orvex {

namespace {

// The device node of the first HID interface with this vendor and product; empty when none.
std::string findDevicePath(std::uint16_t productId)
{
    hid_device_info *found = hid_enumerate(kVendorId, productId);
    std::string path = found && found->path ? found->path : "";
    hid_free_enumeration(found);
    return path;
}

HidStatus libusbStatus(int result)
{
    switch (result) {
    case LIBUSB_SUCCESS:
    case LIBUSB_ERROR_NOT_FOUND: // the device re-enumerated: that is the restart we asked for
        return hid::kSuccess;
    case LIBUSB_ERROR_ACCESS:
        return hid::kAccessDenied;
    case LIBUSB_ERROR_NO_DEVICE:
        return hid::kNotPresent;
    case LIBUSB_ERROR_BUSY:
        return hid::kInUse;
    default:
        return hid::kIoError;
    }
}

struct LibusbContextDeleter
{
    void operator()(libusb_context *context) const { libusb_exit(context); }
};

HidStatus resetUsbDevice(UsbId id)
{
    libusb_context *rawContext = nullptr;
    if (libusb_init(&rawContext) != LIBUSB_SUCCESS)
        return hid::kIoError;
    const std::unique_ptr<libusb_context, LibusbContextDeleter> context(rawContext);

    libusb_device_handle *handle =
        libusb_open_device_with_vid_pid(context.get(), id.vendorId, id.productId);
    if (!handle) {
        // libusb does not say why; tell a missing device from one we may not open.
        libusb_device **list = nullptr;
        const ssize_t count = libusb_get_device_list(context.get(), &list);
        bool present = false;
        for (ssize_t i = 0; i < count && !present; ++i) {
            libusb_device_descriptor descriptor{};
            present = libusb_get_device_descriptor(list[i], &descriptor) == LIBUSB_SUCCESS &&
                      descriptor.idVendor == id.vendorId && descriptor.idProduct == id.productId;
        }
        if (count >= 0)
            libusb_free_device_list(list, 1);
        return present ? hid::kAccessDenied : hid::kNotPresent;
    }
    const int result = libusb_reset_device(handle);
    libusb_close(handle);
    return libusbStatus(result);
}

} // namespace

HidapiDeviceAccess::HidapiDeviceAccess()
    : m_initialised(hid_init() == 0)
{}

HidapiDeviceAccess::~HidapiDeviceAccess()
{
    for (auto &[handle, device] : m_devices)
        hid_close(device);
    if (m_initialised)
        hid_exit();
}

HidStatus HidapiDeviceAccess::OpenHidDevice(std::uint16_t productId, int requestLength,
                                            int replyLength, HidHandle &handle)
{
    if (requestLength != kReportLength || replyLength != kReportLength)
        return hid::kBadArgument;
    if (!m_initialised)
        return hid::kIoError;

    const std::string path = findDevicePath(productId);
    if (path.empty())
        return hid::kNotPresent;

    errno = 0;
    hid_device *device = hid_open_path(path.c_str());
    if (!device) {
        const int openErrno = errno;
        const int accessErrno = ::access(path.c_str(), R_OK | W_OK) == 0 ? 0 : errno;
        return hidapi::openFailureStatus(accessErrno, openErrno);
    }
    handle = m_nextHandle++;
    m_devices.emplace(handle, device);
    return hid::kSuccess;
}

HidStatus HidapiDeviceAccess::CloseHidDevice(HidHandle &handle)
{
    const auto found = m_devices.find(handle);
    handle = kClosedHandle;
    if (found == m_devices.end())
        return hid::kBadHandle;
    hid_close(found->second);
    m_devices.erase(found);
    return hid::kSuccess;
}

HidStatus HidapiDeviceAccess::WriteHidDevice(HidHandle &handle, const HidReport &request,
                                             HidReport &reply)
{
    const auto found = m_devices.find(handle);
    if (found == m_devices.end())
        return hid::kBadHandle;
    hid_device *device = found->second;

    drainInput(device);
    const HidStatus written =
        hidapi::writeResultStatus(hid_write(device, request.data(), request.size()));
    if (written != hid::kSuccess)
        return written;
    return awaitReply(device, reply);
}

// Input reports that arrived since the last exchange would otherwise be taken for its reply.
void HidapiDeviceAccess::drainInput(hid_device *device)
{
    std::array<unsigned char, 64> buffer{};
    for (int i = 0; i < hidapi::kMaxDrainedReports; ++i) {
        if (hid_read_timeout(device, buffer.data(), buffer.size(), 0) <= 0)
            return;
    }
}

// Waits for our reply until the time-out, skipping reports with other IDs.
HidStatus HidapiDeviceAccess::awaitReply(hid_device *device, HidReport &reply)
{
    const QDeadlineTimer deadline(hidapi::kReplyTimeoutMs);
    std::array<unsigned char, 64> buffer{};
    while (true) {
        const int remaining = static_cast<int>(deadline.remainingTime());
        const int received = hid_read_timeout(device, buffer.data(), buffer.size(), remaining);
        const HidStatus status = hidapi::readResultStatus(received);
        if (status != hid::kSuccess)
            return status;
        const std::span<const std::uint8_t> bytes(buffer.data(),
                                                  static_cast<std::size_t>(received));
        if (hidapi::isOwnReport(bytes))
            return hidapi::frameReply(bytes, reply) ? hid::kSuccess : hid::kIoError;
        if (deadline.hasExpired())
            return hid::kTimeout;
    }
}

HidStatus HidapiDeviceAccess::RestartHidDevice(const char *hardwareId)
{
    const std::optional<UsbId> id = hardwareId ? parseHardwareId(hardwareId) : std::nullopt;
    if (!id)
        return hid::kBadArgument;
    return resetUsbDevice(*id);
}

} // namespace orvex
