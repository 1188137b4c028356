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
    plug("1-3", "04b4 6150 1 4", "hidraw0", "0005:000004B4:00006148"); // the same IDs over Bluetooth
    write("sys/bus/usb/devices/1-2:1.0/bInterfaceClass", "03\n"); // an interface, not a device
    write("dev/bus/usb/002/003");
    const std::pair<QStringList, std::array<State, 2>> cases[] = {
        {{}, {State::Accessible, State::Accessible}},
        {{"dev/hidraw0", "dev/hidraw1", "dev/bus/usb/001/002"}, {State::Accessible, State::Accessible}},
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
