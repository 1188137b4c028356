#include "core/platform/linux/UsbDeviceAccessProbe.h"

#include "core/access/DeviceAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <unistd.h>

namespace orvex {

namespace {

constexpr quint16 kUsbBus = 0x0003; // bus type of USB in a HID_ID

QString readSysfsValue(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).trimmed();
}

std::optional<quint16> readHexId(const QString &path)
{
    bool ok = false;
    const uint value = readSysfsValue(path).toUInt(&ok, 16);
    if (!ok || value > 0xFFFF)
        return std::nullopt;
    return static_cast<quint16>(value);
}

struct HidId
{
    quint16 bus = 0;
    quint16 vendor = 0;
    quint16 product = 0;
};

// A hidraw node's parent HID device names its bus, vendor and product in its uevent file, as
// "HID_ID=0003:000004B4:00006148".
std::optional<HidId> readHidId(const QString &ueventPath)
{
    QFile file(ueventPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    static const QRegularExpression pattern(
        QStringLiteral("^HID_ID=([0-9A-Fa-f]+):([0-9A-Fa-f]+):([0-9A-Fa-f]+)$"),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(file.readAll()));
    if (!match.hasMatch())
        return std::nullopt;
    const auto hex = [&match](int group) {
        return match.captured(group).toUInt(nullptr, 16);
    };
    if (hex(1) > 0xFFFF || hex(2) > 0xFFFF || hex(3) > 0xFFFF)
        return std::nullopt;
    return HidId{static_cast<quint16>(hex(1)), static_cast<quint16>(hex(2)),
                 static_cast<quint16>(hex(3))};
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

bool nodeIsReadWritable(const QString &nodePath)
{
    return ::access(QFile::encodeName(nodePath).constData(), R_OK | W_OK) == 0;
}

UsbDeviceAccessProbe::UsbDeviceAccessProbe(LinuxSystemRoots roots, NodeAccessCheck canReadWrite)
    : m_roots(std::move(roots))
    , m_canReadWrite(std::move(canReadWrite))
{}

DeviceAccessState UsbDeviceAccessProbe::state(int deviceNumber) const
{
    if (deviceNumber < 0 || deviceNumber >= static_cast<int>(kProductIds.size()))
        return DeviceAccessState::Absent;
    const quint16 productId = kProductIds[deviceNumber];
    const QStringList folders = usbDeviceFolders(productId);
    if (folders.isEmpty())
        return DeviceAccessState::Absent;

    // A node that udev has not created (yet) is no permission problem: a rule cannot fix it.
    for (const QString &folder : folders) {
        for (const QString &node : deviceNodes(folder, productId)) {
            if (QFileInfo::exists(node) && !m_canReadWrite(node))
                return DeviceAccessState::Inaccessible;
        }
    }
    return DeviceAccessState::Accessible;
}

std::optional<int> UsbDeviceAccessProbe::firstInaccessibleDevice() const
{
    for (int number = 0; number < static_cast<int>(kProductIds.size()); ++number) {
        if (state(number) == DeviceAccessState::Inaccessible)
            return number;
    }
    return std::nullopt;
}

// Every USB device (not interface) in sysfs has idVendor and idProduct files.
QStringList UsbDeviceAccessProbe::usbDeviceFolders(quint16 productId) const
{
    const QString devices = m_roots.sys + QStringLiteral("/bus/usb/devices/");
    QStringList folders;
    for (const QString &name : entriesOf(devices)) {
        const QString folder = devices + name;
        if (readHexId(folder + QStringLiteral("/idVendor")) == kVendorId &&
            readHexId(folder + QStringLiteral("/idProduct")) == productId)
            folders.append(folder);
    }
    return folders;
}

QStringList UsbDeviceAccessProbe::deviceNodes(const QString &usbDeviceFolder,
                                              quint16 productId) const
{
    QStringList nodes = hidrawNodes(productId);
    const QString usb = usbNode(usbDeviceFolder);
    if (!usb.isEmpty())
        nodes.append(usb);
    return nodes;
}

QStringList UsbDeviceAccessProbe::hidrawNodes(quint16 productId) const
{
    const QString hidraw = m_roots.sys + QStringLiteral("/class/hidraw/");
    QStringList nodes;
    for (const QString &name : entriesOf(hidraw)) {
        const std::optional<HidId> id = readHidId(hidraw + name + QStringLiteral("/device/uevent"));
        if (id && id->bus == kUsbBus && id->vendor == kVendorId && id->product == productId)
            nodes.append(m_roots.dev + QLatin1Char('/') + name);
    }
    return nodes;
}

// The USB device node /dev/bus/usb/BBB/DDD, which the restart opens.
QString UsbDeviceAccessProbe::usbNode(const QString &usbDeviceFolder) const
{
    bool busOk = false;
    bool deviceOk = false;
    const int bus = readSysfsValue(usbDeviceFolder + QStringLiteral("/busnum")).toInt(&busOk);
    const int device = readSysfsValue(usbDeviceFolder + QStringLiteral("/devnum")).toInt(&deviceOk);
    if (!busOk || !deviceOk)
        return {};
    return m_roots.dev + QStringLiteral("/bus/usb/%1/%2")
                             .arg(bus, 3, 10, QLatin1Char('0'))
                             .arg(device, 3, 10, QLatin1Char('0'));
}

} // namespace orvex
