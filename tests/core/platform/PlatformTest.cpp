// The Linux platform services: who may open the ORVEX, told from a fake /sys and /dev; Ctrl+C
// as a Qt signal.

#include "Printers.h"
#include "core/platform/linux/LinuxPlatformServices.h"
#include "core/platform/linux/SignalNotifier.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orvex {
namespace {

using State = DeviceAccessState;

class SystemTree : public ::testing::Test
{
protected:
    // A USB device as the kernel lists it ("vendor product bus device"), and its hidraw node
    // whose HID parent has the HID_ID `hidId`.
    void plug(const QString &usb, const QString &ids, const QString &hidraw,
              const QByteArray &hidId)
    {
        const QStringList files = {"/idVendor", "/idProduct", "/busnum", "/devnum"};
        for (int i = 0; i < 4; ++i)
            write("sys/bus/usb/devices/" + usb + files[i], ids.section(' ', i, i).toUtf8());
        write("sys/class/hidraw/" + hidraw + "/device/uevent",
              "DRIVER=hid-generic\nHID_ID=" + hidId + '\n');
        write("dev/" + hidraw);
    }
    void write(const QString &file, const QByteArray &content = {})
    {
        QDir().mkpath(QFileInfo(path(file)).path());
        QFile out(path(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
    }
    QString path(const QString &relative) const { return tree.filePath(relative); }

    QTemporaryDir tree;
    const LinuxSystemRoots roots{path("sys"), path("dev"), path("mounts")};
    QSet<QString> denied;
    const UsbDeviceAccessProbe probe{roots, [this](const QString &node) {
                                         return !denied.contains(node);
                                     }};
};

// Device 1 (04b4:6148) as device 7 on bus 1, its USB node not made yet; Device 2 (04b4:6149)
// as device 3 on bus 2; and devices and nodes that are not ours.
TEST_F(SystemTree, TheProbeFindsOurDevicesAndTheNodesThatRefuseThisUser)
{
    const auto states = [this] {
        return std::array{probe.state(0), probe.state(1)};
    };
    EXPECT_EQ(states(), (std::array{State::Absent, State::Absent}));
    // clang-format off
    plug("1-2", "04b4 6148 1 7", "hidraw3", "0003:000004B4:00006148");
    plug("2-1", "04b4 6149 2 3", "hidraw5", "0003:000004B4:00006149");
    plug("1-1", "046d 6148 1 2", "hidraw1", "0003:0000046D:0000C31C");
    // the same IDs over Bluetooth
    plug("1-3", "04b4 6150 1 4", "hidraw0", "0005:000004B4:00006148");
    write("sys/bus/usb/devices/1-2:1.0/bInterfaceClass", "03\n"); // an interface, not a device
    write("dev/bus/usb/002/003");
    const std::pair<QStringList, std::array<State, 2>> cases[] = {
        {{}, {State::Accessible, State::Accessible}},
        {{"dev/hidraw0", "dev/hidraw1", "dev/bus/usb/001/002"},
         {State::Accessible, State::Accessible}},
        {{"dev/hidraw3"}, {State::Inaccessible, State::Accessible}},
        {{"dev/bus/usb/001/007"}, {State::Accessible, State::Accessible}}, // udev has not made it
        {{"dev/hidraw5"}, {State::Accessible, State::Inaccessible}},
        {{"dev/bus/usb/002/003"}, {State::Accessible, State::Inaccessible}}};
    // clang-format on
    for (const auto &[refusing, expected] : cases) {
        denied.clear();
        for (const QString &node : refusing)
            denied << path(node);
        EXPECT_EQ(states(), expected);
        EXPECT_EQ(probe.firstInaccessibleDevice().value_or(2),
                  std::ranges::find(expected, State::Inaccessible) - expected.begin());
    }
    for (int outside : {-1, 2, INT_MIN, INT_MAX}) // no product of ours, and nothing read for it
        EXPECT_EQ(probe.state(outside), State::Absent) << outside;
    EXPECT_TRUE(nodeIsReadWritable(path("dev/hidraw3")) && !nodeIsReadWritable(path("dev/none")));
}

// The label of the file system a folder is the mount point of: from udev's by-label links
// (readable by every user), else from the device itself; nothing for a folder that is no mount
// point, nor for a mount without a device.
TEST_F(SystemTree, TheVolumeLabelOfAMountPointComesFromItsDevice)
{
    for (const char *folder : {"mnt/cd", "mnt/usb stick", "mnt/tmp", "mnt/plain"})
        ASSERT_TRUE(QDir().mkpath(path(folder)));
    write("dev/sr0");
    write("dev/sdb1");
    ASSERT_TRUE(QDir().mkpath(path("dev/disk/by-label")));
    ASSERT_TRUE(QFile::link(path("dev/sr0"), path("dev/disk/by-label/ORVEX\\x20CD")));
    // The kernel writes a blank in a field as \040; a line without its separator is skipped.
    write("mounts", "36 25 0:32 / " + path("mnt/cd").toUtf8() + " ro - iso9660 /dev/sr0 ro\n" +
                        "37 25 8:17 / " + path("mnt/usb\\040stick").toUtf8() +
                        " rw shared:1 - vfat /dev/sdb1 rw\n" + "38 25 0:40 / " +
                        path("mnt/tmp").toUtf8() + " rw - tmpfs tmpfs rw\n" + "broken line\n");
    const VolumeLabelLookup lookup(roots, [this](const QString &device) {
        return device == path("dev/sdb1") ? QStringLiteral("STICK") : QString();
    });
    EXPECT_EQ(lookup.labelOfMountPoint(path("mnt/cd")), "ORVEX CD");
    EXPECT_EQ(lookup.labelOfMountPoint(path("mnt/usb stick")), "STICK");
    EXPECT_EQ(lookup.labelOfMountPoint(path("mnt/tmp")), QString());
    EXPECT_EQ(lookup.labelOfMountPoint(path("mnt/plain")), QString());
    EXPECT_EQ(lookup.labelOfMountPoint(path("mnt/none")), QString());
    EXPECT_EQ(decodeUdevLinkName("CAFE\\x20BABE\\x2"), "CAFE BABE\\x2");
}

// The label is read from the file system itself where no link names it: here the image of the
// program's CD, one ISO 9660 volume descriptor and the set's terminator.
TEST_F(SystemTree, AFileSystemSaysItsOwnLabel)
{
    QByteArray volume(2048, '\0');
    volume.replace(0, 7, QByteArrayLiteral("\1CD001\1"));
    volume.replace(40, 32, QByteArray("MY_ORVEX_CD").leftJustified(32, ' '));
    QByteArray terminator = volume.left(7).leftJustified(2048, '\0');
    terminator[0] = '\xff';
    const QByteArray image = QByteArray(16 * 2048, '\0') + volume + terminator;
    write("cd.iso", image);
    write("blank", QByteArray(image.size(), '\0'));
    EXPECT_EQ(blkidLabel(path("cd.iso")), "MY_ORVEX_CD");
    EXPECT_EQ(blkidLabel(path("blank")), QString());
    EXPECT_EQ(blkidLabel(path("missing")), QString());
}

// Asks and tells from a script.
class ScriptedAccessPrompts : public AccessPrompts
{
public:
    bool askYesNo(const UserMessage &question) override
    {
        questions.push_back(question);
        return answer;
    }
    void showMessage(const UserMessage &message) override { messages.push_back(message); }

    bool answer = true;
    std::vector<UserMessage> questions;
    std::vector<UserMessage> messages;
};

// Only for a device that refuses this user does the program offer to install its udev rule
// through pkexec, and only where pkexec and the helper are there; a failed installation is said,
// a dismissed authentication is not.  Start-up always carries on.
TEST_F(SystemTree, TheUdevRuleIsOfferedForADeviceThatRefusesThisUser)
{
    plug("2-1", "04b4 6149 2 3", "hidraw5", "0003:000004B4:00006149");
    const QStringList helper = {"/usr/bin/pkexec", "/helper"};
    const UserMessage failed = LinuxPlatformServices::installFailedMessage(1);
    // clang-format off
    const struct Case {
        bool refused; QString pkexec; bool answer; int exitCode; int questions; QStringList runs;
        std::vector<UserMessage> messages;
    } cases[] = {
        {false, "/usr/bin/pkexec", true, 0, 0, {}, {}}, {true, "", true, 0, 0, {}, {}},
        {true, "/usr/bin/pkexec", false, 0, 1, {}, {}},
        {true, "/usr/bin/pkexec", true, 0, 1, helper, {}},
        {true, "/usr/bin/pkexec", true, 126, 1, helper, {}},
        {true, "/usr/bin/pkexec", true, 1, 1, helper, {failed}}};
    // clang-format on
    for (const Case &each : cases) {
        denied.clear();
        if (each.refused)
            denied << path("dev/hidraw5");
        QStringList runs;
        LinuxSystem system;
        system.roots = roots;
        system.canReadWrite = [this](const QString &node) {
            return !denied.contains(node);
        };
        system.installer = UdevRuleInstaller(each.pkexec, "/helper",
                                             [&](const QString &program, const QStringList &args) {
                                                 runs << program << args;
                                                 return each.exitCode;
                                             });
        ScriptedAccessPrompts prompts;
        prompts.answer = each.answer;
        LinuxPlatformServices services(&prompts, system);
        EXPECT_EQ(services.callsForElevation(), each.refused);
        EXPECT_FALSE(services.elevate());
        EXPECT_EQ(static_cast<int>(prompts.questions.size()), each.questions);
        if (!prompts.questions.empty()) {
            EXPECT_EQ(prompts.questions[0], LinuxPlatformServices::installQuestion(1));
        }
        EXPECT_EQ(runs, each.runs);
        EXPECT_EQ(prompts.messages, each.messages);
    }
}

// The commands that give this user access: copy the rule where udev reads rules unless it is
// there, quoted for the shell, then load and apply it; the message ends with the diagnosis to run.
TEST(PermissionProblem, TheMessageGivesTheCommandsForWhereTheRuleIs)
{
    const QString installed = "/usr/lib/udev/rules.d/70-orvex.rules";
    EXPECT_EQ(udevRuleCommands(installed),
              QStringList({"sudo udevadm control --reload-rules", "sudo udevadm trigger"}));
    EXPECT_EQ(udevRuleCommands("/home/anna/my tools/it's/70-orvex.rules").value(0),
              "sudo install -m 0644 '/home/anna/my tools/it'\\''s/70-orvex.rules' "
              "/etc/udev/rules.d/70-orvex.rules");
    const QStringList lines = permissionProblemMessage(1, installed).split(kLineBreak);
    EXPECT_EQ(lines.value(0), "The ORVEX (Device 2, USB ID 04b4:6149) is plugged in,");
    EXPECT_EQ(deviceDescription(0), "The ORVEX (Device 1, USB ID 04b4:6148)");
    EXPECT_EQ(deviceDescription(2), "The ORVEX"); // no such device number
    EXPECT_TRUE(lines.contains("The rule is installed at " + installed + ";"));
    EXPECT_EQ(lines.mid(lines.size() - 5, 2), udevRuleCommands(installed));
    EXPECT_EQ(lines.last(), "\"orvexctl devices\" shows what this user may open of each device.");
}

volatile std::sig_atomic_t g_ownHandlerRuns = 0;
extern "C" void ownHandler(int)
{
    g_ownHandlerRuns = g_ownHandlerRuns + 1;
}

// Only one notifier owns the handlers at a time: a second one stays inactive and its end leaves
// the first one working; the first one's end gives the handlers back to whoever had them.
TEST(SignalNotifier, TurnsSignalsIntoInterruptedAndGivesTheHandlersBack)
{
    int argc = 1;
    char name[] = "test_core_platform", *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    EXPECT_EQ(LinuxPlatformServices(nullptr, {}).commandLine(), QString()); // but the program
    struct sigaction own
    {
    }, before{}, beforeTerm{};
    own.sa_handler = ownHandler;
    ASSERT_EQ(::sigaction(SIGINT, &own, &before) + ::sigaction(SIGTERM, &own, &beforeTerm), 0);
    for (int round = 0; round < 2; ++round) {
        SignalNotifier notifier;
        ASSERT_TRUE(notifier.isActive());
        EXPECT_FALSE(SignalNotifier().isActive());
        QSignalSpy interrupted(&notifier, &SignalNotifier::interrupted);
        for (int signal : {SIGINT, SIGTERM, SIGINT})
            EXPECT_TRUE(::raise(signal) == 0 && interrupted.wait(5000)) << signal;
        EXPECT_EQ(interrupted.count(), 3);
    }
    EXPECT_EQ(g_ownHandlerRuns, 0);
    ::raise(SIGINT);
    ::raise(SIGTERM);
    EXPECT_EQ(g_ownHandlerRuns, 2);
    ::sigaction(SIGINT, &before, nullptr);
    ::sigaction(SIGTERM, &beforeTerm, nullptr);
}

} // namespace
} // namespace orvex
