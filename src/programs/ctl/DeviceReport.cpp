#include "programs/ctl/DeviceReport.h"

#include "core/platform/linux/UdevRule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace orvex::ctl {

namespace {

using Access = DeviceSurveyEntry::Access;

QString hex4(unsigned value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

QString usbId(std::uint16_t productId)
{
    return hex4(kVendorId) + QLatin1Char(':') + hex4(productId);
}

QString accessName(Access access)
{
    switch (access) {
    case Access::Absent:
        return QStringLiteral("absent");
    case Access::Usable:
        return QStringLiteral("usable");
    case Access::PermissionDenied:
        return QStringLiteral("permission-denied");
    case Access::InUse:
        return QStringLiteral("in-use");
    case Access::Failed:
        return QStringLiteral("error");
    }
    return {};
}

QString interfaceLine(const HidInterfaceInfo &interface, int nodeWidth)
{
    QString line = QStringLiteral("    %1  usage page 0x%2  ")
                       .arg(QString::fromStdString(interface.node).leftJustified(nodeWidth))
                       .arg(hex4(interface.usagePage));
    if (interface.inputLength == 0 && interface.outputLength == 0)
        line += QStringLiteral("reports unknown");
    else
        line += QStringLiteral("report %1: input %2, output %3 bytes")
                    .arg(interface.reportId)
                    .arg(interface.inputLength)
                    .arg(interface.outputLength);
    return interface.chosen ? line + QStringLiteral("  (used)") : line;
}

QJsonObject interfaceJson(const HidInterfaceInfo &interface)
{
    return {{QStringLiteral("node"), QString::fromStdString(interface.node)},
            {QStringLiteral("usagePage"), interface.usagePage},
            {QStringLiteral("reportId"), interface.reportId},
            {QStringLiteral("inputLength"), interface.inputLength},
            {QStringLiteral("outputLength"), interface.outputLength},
            {QStringLiteral("used"), interface.chosen}};
}

} // namespace

UdevRuleStatus UdevRuleStatus::ofThisSystem()
{
    return {true, installedUdevRulePath(), udevRuleCommands(shippedUdevRulePath())};
}

DeviceReport::DeviceReport(std::vector<DeviceSurveyEntry> devices, UdevRuleStatus rule)
    : m_devices(std::move(devices))
    , m_rule(std::move(rule))
{}

bool DeviceReport::anyUsable() const
{
    return std::ranges::any_of(
        m_devices, [](const DeviceSurveyEntry &device) { return device.access == Access::Usable; });
}

QString DeviceReport::text() const
{
    QStringList lines;
    for (const DeviceSurveyEntry &device : m_devices)
        lines << deviceLines(device);
    lines << QString();
    if (!m_rule.needed)
        lines << QStringLiteral("udev rule: not needed for virtual devices");
    else if (m_rule.installedPath.isEmpty())
        lines << QStringLiteral("udev rule: not installed");
    else
        lines << QStringLiteral("udev rule: installed at %1").arg(m_rule.installedPath);
    if (!anyUsable())
        lines << summaryLine();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QStringList DeviceReport::deviceLines(const DeviceSurveyEntry &device) const
{
    const QString title = QStringLiteral("Device %1 (USB %2): ")
                              .arg(device.deviceNumber + 1)
                              .arg(usbId(device.productId));
    if (!device.isPresent())
        return {title + QStringLiteral("not plugged in")};

    QStringList lines = {title + QStringLiteral("plugged in")};
    if (!device.interfaces.empty()) {
        lines << QStringLiteral("  HID interfaces:");
        int nodeWidth = 0;
        for (const HidInterfaceInfo &interface : device.interfaces)
            nodeWidth = std::max(nodeWidth, static_cast<int>(interface.node.size()));
        for (const HidInterfaceInfo &interface : device.interfaces)
            lines << interfaceLine(interface, nodeWidth);
    }
    return lines << accessLines(device);
}

QStringList DeviceReport::accessLines(const DeviceSurveyEntry &device) const
{
    switch (device.access) {
    case Access::Usable:
        return {QStringLiteral("  Access: usable")};
    case Access::InUse:
        return {device.holder.isEmpty()
                    ? QStringLiteral("  Access: in use by another program")
                    : QStringLiteral("  Access: in use by another program: %1").arg(device.holder)};
    case Access::PermissionDenied: {
        QStringList lines = {QStringLiteral("  Access: permission denied for this user; in a "
                                            "terminal these commands fix it:")};
        for (const QString &command : m_rule.fixCommands)
            lines << QStringLiteral("    ") + command;
        return lines << QStringLiteral("  then unplug the ORVEX and plug it in again.");
    }
    case Access::Failed:
        return {QStringLiteral("  Access: the device cannot be opened (status %1)")
                    .arg(device.openStatus)};
    case Access::Absent:
        break;
    }
    return {};
}

QString DeviceReport::summaryLine() const
{
    const bool anyPresent = std::ranges::any_of(m_devices, &DeviceSurveyEntry::isPresent);
    return anyPresent ? QStringLiteral("No ORVEX can be used by this program now.")
                      : QStringLiteral("No ORVEX is plugged in.");
}

QByteArray DeviceReport::json() const
{
    QJsonArray devices;
    for (const DeviceSurveyEntry &device : m_devices) {
        QJsonObject object{{QStringLiteral("device"), device.deviceNumber + 1},
                           {QStringLiteral("usbId"), usbId(device.productId)},
                           {QStringLiteral("present"), device.isPresent()},
                           {QStringLiteral("access"), accessName(device.access)}};
        QJsonArray interfaces;
        for (const HidInterfaceInfo &interface : device.interfaces)
            interfaces.append(interfaceJson(interface));
        object.insert(QStringLiteral("interfaces"), interfaces);
        if (device.access == Access::InUse)
            object.insert(QStringLiteral("holder"), device.holder);
        if (device.access == Access::PermissionDenied)
            object.insert(QStringLiteral("fix"), QJsonArray::fromStringList(m_rule.fixCommands));
        devices.append(object);
    }
    const QJsonObject rule{{QStringLiteral("needed"), m_rule.needed},
                           {QStringLiteral("installed"), !m_rule.installedPath.isEmpty()},
                           {QStringLiteral("path"), m_rule.installedPath}};
    const QJsonObject report{{QStringLiteral("devices"), devices},
                             {QStringLiteral("udevRule"), rule},
                             {QStringLiteral("usable"), anyUsable()}};
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

} // namespace orvex::ctl
