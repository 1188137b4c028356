#include "core/platform/linux/LinuxPlatformServices.h"

#include "core/access/DeviceAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <blkid/blkid.h>
#include <memory>
#include <unistd.h>

namespace orvex {

namespace {

constexpr quint16 kUsbBus = 0x0003; // bus type of USB in a HID_ID

const QString kRuleFileName = QStringLiteral("70-orvex.rules");
const QString kSystemRulePath = QStringLiteral("/etc/udev/rules.d/70-orvex.rules");

} // namespace

// The folders udev reads its rules from; a rule installed in one of them needs no copying.
const QStringList kUdevRuleFolders = {
    QStringLiteral("/etc/udev/rules.d/"),
    QStringLiteral("/run/udev/rules.d/"),
    QStringLiteral("/usr/lib/udev/rules.d/"),
    QStringLiteral("/lib/udev/rules.d/"),
};

namespace {

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

// The kernel writes blanks, tabs, line feeds and backslashes in mount table fields as \ooo.
QString unescapeMountField(const QByteArray &field)
{
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QByteArray octal = field.mid(i + 1, 3);
        bool ok = false;
        const int value = octal.size() == 3 ? octal.toInt(&ok, 8) : 0;
        if (field[i] == '\\' && ok && value <= 0xFF) {
            bytes.append(static_cast<char>(value));
            i += 3;
        } else {
            bytes.append(field[i]);
        }
    }
    return QFile::decodeName(bytes);
}

QString cleanPath(const QString &path)
{
    return QDir::cleanPath(path);
}

// A path as a POSIX shell word the user can paste into a terminal.
QString shellQuoted(const QString &text)
{
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_./+:@%=-]+$"));
    if (safe.match(text).hasMatch())
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

bool udevReadsRuleAt(const QString &path)
{
    return std::any_of(kUdevRuleFolders.begin(), kUdevRuleFolders.end(),
                       [&path](const QString &folder) { return path.startsWith(folder); });
}

QString productHex(quint16 productId)
{
    return QStringLiteral("%1").arg(productId, 4, 16, QLatin1Char('0'));
}

// "The ORVEX (Device 1, USB ID 04b4:6148)"
QString deviceDescription(int deviceNumber)
{
    if (deviceNumber < 0 || deviceNumber >= static_cast<int>(kProductIds.size()))
        return QStringLiteral("The ORVEX");
    return QStringLiteral("The ORVEX (Device %1, USB ID %2:%3)")
        .arg(deviceNumber + 1)
        .arg(productHex(kVendorId), productHex(kProductIds[deviceNumber]));
}

QString pathBesideProgram(const QString &pathFromBinDir)
{
    if (!QCoreApplication::instance())
        return {};
    return cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + pathFromBinDir);
}

} // namespace

// ----- device access -----

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

// ----- volume label -----

// Line format: id parent major:minor root mount-point options [optional fields...] - type source
// super-options
std::vector<MountEntry> parseMountInfo(const QByteArray &text)
{
    std::vector<MountEntry> mounts;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf(QByteArrayLiteral("-"), 6);
        if (separator < 0 || separator + 2 >= fields.size())
            continue;
        mounts.push_back({unescapeMountField(fields[4]), unescapeMountField(fields[separator + 1]),
                          unescapeMountField(fields[separator + 2])});
    }
    return mounts;
}

std::optional<MountEntry> mountAt(const std::vector<MountEntry> &mounts, const QString &directory)
{
    const QString wanted = cleanPath(directory);
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (cleanPath(it->mountPoint) == wanted)
            return *it;
    }
    return std::nullopt;
}

QString blkidLabel(const QString &devicePath)
{
    const std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(QFile::encodeName(devicePath).constData()), blkid_free_probe);
    if (!probe)
        return {};
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return {};
    const char *label = nullptr;
    if (blkid_probe_lookup_value(probe.get(), "LABEL", &label, nullptr) != 0 || !label)
        return {};
    return QString::fromUtf8(label);
}

QString decodeUdevLinkName(const QString &name)
{
    const QByteArray encoded = QFile::encodeName(name);
    QByteArray decoded;
    decoded.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        bool ok = false;
        const int value = encoded.mid(i + 2, 2).toInt(&ok, 16);
        if (encoded.mid(i, 2) == "\\x" && encoded.mid(i + 2, 2).size() == 2 && ok) {
            decoded.append(static_cast<char>(value));
            i += 3;
        } else {
            decoded.append(encoded[i]);
        }
    }
    return QString::fromUtf8(decoded);
}

VolumeLabelLookup::VolumeLabelLookup(LinuxSystemRoots roots, LabelProbe probe)
    : m_roots(std::move(roots))
    , m_probe(std::move(probe))
{}

QString VolumeLabelLookup::labelOfMountPoint(const QString &directory) const
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    QFile mountInfo(m_roots.mountInfo);
    if (canonical.isEmpty() || !mountInfo.open(QIODevice::ReadOnly))
        return {};
    const std::optional<MountEntry> mount = mountAt(parseMountInfo(mountInfo.readAll()), canonical);
    if (!mount)
        return {};
    const QString device = devicePathOf(mount->source);
    if (device.isEmpty())
        return {};
    const QString label = labelFromLinks(device);
    return label.isEmpty() ? m_probe(device) : label;
}

// Only mounts of a device under /dev have a label; tmpfs, overlay, network shares have not.
QString VolumeLabelLookup::devicePathOf(const QString &source) const
{
    const QString devPrefix = QStringLiteral("/dev/");
    if (!source.startsWith(devPrefix) || source.size() == devPrefix.size())
        return {};
    const QString device = m_roots.dev + QLatin1Char('/') + source.mid(devPrefix.size());
    return QFileInfo::exists(device) ? device : QString();
}

QString VolumeLabelLookup::labelFromLinks(const QString &devicePath) const
{
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    QDirIterator links(m_roots.dev + QStringLiteral("/disk/by-label"),
                       QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (links.hasNext()) {
        const QFileInfo link = links.nextFileInfo();
        if (link.canonicalFilePath() == target)
            return decodeUdevLinkName(link.fileName());
    }
    return {};
}

// ----- udev rule installation -----

UdevRuleInstaller::UdevRuleInstaller(QString pkexecPath, QString helperPath, ProcessRunner run)
    : m_pkexecPath(std::move(pkexecPath))
    , m_helperPath(std::move(helperPath))
    , m_run(std::move(run))
{}

UdevRuleInstaller UdevRuleInstaller::forThisProgram()
{
    const QString helper = pathBesideProgram(QStringLiteral(ORVEX_UDEV_HELPER_FROM_BINDIR));
    const bool helperInstalled = !helper.isEmpty() && QFileInfo(helper).isExecutable();
    return UdevRuleInstaller(QStandardPaths::findExecutable(QStringLiteral("pkexec")),
                             helperInstalled ? helper : QString());
}

int UdevRuleInstaller::runAndWait(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments);
}

bool UdevRuleInstaller::isAvailable() const
{
    return !m_pkexecPath.isEmpty() && !m_helperPath.isEmpty();
}

UdevRuleInstaller::Result UdevRuleInstaller::install() const
{
    constexpr int kAuthenticationDismissed = 126; // pkexec: the user closed the dialog
    m_lastExitCode = m_run(m_pkexecPath, {m_helperPath});
    if (m_lastExitCode == 0)
        return Result::Installed;
    return m_lastExitCode == kAuthenticationDismissed ? Result::Cancelled : Result::Failed;
}

QString shippedUdevRulePath()
{
    const QString installed = pathBesideProgram(QStringLiteral(ORVEX_UDEV_RULE_FROM_BINDIR));
    if (!installed.isEmpty() && QFileInfo::exists(installed))
        return installed;
    const QString inSourceTree = QStringLiteral(ORVEX_UDEV_RULE_IN_SOURCE_TREE);
    if (QFileInfo::exists(inSourceTree))
        return inSourceTree;
    return QStringLiteral(ORVEX_UDEV_RULE_INSTALLED);
}

// ----- messages -----

QString permissionProblemMessage(int deviceNumber)
{
    return permissionProblemMessage(deviceNumber, shippedUdevRulePath());
}

QString installedUdevRulePath(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString path = folder + kRuleFileName;
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

QStringList udevRuleCommands(const QString &shippedRulePath)
{
    QStringList commands;
    if (!udevReadsRuleAt(shippedRulePath)) {
        commands << QStringLiteral("sudo install -m 0644 %1 %2")
                        .arg(shellQuoted(shippedRulePath), kSystemRulePath);
    }
    commands << QStringLiteral("sudo udevadm control --reload-rules")
             << QStringLiteral("sudo udevadm trigger");
    return commands;
}

QString permissionProblemMessage(int deviceNumber, const QString &rule)
{
    QStringList lines = {
        deviceDescription(deviceNumber) + QStringLiteral(" is plugged in,"),
        QStringLiteral("but this user is not allowed to open it."),
        QString(),
        QStringLiteral("Linux gives the user at this computer access to the ORVEX"),
        QStringLiteral("through the udev rule that comes with this program."),
    };
    if (udevReadsRuleAt(rule)) {
        // Installed, yet not in force: udev has not applied it to this device yet, or this
        // is a remote session, which uaccess never serves.
        lines << QStringLiteral("The rule is installed at %1;").arg(rule)
              << QStringLiteral("it serves the user at this computer's own screen and keyboard.")
              << QStringLiteral("Apply it with these commands in a terminal:") << QString();
    } else {
        lines << QStringLiteral("Install and load it with these commands in a terminal:")
              << QString();
    }
    lines << udevRuleCommands(rule) << QString()
          << QStringLiteral("Then unplug the ORVEX, plug it in again and restart the program.")
          << QStringLiteral("\"orvexctl devices\" shows what this user may open of each device.");
    return lines.join(kLineBreak);
}

UserMessage LinuxPlatformServices::installQuestion(int deviceNumber)
{
    const QStringList lines = {
        deviceDescription(deviceNumber) + QStringLiteral(" is plugged in,"),
        QStringLiteral("but this user is not allowed to open it."),
        QString(),
        QStringLiteral("The program can install its udev rule, which gives the user"),
        QStringLiteral("at this computer access to the ORVEX. This needs an"),
        QStringLiteral("administrator's password."),
        QString(),
        QStringLiteral("Install the udev rule now?"),
    };
    return {lines.join(kLineBreak), kShortTitle, MessageIcon::None};
}

UserMessage LinuxPlatformServices::installFailedMessage(int exitCode)
{
    return {QStringLiteral("The udev rule could not be installed") + kLineBreak +
                QStringLiteral("(pkexec ended with code %1).").arg(exitCode),
            kShortTitle, MessageIcon::Exclamation};
}

// ----- the services -----

LinuxPlatformServices::LinuxPlatformServices(AccessPrompts *prompts, System system)
    : m_prompts(prompts)
    , m_system(std::move(system))
    , m_probe(m_system.roots, m_system.canReadWrite)
{}

QString LinuxPlatformServices::commandLine() const
{
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst(); // the program name
    return arguments.join(QLatin1Char(' '));
}

bool LinuxPlatformServices::callsForElevation()
{
    return m_probe.firstInaccessibleDevice().has_value();
}

// A desktop program never relaunches itself as root.  It offers to install the udev rule
// instead and always lets start-up carry on, which then tests the devices again and explains
// any permission problem that remains, with the commands that fix it.
bool LinuxPlatformServices::elevate()
{
    const std::optional<int> device = m_probe.firstInaccessibleDevice();
    if (!device || !m_prompts)
        return false;
    if (!m_system.installer)
        m_system.installer = UdevRuleInstaller::forThisProgram();
    const UdevRuleInstaller &installer = *m_system.installer;
    if (!installer.isAvailable() || !m_prompts->askYesNo(installQuestion(*device)))
        return false;
    if (installer.install() == UdevRuleInstaller::Result::Failed)
        m_prompts->showMessage(installFailedMessage(installer.lastExitCode()));
    return false;
}

QString LinuxPlatformServices::currentVolumeLabel()
{
    return VolumeLabelLookup(m_system.roots, m_system.probeLabel)
        .labelOfMountPoint(m_system.currentDirectory());
}

QString currentDirectoryPath()
{
    return QDir::currentPath();
}

} // namespace orvex
