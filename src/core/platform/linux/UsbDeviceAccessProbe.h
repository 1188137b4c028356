#pragma once

#include "core/platform/linux/SystemRoots.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace orvex {

// Whether this user may read and write the device node at the path (permissions and ACLs).
using NodeAccessCheck = std::function<bool(const QString &nodePath)>;
bool nodeIsReadWritable(const QString &nodePath);

enum class DeviceAccessState {
    Absent,       // not on the USB bus
    Accessible,   // on the bus, and this user may open its device nodes
    Inaccessible, // on the bus, but some device node of it refuses this user
};

// Finds the ORVEX devices on the USB bus through sysfs and checks their hidraw nodes (the
// reports) and USB device nodes (the restart) under /dev.
class UsbDeviceAccessProbe
{
public:
    explicit UsbDeviceAccessProbe(LinuxSystemRoots roots = {},
                                  NodeAccessCheck canReadWrite = nodeIsReadWritable);

    DeviceAccessState state(int deviceNumber) const;

    // The first device (0 or 1) that is plugged in but refuses this user, if any.
    std::optional<int> firstInaccessibleDevice() const;

private:
    QStringList usbDeviceFolders(quint16 productId) const;
    QStringList deviceNodes(const QString &usbDeviceFolder, quint16 productId) const;
    QStringList hidrawNodes(quint16 productId) const;
    QString usbNode(const QString &usbDeviceFolder) const;

    LinuxSystemRoots m_roots;
    NodeAccessCheck m_canReadWrite;
};

} // namespace orvex
