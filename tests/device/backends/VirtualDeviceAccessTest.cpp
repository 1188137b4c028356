#include "core/backends/virtual/VirtualDeviceAccess.h"

#include "core/access/HardwareId.h"
#include "core/config/ConfigModel.h"
#include "core/link/DeviceTransport.h"

#include <gtest/gtest.h>
#include <set>

namespace orvex {
namespace {

constexpr std::uint16_t kDevice1 = 0x6148;
constexpr std::uint16_t kDevice2 = 0x6149;

HidReport read(int address)
{
    return {
        1, 0x82, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address & 0xFF),
        0, 0};
}

HidReport write(int address, std::uint8_t value)
{
    return {1,
            0x81,
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address & 0xFF),
            value,
            0};
}

class VirtualDeviceTest : public ::testing::Test
{
protected:
    HidHandle open(std::uint16_t productId = kDevice1)
    {
        HidHandle handle = kClosedHandle;
        EXPECT_EQ(access.OpenHidDevice(productId, 6, 6, handle), hid::kSuccess);
        return handle;
    }

    HidStatus exchange(HidHandle handle, const HidReport &request)
    {
        lastReply = {};
        return access.WriteHidDevice(handle, request, lastReply);
    }

    VirtualDeviceAccess access;
    HidReport lastReply{};
};

TEST_F(VirtualDeviceTest, StartsWithTheDefaultImageAndSignature)
{
    ConfigModel model;
    model.resetSettings();
    const ConfigImage defaults = encodeImage(model);
    for (int number : {0, 1}) {
        const ConfigImage &memory = access.device(number).memory;
        EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 510, defaults.begin()));
        EXPECT_EQ(memory[510], 'R');
        EXPECT_EQ(memory[511], '4');
        EXPECT_TRUE(access.device(number).present);
        EXPECT_FALSE(access.device(number).attached.has_value());
    }
}

TEST_F(VirtualDeviceTest, ReadsMemoryAndLiveValuesWithTheirReplyLayout)
{
    access.device(0).memory[0x1FC] = 0x5A;
    access.device(0).liveValues = {10, 20, 30, 40, 50, 60};
    const HidHandle handle = open();

    ASSERT_EQ(exchange(handle, read(0x1FC)), hid::kSuccess);
    EXPECT_EQ(lastReply, (HidReport{1, 0x82, 0x01, 0xFC, 0x5A, 0}));
    ASSERT_EQ(exchange(handle, read(0x2000)), hid::kSuccess);
    EXPECT_EQ(lastReply, (HidReport{1, 0x82, 10, 20, 30, 0}));
    ASSERT_EQ(exchange(handle, read(0x2001)), hid::kSuccess);
    EXPECT_EQ(lastReply, (HidReport{1, 0x82, 40, 50, 60, 0}));
}

TEST_F(VirtualDeviceTest, WritesStoreInTheAddressedDeviceOnly)
{
    const HidHandle handle = open(kDevice2);
    ASSERT_EQ(exchange(handle, write(510, 0x52)), hid::kSuccess);
    ASSERT_EQ(exchange(handle, write(7, 0x99)), hid::kSuccess);
    EXPECT_EQ(access.device(1).memory[7], 0x99);
    EXPECT_EQ(access.device(0).memory[7], VirtualDevice().memory[7]);
    ASSERT_EQ(exchange(handle, read(7)), hid::kSuccess);
    EXPECT_EQ(lastReply[4], 0x99);
}

TEST_F(VirtualDeviceTest, RefusesMalformedRequestsWithoutStoringAnything)
{
    const HidHandle handle = open();
    const ConfigImage before = access.device(0).memory;
    HidReport wrongReportId = write(5, 0x77);
    wrongReportId[0] = 2;
    HidReport unknownCommand = write(5, 0x77);
    unknownCommand[1] = 0x83;

    EXPECT_EQ(exchange(handle, wrongReportId), hid::kBadArgument);
    EXPECT_EQ(exchange(handle, unknownCommand), hid::kBadArgument);
    EXPECT_EQ(exchange(handle, write(512, 1)), hid::kBadArgument);
    EXPECT_EQ(exchange(handle, write(0x2000, 7)), hid::kBadArgument);
    EXPECT_EQ(exchange(handle, read(0x1000)), hid::kBadArgument);
    EXPECT_EQ(access.device(0).memory, before);
    EXPECT_FALSE(access.device(0).attached.has_value());
}

TEST_F(VirtualDeviceTest, OpenChecksPresenceReportLengthsAndRefusals)
{
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 8, handle), hid::kBadArgument);
    EXPECT_EQ(access.OpenHidDevice(0x1234, 6, 6, handle), hid::kNotPresent);
    access.setPresent(1, false);
    EXPECT_EQ(access.OpenHidDevice(kDevice2, 6, 6, handle), hid::kNotPresent);
    access.device(0).openRefusal = hid::kAccessDenied;
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 6, handle), hid::kAccessDenied);
    EXPECT_EQ(handle, kClosedHandle);
    EXPECT_EQ(access.openHandleCount(), 0);

    access.clearFaults();
    const HidHandle first = open();
    const HidHandle second = open();
    EXPECT_GT(first, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(access.openHandleCount(), 2);
    EXPECT_EQ(access.openHandleCount(0), 2);
    EXPECT_EQ(access.openHandleCount(1), 0);
}

TEST_F(VirtualDeviceTest, CloseResetsTheHandleAndRejectsUnknownOnes)
{
    HidHandle handle = open();
    EXPECT_EQ(access.CloseHidDevice(handle), hid::kSuccess);
    EXPECT_EQ(handle, kClosedHandle);
    EXPECT_EQ(access.openHandleCount(), 0);

    HidHandle stale = 42;
    EXPECT_EQ(access.CloseHidDevice(stale), hid::kBadHandle);
    EXPECT_EQ(exchange(42, read(0)), hid::kBadHandle);
}

TEST_F(VirtualDeviceTest, ControlWritesAttachAndRelease)
{
    const HidHandle handle = open();
    ASSERT_EQ(exchange(handle, write(0x2000, 0)), hid::kSuccess);
    EXPECT_EQ(access.device(0).attached, std::optional<bool>(true));
    ASSERT_EQ(exchange(handle, write(0x2000, 1)), hid::kSuccess);
    EXPECT_EQ(access.device(0).attached, std::optional<bool>(false));
    EXPECT_FALSE(access.device(1).attached.has_value());
}

TEST_F(VirtualDeviceTest, RestartParsesTheIdentifierAndCountsEvenWhenUnplugged)
{
    access.setPresent(1, false);
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6149"), hid::kSuccess);
    EXPECT_EQ(access.RestartHidDevice("VID_04B4&PID_6148"), hid::kSuccess);
    EXPECT_EQ(access.device(1).restartCount, 1);
    EXPECT_EQ(access.device(0).restartCount, 1);

    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6150"), hid::kBadArgument);
    EXPECT_EQ(access.RestartHidDevice("vid_1234&pid_6148"), hid::kBadArgument);
    EXPECT_EQ(access.RestartHidDevice(nullptr), hid::kBadArgument);
    EXPECT_EQ(access.device(0).restartCount, 1);
}

TEST_F(VirtualDeviceTest, RestartDropsTheHandlesOfThatDevice)
{
    const HidHandle handle = open();
    access.RestartHidDevice("vid_04b4&pid_6148");
    EXPECT_EQ(exchange(handle, read(0)), hid::kIoError);
}

TEST_F(VirtualDeviceTest, UnpluggedHandlesFailUntilClosedEvenAfterReplug)
{
    HidHandle handle = open();
    access.setPresent(0, false);
    EXPECT_EQ(exchange(handle, read(0)), hid::kIoError);
    access.setPresent(0, true);
    EXPECT_EQ(exchange(handle, read(0)), hid::kIoError);
    EXPECT_EQ(access.openHandleCount(), 1);
    EXPECT_EQ(access.CloseHidDevice(handle), hid::kSuccess);

    const HidHandle fresh = open();
    EXPECT_EQ(exchange(fresh, read(0)), hid::kSuccess);
}

TEST_F(VirtualDeviceTest, InjectedFailureStoresNeitherReplyNorWrite)
{
    HidHandle handle = open();
    access.device(0).memory[3] = 0x11;
    access.failExchange(1, hid::kTimeout);

    ASSERT_EQ(exchange(handle, read(3)), hid::kSuccess); // exchange 0
    HidReport reply{9, 9, 9, 9, 9, 9};
    EXPECT_EQ(access.WriteHidDevice(handle, write(3, 0x22), reply), hid::kTimeout);
    EXPECT_EQ(reply, (HidReport{9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(access.device(0).memory[3], 0x11);

    EXPECT_EQ(access.WriteHidDevice(handle, read(3), reply), hid::kSuccess);
    EXPECT_EQ(reply[4], 0x11);
    EXPECT_EQ(access.exchangeCount(), 3);
}

TEST_F(VirtualDeviceTest, UnplugAtExchangeTakesTheDeviceAwayBeforeIt)
{
    const HidHandle handle = open();
    access.unplugAtExchange(2, 0);
    EXPECT_EQ(exchange(handle, write(0, 1)), hid::kSuccess);
    EXPECT_EQ(exchange(handle, write(1, 2)), hid::kSuccess);
    EXPECT_EQ(exchange(handle, write(2, 3)), hid::kIoError);
    EXPECT_FALSE(access.device(0).present);
    EXPECT_EQ(access.device(0).memory[2], VirtualDevice().memory[2]);
}

TEST_F(VirtualDeviceTest, LogsEveryOperationInOrder)
{
    HidHandle handle = open();
    exchange(handle, read(0x2001));
    access.CloseHidDevice(handle);
    access.RestartHidDevice("vid_04b4&pid_6149");

    const auto &log = access.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, VirtualExchange::Kind::Open);
    EXPECT_EQ(log[1].kind, VirtualExchange::Kind::Transfer);
    EXPECT_EQ(log[1].request, read(0x2001));
    EXPECT_EQ(log[1].reply, (HidReport{1, 0x82, 0, 0, 0, 0}));
    EXPECT_EQ(log[2].kind, VirtualExchange::Kind::Close);
    EXPECT_EQ(log[3].kind, VirtualExchange::Kind::Restart);
    EXPECT_EQ(log[3].deviceNumber, 1);
    EXPECT_EQ(access.transfers().size(), 1u);

    access.clearLog();
    EXPECT_TRUE(access.log().empty());
}

TEST_F(VirtualDeviceTest, ClockMovesAnimatedDevicesOnlyAndReadsDoNot)
{
    std::int64_t clockMs = 0;
    access.setClock([&] { return clockMs; });
    access.device(0).animated = true;
    const HidHandle handle = open();
    std::set<std::uint8_t> firstChannel;
    for (int i = 1; i <= 300; ++i) {
        clockMs = 10 * i; // one animation step
        ASSERT_EQ(exchange(handle, read(0x2000)), hid::kSuccess);
        const HidReport firstRead = lastReply;
        ASSERT_EQ(exchange(handle, read(0x2000)), hid::kSuccess);
        ASSERT_EQ(lastReply, firstRead) << "step " << i;
        firstChannel.insert(lastReply[2]);
    }
    EXPECT_EQ(access.device(0).liveValues, animatedLiveValues(300));
    EXPECT_GT(firstChannel.size(), 50u);

    const HidHandle still = open(kDevice2);
    ASSERT_EQ(exchange(still, read(0x2000)), hid::kSuccess);
    EXPECT_EQ(lastReply, (HidReport{1, 0x82, 0, 0, 0, 0}));
    EXPECT_EQ(access.device(1).liveValues, (std::array<std::uint8_t, 6>{}));
}

TEST(AnimatedLiveValues, ChannelsFollowDistinctWavesWithinRange)
{
    const auto start = animatedLiveValues(0);
    std::set<std::uint8_t> distinct(start.begin(), start.end());
    EXPECT_GE(distinct.size(), 5u);
    int lowest = 255;
    int highest = 0;
    for (int step = 0; step < 2000; ++step) {
        lowest = std::min<int>(lowest, animatedLiveValues(step)[0]);
        highest = std::max<int>(highest, animatedLiveValues(step)[0]);
    }
    EXPECT_LE(lowest, 2);
    EXPECT_GE(highest, 253);
}

TEST(HardwareId, ParsesTagsAndHexInEitherCase)
{
    EXPECT_EQ(parseHardwareId("vid_04b4&pid_6148"), (UsbId{0x04B4, 0x6148}));
    EXPECT_EQ(parseHardwareId("VID_04B4&PID_6149"), (UsbId{0x04B4, 0x6149}));
    EXPECT_EQ(parseHardwareId("USB\\Vid_04B4&Pid_aBcD"), (UsbId{0x04B4, 0xABCD}));
}

TEST(HardwareId, RefusesMalformedTexts)
{
    for (const char *text :
         {"", "vid_04b4", "vid_04b&pid_6148", "vid_04b4&pid_614", "vid_04b4&pid_61481",
          "vid_04b4 pid_6148", "vid_04g4&pid_6148", "pid_6148&vid_04b4"})
        EXPECT_FALSE(parseHardwareId(text).has_value()) << text;
}

} // namespace
} // namespace orvex
