#pragma once

#include "core/platform/PlatformServices.h"
#include "core/config/UserMessage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace orvex {

// Where the kernel's tables are read from.  The program uses the real ones; tests build a fake
// tree in a temporary folder and point these at it.
struct LinuxSystemRoots
{
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
    QString mountInfo = QStringLiteral("/proc/self/mountinfo");
};

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

// One line of /proc/self/mountinfo, reduced to what the label lookup needs.
struct MountEntry
{
    QString mountPoint;
    QString fileSystemType;
    QString source;

    bool operator==(const MountEntry &) const = default;
};

// Parses the kernel's mount table; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(const QByteArray &text);

// The file system mounted last at exactly this directory (later mounts hide earlier ones).
std::optional<MountEntry> mountAt(const std::vector<MountEntry> &mounts, const QString &directory);

// Reads a file system's label straight from the block device (needs read access to it).
using LabelProbe = std::function<QString(const QString &devicePath)>;
QString blkidLabel(const QString &devicePath);

// Finds the label of the file system mounted at a directory: first through the
// /dev/disk/by-label links that udev keeps (readable by every user), then by probing the device.
class VolumeLabelLookup
{
public:
    explicit VolumeLabelLookup(LinuxSystemRoots roots = {}, LabelProbe probe = blkidLabel);

    // Empty when the directory is no mount point, the mount has no block device, or the label
    // cannot be found.
    QString labelOfMountPoint(const QString &directory) const;

private:
    QString devicePathOf(const QString &source) const;
    QString labelFromLinks(const QString &devicePath) const;

    LinuxSystemRoots m_roots;
    LabelProbe m_probe;
};

// udev escapes characters of a label in its link names as \xNN.
QString decodeUdevLinkName(const QString &name);

// Installs the program's udev rule system-wide through pkexec, which asks for the desktop's
// administrator authentication.  One pkexec call runs the small helper installed with the
// program; no argument ever passes through a shell.
class UdevRuleInstaller
{
public:
    enum class Result { Installed, Cancelled, Failed };

    // Runs a program with its arguments and waits; returns its exit code, or a negative value
    // when it could not be started or crashed.
    using ProcessRunner = std::function<int(const QString &program, const QStringList &arguments)>;

    UdevRuleInstaller(QString pkexecPath, QString helperPath, ProcessRunner run = runAndWait);

    // pkexec and the helper of this program's installation, where they exist.
    static UdevRuleInstaller forThisProgram();
    static int runAndWait(const QString &program, const QStringList &arguments);

    bool isAvailable() const;
    Result install() const;

    // The exit code of the last install(), for the failure message.
    int lastExitCode() const { return m_lastExitCode; }

private:
    QString m_pkexecPath;
    QString m_helperPath;
    ProcessRunner m_run;
    mutable int m_lastExitCode = 0;
};

// The udev rule file shipped with this program: installed next to the program's prefix, or, for
// a program run from its build folder, the one in the source tree.
QString shippedUdevRulePath();

// The folders udev reads rules from, in the order it prefers them.
extern const QStringList kUdevRuleFolders;

// Where udev reads this program's rule from, when it is installed in one of `folders`; empty
// otherwise.
QString installedUdevRulePath(const QStringList &folders = kUdevRuleFolders);

// The terminal commands that give the user at this computer access to the ORVEX: install the
// rule at this path where udev does not read it already, then apply the rules.
QStringList udevRuleCommands(const QString &shippedRulePath);

// The permission-problem message with the commands for the rule file at this path (the
// declaration without the path, in PlatformServices.h, uses shippedUdevRulePath()).
QString permissionProblemMessage(int deviceNumber, const QString &shippedRulePath);

// Questions and messages of the device-access offer, shown by whatever view the program has.
class AccessPrompts
{
public:
    virtual ~AccessPrompts() = default;

    virtual bool askYesNo(const UserMessage &question) = 0;
    virtual void showMessage(const UserMessage &message) = 0;
};

QString currentDirectoryPath();

// Everything the Linux platform services take from the system; tests replace the parts.
struct LinuxSystem
{
    LinuxSystemRoots roots;
    NodeAccessCheck canReadWrite = nodeIsReadWritable;
    LabelProbe probeLabel = blkidLabel;
    std::function<QString()> currentDirectory = currentDirectoryPath;
    std::optional<UdevRuleInstaller> installer; // found at first use when not given
};

// The platform services of a Linux desktop session.  Device access comes from a udev rule, not
// from running the program as root: where a device is plugged in but refuses this user, the
// program offers to install the rule with the desktop's authentication.
class LinuxPlatformServices : public PlatformServices
{
public:
    using System = LinuxSystem;

    // Without prompts the offer is never made; start-up then explains the permission problem.
    explicit LinuxPlatformServices(AccessPrompts *prompts = nullptr, System system = {});

    QString commandLine() const override;
    bool callsForElevation() override;
    bool elevate() override;
    QString currentVolumeLabel() override;

    static UserMessage installQuestion(int deviceNumber);
    static UserMessage installFailedMessage(int exitCode);

private:
    AccessPrompts *m_prompts;
    System m_system;
    UsbDeviceAccessProbe m_probe;
};

} // namespace orvex
