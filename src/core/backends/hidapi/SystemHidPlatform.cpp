#include "core/backends/hidapi/HidPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <hidapi.h>
#include <libusb.h>
#include <unistd.h>

namespace orvex {

namespace {

// Report descriptors are at most 4 KiB in the kernel (HID_MAX_DESCRIPTOR_SIZE).
constexpr qint64 kMaxDescriptorSize = 4096;

class HidapiConnection : public HidConnection
{
public:
    explicit HidapiConnection(hid_device *device)
        : m_device(device)
    {}
    ~HidapiConnection() override { hid_close(m_device); }

    HidapiConnection(const HidapiConnection &) = delete;
    HidapiConnection &operator=(const HidapiConnection &) = delete;

    int write(std::span<const std::uint8_t> report) override
    {
        return hid_write(m_device, report.data(), report.size());
    }

    int read(std::span<std::uint8_t> buffer, int timeoutMs) override
    {
        return hid_read_timeout(m_device, buffer.data(), buffer.size(), timeoutMs);
    }

private:
    hid_device *m_device;
};

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

bool usbDevicePresent(libusb_context *context, UsbId id)
{
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    bool present = false;
    for (ssize_t i = 0; i < count && !present; ++i) {
        libusb_device_descriptor descriptor{};
        present = libusb_get_device_descriptor(list[i], &descriptor) == LIBUSB_SUCCESS &&
                  descriptor.idVendor == id.vendorId && descriptor.idProduct == id.productId;
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    return present;
}

class SystemHidPlatform : public HidPlatform
{
public:
    explicit SystemHidPlatform(QString sysRoot)
        : m_sysRoot(std::move(sysRoot))
        , m_initialised(hid_init() == 0)
    {
        if (m_initialised)
            ++s_initialisedCount;
    }

    // hidapi's state is global: it is freed only when the last user goes.
    ~SystemHidPlatform() override
    {
        if (m_initialised && --s_initialisedCount == 0)
            hid_exit();
    }

    SystemHidPlatform(const SystemHidPlatform &) = delete;
    SystemHidPlatform &operator=(const SystemHidPlatform &) = delete;

    std::vector<HidInterface> enumerate(std::uint16_t vendorId, std::uint16_t productId) override
    {
        std::vector<HidInterface> found;
        if (!m_initialised)
            return found;
        hid_device_info *list = hid_enumerate(vendorId, productId);
        for (const hid_device_info *info = list; info != nullptr; info = info->next) {
            if (info->path == nullptr)
                continue;
            found.push_back(
                {info->path, info->interface_number, info->usage_page, physicalDevice(info->path)});
        }
        hid_free_enumeration(list);
        return found;
    }

    std::optional<std::vector<std::uint8_t>> reportDescriptor(const std::string &path) override
    {
        QFile file(sysfsDeviceFolder(path) + QStringLiteral("/report_descriptor"));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray bytes = file.read(kMaxDescriptorSize);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }

    OpenResult open(const std::string &path) override
    {
        if (!m_initialised)
            return {nullptr, ENODEV};
        errno = 0;
        hid_device *device = hid_open_path(path.c_str());
        if (device != nullptr)
            return {std::make_unique<HidapiConnection>(device), 0};
        // hidapi may lose the errno of its open; the node's own permissions tell a refusal
        // apart from anything else.
        const int openErrno = errno;
        return {nullptr, ::access(path.c_str(), R_OK | W_OK) == 0 ? openErrno : errno};
    }

    HidStatus resetUsbDevice(UsbId id) override
    {
        libusb_context *rawContext = nullptr;
        if (libusb_init(&rawContext) != LIBUSB_SUCCESS)
            return hid::kIoError;
        const std::unique_ptr<libusb_context, LibusbContextDeleter> context(rawContext);

        libusb_device_handle *handle =
            libusb_open_device_with_vid_pid(context.get(), id.vendorId, id.productId);
        if (handle == nullptr) {
            // libusb does not say why; tell a missing device from one we may not open.
            return usbDevicePresent(context.get(), id) ? hid::kAccessDenied : hid::kNotPresent;
        }
        const int result = libusb_reset_device(handle);
        libusb_close(handle);
        return libusbStatus(result);
    }

private:
    // "/dev/hidraw3" -> "<sys>/class/hidraw/hidraw3/device", the HID device of the node.
    QString sysfsDeviceFolder(const std::string &path) const
    {
        const QString node = QFileInfo(QString::fromStdString(path)).fileName();
        return m_sysRoot + QStringLiteral("/class/hidraw/") + node + QStringLiteral("/device");
    }

    // The HID device sits in a folder of its USB interface, which sits in the USB device's.
    std::string physicalDevice(const std::string &path) const
    {
        const QString hidDevice = QFileInfo(sysfsDeviceFolder(path)).canonicalFilePath();
        if (hidDevice.isEmpty())
            return {};
        QDir usbDevice(hidDevice);
        if (!usbDevice.cdUp() || !usbDevice.cdUp())
            return {};
        return usbDevice.absolutePath().toStdString();
    }

    static inline int s_initialisedCount = 0;

    QString m_sysRoot;
    bool m_initialised = false;
};

} // namespace

std::unique_ptr<HidPlatform> createSystemHidPlatform(const QString &sysRoot)
{
    return std::make_unique<SystemHidPlatform>(sysRoot);
}

} // namespace orvex
