// orvexctl on the real hidapi backend, with a scripted composite device behind its system seam:
// what a user with the device plugged in runs first.

#include "CtlTestSupport.h"
#include "ScriptedHidPlatform.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"
#include "core/backends/locking/DeviceLock.h"
#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <gtest/gtest.h>

namespace orvex::ctl::test {
namespace {

using orvex::testing::InterfaceKind;
using orvex::testing::ScriptedHidPlatform;

class RealBackendCommandsTest : public ::testing::Test
{
protected:
    RealBackendCommandsTest()
        : m_owned(std::make_unique<ScriptedHidPlatform>())
        , script(*m_owned)
        , access(std::move(m_owned))
    {
        // The keyboard is listed first, as hidraw usually lists interface 0.
        script.addComposite(
            {InterfaceKind::Keyboard, InterfaceKind::Joystick, InterfaceKind::Vendor});
        script.node(InterfaceKind::Keyboard).input.push_back(orvex::testing::kCtrlAKeyboardReport);
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedHidPlatform> m_owned;
    ScriptedHidPlatform &script;
    HidapiDeviceAccess access;
};

TEST_F(RealBackendCommandsTest, ReadWriteAndMonitorTalkOnlyToTheVendorInterface)
{
    Configuration stored = defaultConfiguration();
    stored.powerOnDelay = 9;
    stored.channels[2].keys[5] = 0x2C;
    script.device.device(0).memory = encodeImage(stored);
    script.device.device(0).liveValues = {10, 20, 30, 40, 50, 60};

    ASSERT_EQ(runCtl({"read", path("read.orv")}, &access).status, 0);
    const QByteArray read = readFile(path("read.orv"));
    EXPECT_EQ(read,
              QByteArray(reinterpret_cast<const char *>(encodeImage(stored).data()), kImageSize));

    const RunResult monitor = runCtl({"monitor", "--polls", "1"}, &access);
    EXPECT_EQ(monitor.status, 0);
    EXPECT_EQ(monitor.out.simplified(), "10 20^ 30^ 40^ 50^ 60^");

    stored.powerOnDelay = 3;
    writeFile(path("new.orv"),
              QByteArray(reinterpret_cast<const char *>(encodeImage(stored).data()), kImageSize));
    ASSERT_EQ(runCtl({"write", path("new.orv")}, &access).status, 0);
    EXPECT_EQ(script.device.device(0).memory[image::kPowerOnDelayAddress], 3);
    EXPECT_EQ(script.device.device(0).restartCount, 0); // restarts go through libusb
    EXPECT_EQ(script.resets.size(), 1u);

    EXPECT_TRUE(script.node(InterfaceKind::Keyboard).written.empty());
    EXPECT_TRUE(script.node(InterfaceKind::Joystick).written.empty());
}

TEST_F(RealBackendCommandsTest, DevicesListsTheInterfacesAndMarksTheOneUsed)
{
    const RunResult result = runCtl({"devices"}, &access);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.startsWith("Device 1 (USB 04b4:6148): plugged in\n"
                                      "  HID interfaces:\n"
                                      "    /dev/hidraw0  usage page 0x0001  report 0: input 8, "
                                      "output 1 bytes\n"
                                      "    /dev/hidraw1  usage page 0x0001  report 0: input 3, "
                                      "output 0 bytes\n"
                                      "    /dev/hidraw2  usage page 0xff00  report 1: input 6, "
                                      "output 6 bytes  (used)\n"
                                      "  Access: usable\n"
                                      "Device 2 (USB 04b4:6149): not plugged in\n"))
        << result.out.toStdString();
    EXPECT_TRUE(script.device.log().empty()); // nothing was sent to the device

    const QJsonObject json =
        QJsonDocument::fromJson(runCtl({"devices", "--json"}, &access).out.toUtf8()).object();
    const QJsonArray devices = json["devices"].toArray();
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices[0]["access"], "usable");
    EXPECT_EQ(devices[0]["interfaces"][2]["used"], true);
    EXPECT_EQ(devices[1]["present"], false);
    EXPECT_EQ(json["usable"], true);
}

TEST_F(RealBackendCommandsTest, DevicesSaysWhyAPluggedInDeviceCannotBeUsed)
{
    script.node(InterfaceKind::Vendor).openError = EACCES;
    const RunResult denied = runCtl({"devices"}, &access);
    EXPECT_EQ(denied.status, 1);
    EXPECT_TRUE(denied.out.contains("  Access: permission denied for this user"));
    EXPECT_TRUE(denied.out.contains("\n    sudo udevadm trigger\n"));
    EXPECT_TRUE(denied.out.endsWith("No ORVEX can be used by this program now.\n"));

    // Another program holds the device: it is named, and this one does not open the device.
    script.node(InterfaceKind::Vendor).openError = 0;
    QTemporaryDir runtime;
    DeviceLocks ours(runtime.path());
    DeviceLocks theirs(runtime.path());
    ASSERT_EQ(theirs.acquire(0x6148), LockResult::Acquired);
    LockingDeviceAccess locked(
        std::make_unique<HidapiDeviceAccess>(std::make_unique<ScriptedHidPlatform>()), ours);
    const RunResult held = runCtl({"devices"}, &locked);
    EXPECT_EQ(held.status, 1);
    EXPECT_TRUE(held.out.contains(QStringLiteral("  Access: in use by another program: %1")
                                      .arg(theirs.holderDescription(0x6148))));
}

TEST(DevicesCommand, ReportsTheSimulatedDevice)
{
    const RunResult result = runCtl({"devices", "--simulate"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Device 1 (USB 04b4:6148): plugged in\n"
                          "  HID interfaces:\n"
                          "    in-process virtual device  usage page 0xff00  report 1: input 6, "
                          "output 6 bytes  (used)\n"
                          "  Access: usable\n"
                          "Device 2 (USB 04b4:6149): not plugged in\n"
                          "\n"
                          "udev rule: not needed for virtual devices\n");
}

} // namespace
} // namespace orvex::ctl::test
