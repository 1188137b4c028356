#include "FakeSystemTree.h"
#include "core/platform/linux/LinuxPlatformServices.h"

#include <QFile>
#include <QSet>
#include <gtest/gtest.h>
#include <unistd.h>

namespace orvex {
namespace {

using test::FakeSystemTree;

// Device 1 (04b4:6148) on bus 1 as device 7, with its hidraw interface; Device 2 (04b4:6149)
// on bus 2 as device 3.
class DeviceAccessProbeTest : public ::testing::Test
{
protected:
    void plugDevice1() const
    {
        tree.addUsbDevice(QStringLiteral("1-2"), "04b4", "6148", 1, 7);
        tree.addUsbInterface(QStringLiteral("1-2:1.0"));
        tree.addHidraw(QStringLiteral("hidraw3"), "0003:000004B4:00006148");
    }

    void plugDevice2() const
    {
        tree.addUsbDevice(QStringLiteral("2-1"), "04b4", "6149", 2, 3);
        tree.addHidraw(QStringLiteral("hidraw5"), "0003:000004B4:00006149");
    }

    void deny(const QString &relativeNode) { denied.insert(tree.path(relativeNode)); }

    UsbDeviceAccessProbe probe() const
    {
        return UsbDeviceAccessProbe(tree.roots(), [this](const QString &node) {
            checked.insert(node);
            return !denied.contains(node);
        });
    }

    FakeSystemTree tree;
    QSet<QString> denied;
    mutable QSet<QString> checked;
};

TEST_F(DeviceAccessProbeTest, NothingPluggedInIsAbsentAndCallsForNothing)
{
    tree.makeFolder(QStringLiteral("sys/bus/usb/devices"));
    tree.addUsbDevice(QStringLiteral("usb1"), "1d6b", "0002", 1, 1); // a root hub
    EXPECT_EQ(probe().state(0), DeviceAccessState::Absent);
    EXPECT_EQ(probe().state(1), DeviceAccessState::Absent);
    EXPECT_EQ(probe().firstInaccessibleDevice(), std::nullopt);
}

TEST_F(DeviceAccessProbeTest, MissingSysfsIsAbsent)
{
    EXPECT_EQ(probe().state(0), DeviceAccessState::Absent);
    EXPECT_EQ(probe().state(-1), DeviceAccessState::Absent);
    EXPECT_EQ(probe().state(2), DeviceAccessState::Absent);
}

TEST_F(DeviceAccessProbeTest, OtherVendorsAndProductsAreNotOurs)
{
    tree.addUsbDevice(QStringLiteral("1-1"), "046d", "6148", 1, 2); // other vendor
    tree.addUsbDevice(QStringLiteral("1-3"), "04b4", "6150", 1, 4); // other product
    tree.addUsbDevice(QStringLiteral("1-4"), "04b4", "garbage", 1, 5);
    EXPECT_EQ(probe().state(0), DeviceAccessState::Absent);
    EXPECT_EQ(probe().state(1), DeviceAccessState::Absent);
}

TEST_F(DeviceAccessProbeTest, PluggedInWithOpenNodesIsAccessible)
{
    plugDevice1();
    EXPECT_EQ(probe().state(0), DeviceAccessState::Accessible);
    EXPECT_EQ(probe().state(1), DeviceAccessState::Absent);
    EXPECT_EQ(probe().firstInaccessibleDevice(), std::nullopt);
    // Both node kinds were looked at: the reports' and the restart's.
    EXPECT_TRUE(checked.contains(tree.path(QStringLiteral("dev/hidraw3"))));
    EXPECT_TRUE(checked.contains(tree.path(FakeSystemTree::usbNode(1, 7))));
}

TEST_F(DeviceAccessProbeTest, RefusedHidrawOrUsbNodeIsInaccessible)
{
    plugDevice1();
    deny(QStringLiteral("dev/hidraw3"));
    EXPECT_EQ(probe().state(0), DeviceAccessState::Inaccessible);
    EXPECT_EQ(probe().firstInaccessibleDevice(), 0);

    denied.clear();
    deny(FakeSystemTree::usbNode(1, 7));
    EXPECT_EQ(probe().state(0), DeviceAccessState::Inaccessible);
}

TEST_F(DeviceAccessProbeTest, OnlyTheRefusingDeviceIsInaccessible)
{
    plugDevice1();
    plugDevice2();
    deny(QStringLiteral("dev/hidraw5"));
    EXPECT_EQ(probe().state(0), DeviceAccessState::Accessible);
    EXPECT_EQ(probe().state(1), DeviceAccessState::Inaccessible);
    EXPECT_EQ(probe().firstInaccessibleDevice(), 1);
}

TEST_F(DeviceAccessProbeTest, NodesNotCreatedYetAreNoPermissionProblem)
{
    tree.addUsbDevice(QStringLiteral("1-2"), "04b4", "6148", 1, 7, /*nodeExists=*/false);
    tree.addHidraw(QStringLiteral("hidraw3"), "0003:000004B4:00006148", /*nodeExists=*/false);
    deny(QStringLiteral("dev/hidraw3"));
    deny(FakeSystemTree::usbNode(1, 7));
    EXPECT_EQ(probe().state(0), DeviceAccessState::Accessible);
}

TEST_F(DeviceAccessProbeTest, HidrawNodesOfOtherBusesAndDevicesAreIgnored)
{
    plugDevice1();
    // Same identifiers over Bluetooth (bus 0005), and a keyboard: neither is the ORVEX.
    tree.addHidraw(QStringLiteral("hidraw0"), "0005:000004B4:00006148");
    tree.addHidraw(QStringLiteral("hidraw1"), "0003:0000046D:0000C31C");
    tree.writeFile(QStringLiteral("sys/class/hidraw/hidraw2/device/uevent"), "HID_ID=broken\n");
    deny(QStringLiteral("dev/hidraw0"));
    deny(QStringLiteral("dev/hidraw1"));
    EXPECT_EQ(probe().state(0), DeviceAccessState::Accessible);
}

TEST(NodeAccessCheckTest, FollowsTheFilePermissions)
{
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw0"));
    EXPECT_FALSE(nodeIsReadWritable(node)); // missing

    QFile file(node);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_TRUE(nodeIsReadWritable(node));

    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open any node";
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner));
    EXPECT_FALSE(nodeIsReadWritable(node));
}

} // namespace
} // namespace orvex
