#pragma once

#include "core/platform/linux/LinuxPlatformServices.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace orvex::test {

// A throw-away /sys, /dev and /proc/self/mountinfo in a temporary folder, filled the way the
// kernel and udev fill the real ones.
class FakeSystemTree
{
public:
    LinuxSystemRoots roots() const
    {
        return {path(QStringLiteral("sys")), path(QStringLiteral("dev")),
                path(QStringLiteral("proc/self/mountinfo"))};
    }

    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    void writeFile(const QString &relative, const QByteArray &content) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(file));
    }

    void makeFolder(const QString &relative) const { QDir().mkpath(path(relative)); }

    void link(const QString &target, const QString &relativeLink) const
    {
        const QString linkPath = path(relativeLink);
        QDir().mkpath(QFileInfo(linkPath).absolutePath());
        if (!QFile::link(target, linkPath))
            qFatal("cannot link %s", qPrintable(linkPath));
    }

    // A USB device as the kernel lists it under /sys/bus/usb/devices, with its node
    // /dev/bus/usb/BBB/DDD when udev has created it.
    void addUsbDevice(const QString &name, const QByteArray &vendor, const QByteArray &product,
                      int bus, int device, bool nodeExists = true) const
    {
        const QString folder = QStringLiteral("sys/bus/usb/devices/") + name;
        writeFile(folder + QStringLiteral("/idVendor"), vendor + '\n');
        writeFile(folder + QStringLiteral("/idProduct"), product + '\n');
        writeFile(folder + QStringLiteral("/busnum"), QByteArray::number(bus) + '\n');
        writeFile(folder + QStringLiteral("/devnum"), QByteArray::number(device) + '\n');
        if (nodeExists)
            writeFile(usbNode(bus, device), {});
    }

    // A USB interface: listed beside the devices, but without idVendor and idProduct.
    void addUsbInterface(const QString &name) const
    {
        writeFile(QStringLiteral("sys/bus/usb/devices/") + name +
                      QStringLiteral("/bInterfaceClass"),
                  "03\n");
    }

    // A hidraw node whose HID parent has this HID_ID ("0003:000004B4:00006148").
    void addHidraw(const QString &name, const QByteArray &hidId, bool nodeExists = true) const
    {
        writeFile(QStringLiteral("sys/class/hidraw/") + name + QStringLiteral("/device/uevent"),
                  "DRIVER=hid-generic\nHID_ID=" + hidId +
                      "\nHID_NAME=Cypress ORVEX\nMODALIAS=hid:b0003\n");
        if (nodeExists)
            writeFile(QStringLiteral("dev/") + name, {});
    }

    static QString usbNode(int bus, int device)
    {
        return QStringLiteral("dev/bus/usb/%1/%2")
            .arg(bus, 3, 10, QLatin1Char('0'))
            .arg(device, 3, 10, QLatin1Char('0'));
    }

private:
    QTemporaryDir m_dir;
};

} // namespace orvex::test
