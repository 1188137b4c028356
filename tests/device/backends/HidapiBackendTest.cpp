// The hidapi backend, run against scripted composite devices behind its system seam.

#include "ScriptedHidPlatform.h"
#include "core/link/DeviceTransport.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace orvex::testing {
namespace {

using enum InterfaceKind;

void PrintTo(InterfaceKind kind, std::ostream *os)
{
    static const char *const names[] = {"Keyboard", "Joystick", "Vendor"};
    *os << names[static_cast<int>(kind)];
}

constexpr std::uint16_t kDevice1 = 0x6148;

class HidapiBackendTest : public ::testing::Test
{
protected:
    HidapiBackendTest()
        : m_owned(std::make_unique<ScriptedHidPlatform>())
        , script(*m_owned)
        , access(std::move(m_owned))
        , transport(access)
    {}

    HidHandle open(std::uint16_t productId = kDevice1)
    {
        HidHandle handle = kClosedHandle;
        EXPECT_EQ(access.OpenHidDevice(productId, 6, 6, handle), hid::kSuccess);
        return handle;
    }

    // The node an open of Device 1 would use.
    std::string chosenNode()
    {
        for (const HidInterfaceInfo &info : access.interfaces(kDevice1)) {
            if (info.chosen)
                return info.node;
        }
        return {};
    }

    std::unique_ptr<ScriptedHidPlatform> m_owned;
    ScriptedHidPlatform &script;
    HidapiDeviceAccess access;
    DeviceTransport transport;
};

// --- choosing the interface ------------------------------------------------------------------

class InterfaceOrderTest : public HidapiBackendTest,
                           public ::testing::WithParamInterface<std::vector<InterfaceKind>>
{
};

// The keyboard answers every request with a keystroke whose first byte is our report ID; only
// the vendor interface may ever be talked to.
TEST_P(InterfaceOrderTest, TalksOnlyToTheVendorInterface)
{
    script.addComposite(GetParam());
    script.device.device(0).liveValues = {10, 20, 30, 40, 50, 60};
    script.node(Keyboard).input.push_back(kCtrlAKeyboardReport);

    HidHandle handle = open();
    LiveValues values{};
    EXPECT_EQ(transport.readLiveValues(handle, values), hid::kSuccess);
    EXPECT_EQ(values, (LiveValues{10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(transport.writeDeviceByte(handle, 508, 7), hid::kSuccess);
    EXPECT_EQ(script.device.device(0).memory[508], 7);

    EXPECT_TRUE(script.node(Keyboard).written.empty());
    EXPECT_TRUE(script.node(Joystick).written.empty());
    EXPECT_EQ(script.node(Vendor).written.size(), 3u);

    std::vector<HidInterfaceInfo> listed = access.interfaces(kDevice1);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(std::ranges::count_if(listed, &HidInterfaceInfo::chosen), 1);
    const auto chosen = std::ranges::find_if(listed, &HidInterfaceInfo::chosen);
    EXPECT_EQ(*chosen,
              (HidInterfaceInfo{script.node(Vendor).interface.path, 0xFF00, 1, 6, 6, true}));
}

INSTANTIATE_TEST_SUITE_P(EveryEnumerationOrder, InterfaceOrderTest,
                         ::testing::Values(std::vector{Keyboard, Joystick, Vendor},
                                           std::vector{Keyboard, Vendor, Joystick},
                                           std::vector{Joystick, Keyboard, Vendor},
                                           std::vector{Joystick, Vendor, Keyboard},
                                           std::vector{Vendor, Keyboard, Joystick},
                                           std::vector{Vendor, Joystick, Keyboard}));

TEST_F(HidapiBackendTest, WithoutAnExactMatchPrefersAVendorPageThenTheFirstInterface)
{
    // A vendor interface whose report does not match ours still beats the keyboard.
    script.addComposite({Keyboard, Joystick});
    ScriptedNode &vendor = script.addNode(Vendor);
    vendor.descriptor = Report{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01,
                               0x75, 0x08, 0x95, 0x07, 0x81, 0x02, 0xC0}; // 8-byte input, no output
    EXPECT_EQ(chosenNode(), vendor.interface.path);

    // Unreadable descriptors leave hidapi's usage page to decide.
    for (ScriptedNode *node : {&script.node(Keyboard), &script.node(Joystick), &vendor})
        node->descriptor.reset();
    EXPECT_EQ(chosenNode(), vendor.interface.path);

    // Nothing vendor-defined at all: the first interface of the device.
    vendor.interface.usagePage = 0x0001;
    EXPECT_EQ(chosenNode(), script.node(Keyboard).interface.path);
}

TEST_F(HidapiBackendTest, OfTwoDevicesOfOneProductTakesTheFirstInAStableOrder)
{
    script.addComposite({Keyboard, Vendor}, kDevice1, "usb1/1-4");
    script.addComposite({Vendor, Keyboard}, kDevice1, "usb1/1-2");

    HidHandle handle = open();
    EXPECT_EQ(transport.writeDeviceByte(handle, 0, 1), hid::kSuccess);
    EXPECT_TRUE(script.node(Vendor, 0).written.empty());
    EXPECT_EQ(script.node(Vendor, 1).written.size(), 1u);
}

// --- exchanges -------------------------------------------------------------------------------

struct ExchangeCase
{
    const char *name;
    std::function<void(ScriptedNode &vendor)> arrange;
    HidStatus status;
};

void PrintTo(const ExchangeCase &exchange, std::ostream *os)
{
    *os << exchange.name;
}

class ExchangeTest : public HidapiBackendTest, public ::testing::WithParamInterface<ExchangeCase>
{
};

TEST_P(ExchangeTest, EndsWithTheDevicesOwnReplyOrAFailure)
{
    script.addComposite({Keyboard, Vendor});
    script.device.device(0).liveValues = {1, 2, 3, 4, 5, 6};
    HidHandle handle = open();
    ScriptedNode &vendor = script.node(Vendor);
    GetParam().arrange(vendor);

    HidReport reply{9, 9, 9, 9, 9, 9};
    EXPECT_EQ(access.WriteHidDevice(handle, readRequest(0x2000), reply), GetParam().status);
    if (GetParam().status == hid::kSuccess)
        EXPECT_EQ(reply, (HidReport{1, 0x82, 1, 2, 3, 0}));
    else
        EXPECT_EQ(reply, (HidReport{9, 9, 9, 9, 9, 9}));
    // No read ever waits longer than the reply time-out.
    for (int timeout : vendor.readTimeouts)
        EXPECT_LE(timeout, HidapiDeviceAccess::kReplyTimeoutMs);
}

const auto prepend = [](Report report, int copies = 1) {
    return [report, copies](ScriptedNode &vendor) {
        const auto answer = vendor.onWrite;
        vendor.onWrite = [&vendor, answer, report, copies](const Report &request) {
            for (int i = 0; i < copies; ++i)
                vendor.input.push_back(report);
            answer(request);
        };
    };
};

INSTANTIATE_TEST_SUITE_P(
    Replies, ExchangeTest,
    ::testing::Values(
        ExchangeCase{"AtOnce", [](ScriptedNode &) {}, hid::kSuccess},
        ExchangeCase{"AfterAForeignReportId", prepend({2, 0x82, 7, 7, 7, 0}), hid::kSuccess},
        ExchangeCase{"AfterAnOversizedReportOfOurId", prepend(kCtrlAKeyboardReport), hid::kSuccess},
        ExchangeCase{"AfterAShortReportOfOurId", prepend({1, 0x82, 7}), hid::kSuccess},
        ExchangeCase{"Never", [](ScriptedNode &vendor) { vendor.onWrite = nullptr; },
                     hid::kTimeout},
        ExchangeCase{"TooLate", [](ScriptedNode &vendor) { vendor.lateReads = 1; }, hid::kTimeout},
        // A device that floods the host is given up on after a bounded number of reports.
        ExchangeCase{"BehindAFlood", prepend({2, 0, 0, 0, 0, 0}, 1000), hid::kTimeout},
        ExchangeCase{"UnpluggedDuringTheExchange",
                     [](ScriptedNode &vendor) { vendor.unplugAfterNextWrite = true; },
                     hid::kIoError},
        ExchangeCase{"UnpluggedBefore", [](ScriptedNode &vendor) { vendor.unplugged = true; },
                     hid::kIoError}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HidapiBackendTest, StaleAndLateReportsAreNeverTakenForALaterReply)
{
    script.addComposite({Vendor});
    HidHandle handle = open();
    ScriptedNode &vendor = script.node(Vendor);
    script.device.device(0).memory[10] = 0xAA;
    script.device.device(0).memory[11] = 0xBB;

    // The reply to address 10 comes after its time-out, and an unasked report waits as well.
    vendor.lateReads = 1;
    EXPECT_EQ(transport.readDeviceByte(handle, 10), 0);
    vendor.input.push_back({1, 0x82, 0, 12, 0xCC, 0});
    transport.deviceError = false;
    EXPECT_EQ(transport.readDeviceByte(handle, 11), 0xBB);
    EXPECT_FALSE(transport.deviceError);
    EXPECT_TRUE(vendor.input.empty());
}

TEST_F(HidapiBackendTest, OpenFailuresSayWhy)
{
    script.addComposite({Keyboard, Vendor});
    const std::vector<std::pair<int, HidStatus>> cases = {
        {EACCES, hid::kAccessDenied}, {EPERM, hid::kAccessDenied}, {EBUSY, hid::kInUse},
        {ENODEV, hid::kNotPresent},   {EIO, hid::kIoError},
    };
    for (const auto &[error, status] : cases) {
        script.node(Vendor).openError = error;
        HidHandle handle = kClosedHandle;
        EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 6, handle), status) << error;
        EXPECT_EQ(handle, kClosedHandle);
    }
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(0x6149, 6, 6, handle), hid::kNotPresent);
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 64, handle), hid::kBadArgument);
    EXPECT_EQ(script.node(Keyboard).openConnections, 0);
}

TEST_F(HidapiBackendTest, HandlesCloseTheirNodesAndUnknownHandlesAreRefused)
{
    script.addComposite({Vendor});
    HidHandle first = open();
    HidHandle second = open();
    EXPECT_NE(first, second);
    EXPECT_EQ(script.node(Vendor).openConnections, 2);
    EXPECT_EQ(access.CloseHidDevice(first), hid::kSuccess);
    EXPECT_EQ(first, kClosedHandle);
    EXPECT_EQ(script.node(Vendor).openConnections, 1);

    HidReport reply{};
    HidHandle closed = 1;
    EXPECT_EQ(access.WriteHidDevice(closed, readRequest(0), reply), hid::kBadHandle);
    EXPECT_EQ(access.CloseHidDevice(closed), hid::kBadHandle);
    EXPECT_EQ(access.WriteHidDevice(second, readRequest(0), reply), hid::kSuccess);
}

TEST_F(HidapiBackendTest, RestartResetsTheNamedUsbDevice)
{
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6149"), hid::kSuccess);
    script.resetStatus = hid::kNotPresent; // unplugged since it was written
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6148"), hid::kNotPresent);
    EXPECT_EQ(script.resets, (std::vector<UsbId>{{0x04B4, 0x6149}, {0x04B4, 0x6148}}));

    EXPECT_EQ(access.RestartHidDevice("not an id"), hid::kBadArgument);
    EXPECT_EQ(access.RestartHidDevice(nullptr), hid::kBadArgument);
    EXPECT_EQ(script.resets.size(), 2u);
}

// The system's own platform reads descriptors from sysfs without opening the node.
TEST(SystemHidPlatform, ReadsReportDescriptorsFromSysfs)
{
    QTemporaryDir sys;
    ASSERT_TRUE(QDir(sys.path()).mkpath("class/hidraw/hidraw7/device"));
    QFile file(sys.filePath("class/hidraw/hidraw7/device/report_descriptor"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char *>(descriptors::kVendor.data()),
               static_cast<qint64>(descriptors::kVendor.size()));
    file.close();

    const auto platform = createSystemHidPlatform(sys.path());
    EXPECT_EQ(platform->reportDescriptor("/dev/hidraw7"), descriptors::kVendor);
    EXPECT_EQ(platform->reportDescriptor("/dev/hidraw8"), std::nullopt);
}

} // namespace
} // namespace orvex::testing
