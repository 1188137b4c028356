#include "LinkFixture.h"

namespace orvex::testing {
namespace {

using Kind = VirtualExchange::Kind;

TEST(TextToBytes, IsZeroTerminatedWithinItsSize)
{
    const QByteArray bytes = DevicePolling::textToBytes(QStringLiteral("vid_04b4&pid_6149"));
    ASSERT_EQ(bytes.size(), 18);
    EXPECT_EQ(bytes.left(17), QByteArray("vid_04b4&pid_6149"));
    EXPECT_EQ(bytes.at(17), '\0');
    EXPECT_EQ(DevicePolling::textToBytes(QString()), QByteArray(1, '\0'));
}

TEST(ViewingText, NamesTheDeviceFromOne)
{
    EXPECT_EQ(viewingText(0), QStringLiteral("Viewing device 1"));
    EXPECT_EQ(viewingText(1), QStringLiteral("Viewing device 2"));
}

class PollingTest : public LinkTest
{
protected:
    // One poll with these live values on every channel's input.
    void pollWith(std::uint8_t value, int channel = 0)
    {
        device.device(polling.deviceNumber).liveValues[static_cast<std::size_t>(channel)] = value;
        polling.pollDevice();
    }

    void setThreshold(std::uint8_t setting) { model.setHysteresisThreshold(setting, 0); }

    std::uint8_t direction() const { return polling.liveDirection[0]; }
    int reference() const { return polling.liveReference[0]; }
};

// Directions --------------------------------------------------------------------------------------

TEST_F(PollingTest, DirectionNeedsAMovementOfTheThresholdFromTheReference)
{
    attach();
    setThreshold(0); // 8
    polling.liveReference[0] = 100;

    pollWith(108);
    EXPECT_EQ(direction(), DevicePolling::kDirectionRising);
    EXPECT_EQ(reference(), 108);
    pollWith(110);
    EXPECT_EQ(direction(), DevicePolling::kDirectionNone);
    EXPECT_EQ(reference(), 108);
    pollWith(100);
    EXPECT_EQ(direction(), DevicePolling::kDirectionFalling);
    EXPECT_EQ(reference(), 100);
    EXPECT_EQ(pollingView.calls, QStringList(3, QStringLiteral("drawGraphs")));
}

TEST_F(PollingTest, SlowCreepAddsUpToTheThreshold)
{
    attach();
    setThreshold(2); // 16
    polling.liveReference[0] = 40;
    for (int step = 1; step < 16; ++step) {
        pollWith(static_cast<std::uint8_t>(40 + step));
        EXPECT_EQ(direction(), DevicePolling::kDirectionNone) << "step " << step;
        EXPECT_EQ(reference(), 40);
    }
    pollWith(56);
    EXPECT_EQ(direction(), DevicePolling::kDirectionRising);
    EXPECT_EQ(reference(), 56);
}

TEST_F(PollingTest, EachChannelUsesItsOwnThreshold)
{
    attach();
    model.setHysteresisThreshold(0, 0); // 8
    model.setHysteresisThreshold(2, 1); // 16
    device.device(0).liveValues = {12, 12, 0, 0, 0, 0};
    polling.pollDevice();
    EXPECT_EQ(polling.liveDirection[0], DevicePolling::kDirectionRising);
    EXPECT_EQ(polling.liveDirection[1], DevicePolling::kDirectionNone);
    EXPECT_EQ(polling.liveReference[1], 0);
}

TEST_F(PollingTest, FirstPollAfterStartMeasuresFromZero)
{
    attach();
    setThreshold(0);
    pollWith(50);
    EXPECT_EQ(direction(), DevicePolling::kDirectionRising);
    EXPECT_EQ(reference(), 50);
    EXPECT_EQ(polling.liveValue[0], 50);
}

TEST_F(PollingTest, FirstPollAfterALossOnlyTakesTheReference)
{
    attach();
    setThreshold(0);
    polling.liveDirection[0] = DevicePolling::kDirectionFalling;
    device.setPresent(0, false);
    polling.pollDevice();
    device.setPresent(0, true);
    polling.waitForDeviceTick();

    pollWith(200);
    EXPECT_EQ(direction(), DevicePolling::kDirectionNone);
    EXPECT_EQ(reference(), 200);
    pollWith(209);
    EXPECT_EQ(direction(), DevicePolling::kDirectionRising);
}

TEST_F(PollingTest, PollsOnlyWhileViewingAndNotTransferring)
{
    polling.pollDevice(); // nothing viewed yet
    EXPECT_TRUE(device.log().empty());

    attach();
    polling.transferBusy = true;
    polling.pollDevice();
    EXPECT_TRUE(device.log().empty());
    EXPECT_TRUE(pollingView.calls.isEmpty());

    polling.transferBusy = false;
    polling.pollDevice();
    const auto sent = transfers();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].request, readRequest(0x2000));
    EXPECT_EQ(sent[1].request, readRequest(0x2001));
}

TEST_F(PollingTest, WorksWithoutAView)
{
    polling.setView(nullptr);
    polling.waitForDeviceTick();
    EXPECT_TRUE(polling.deviceAttached);
    pollWith(30);
    device.setPresent(0, false);
    polling.pollDevice();
    EXPECT_FALSE(polling.deviceAttached);
    EXPECT_EQ(device.openHandleCount(), 0);
}

// Attaching -------------------------------------------------------------------------------------

TEST_F(PollingTest, WaitTickAttachesTheSelectedDevice)
{
    polling.waitForDeviceTick();

    const std::vector<VirtualExchange> &log = device.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, Kind::Open);
    EXPECT_EQ(log[1].kind, Kind::Transfer);
    EXPECT_EQ(log[1].request, writeRequest(0x2000, 0));
    EXPECT_EQ(log[2].kind, Kind::Close);
    EXPECT_EQ(log[3].kind, Kind::Open);
    for (const VirtualExchange &exchange : log)
        EXPECT_EQ(exchange.deviceNumber, 0);

    EXPECT_TRUE(polling.deviceAttached);
    EXPECT_EQ(polling.deviceNumber, 0);
    EXPECT_EQ(device.device(0).attached, true);
    EXPECT_EQ(device.openHandleCount(), 1);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:0", "status:Viewing device 1"}));
}

TEST_F(PollingTest, WaitTickFallsBackToTheOtherDevice)
{
    device.setPresent(0, false);
    polling.waitForDeviceTick();
    EXPECT_TRUE(polling.deviceAttached);
    EXPECT_EQ(polling.deviceNumber, 1);
    EXPECT_EQ(device.openHandleCount(1), 1);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:1", "status:Viewing device 2"}));
}

TEST_F(PollingTest, SelectedDeviceIsPreferredWhenBothArePresent)
{
    polling.deviceNumber = 1;
    EXPECT_TRUE(polling.attachDevice());
    EXPECT_EQ(polling.deviceNumber, 1);
    EXPECT_FALSE(device.device(0).attached.has_value());
}

TEST_F(PollingTest, WaitTickWithoutDevicesChangesNothing)
{
    device.setPresent(0, false);
    device.setPresent(1, false);
    polling.waitForDeviceTick();
    EXPECT_FALSE(polling.deviceAttached);
    EXPECT_EQ(polling.deviceNumber, 0);
    EXPECT_TRUE(pollingView.calls.isEmpty());
    EXPECT_EQ(device.openHandleCount(), 0);
}

TEST_F(PollingTest, AttachThatCannotReopenStaysSearching)
{
    device.unplugAtExchange(device.exchangeCount(), 0); // gone during the attach write
    polling.waitForDeviceTick();
    EXPECT_FALSE(polling.deviceAttached);
    EXPECT_FALSE(DeviceTransport::isOpen(polling.deviceHandle));
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_TRUE(pollingView.calls.isEmpty());

    device.setPresent(0, true);
    polling.waitForDeviceTick();
    EXPECT_TRUE(polling.deviceAttached);
}

// Losing and changing the device -----------------------------------------------------------------

TEST_F(PollingTest, LostDeviceIsClearedAndFoundAgain)
{
    device.setPresent(1, false);
    attach();
    device.device(0).liveValues = {1, 2, 3, 4, 5, 60};
    polling.pollDevice();
    device.setPresent(0, false);
    pollingView.calls.clear();

    polling.pollDevice();
    EXPECT_FALSE(polling.deviceAttached);
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"clearGraphs", "status:Searching for device...", "waitTimer:on"}));
    EXPECT_EQ(polling.liveValue, LiveValues{});
    EXPECT_EQ(polling.liveDirection, (std::array<std::uint8_t, 6>{}));
    EXPECT_EQ(polling.liveReference, (std::array<int, 6>{-1, -1, -1, -1, -1, -1}));

    pollingView.calls.clear();
    polling.waitForDeviceTick(); // still unplugged
    EXPECT_TRUE(pollingView.calls.isEmpty());

    device.setPresent(0, true);
    polling.waitForDeviceTick();
    EXPECT_TRUE(polling.deviceAttached);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:0", "status:Viewing device 1"}));
    EXPECT_EQ(device.openHandleCount(), 1);
}

TEST_F(PollingTest, SelectingAnotherDeviceWhileViewingStartsTheSearch)
{
    attach();
    polling.selectDevice(1);
    EXPECT_EQ(polling.deviceNumber, 1);
    EXPECT_FALSE(polling.deviceAttached);
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"clearGraphs", "status:Searching for device...", "waitTimer:on"}));

    pollingView.calls.clear();
    polling.waitForDeviceTick();
    EXPECT_EQ(device.openHandleCount(1), 1);
    EXPECT_EQ(pollingView.calls.last(), QStringLiteral("status:Viewing device 2"));
}

TEST_F(PollingTest, SelectingAnAbsentDeviceReturnsToThePresentOne)
{
    device.setPresent(1, false);
    attach();
    polling.selectDevice(1);
    pollingView.calls.clear();

    polling.waitForDeviceTick();
    EXPECT_EQ(polling.deviceNumber, 0);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:0", "status:Viewing device 1"}));
}

TEST_F(PollingTest, SelectingWhileSearchingOnlyChangesTheNumber)
{
    polling.selectDevice(1);
    EXPECT_EQ(polling.deviceNumber, 1);
    polling.selectDevice(5); // not a device
    EXPECT_EQ(polling.deviceNumber, 1);
    EXPECT_TRUE(device.log().empty());
    EXPECT_TRUE(pollingView.calls.isEmpty());
}

// Start and exit ----------------------------------------------------------------------------------

TEST_F(PollingTest, PrepareSendsTheAttachWriteToEveryPresentDevice)
{
    device.setPresent(1, false);
    polling.prepareDevices();
    EXPECT_EQ(device.device(0).attached, true);
    EXPECT_FALSE(device.device(1).attached.has_value());
    const auto sent = transfers();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].request, writeRequest(0x2000, 0));
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_FALSE(DeviceTransport::isOpen(polling.deviceHandle));
}

TEST_F(PollingTest, ReleaseRestartsWrittenDevicesAndReleasesTheOthers)
{
    attach();
    polling.deviceWritten[0] = true;
    polling.releaseDevices();

    EXPECT_EQ(device.device(0).restartCount, 1);
    EXPECT_FALSE(device.device(0).attached == false); // restarted, not released
    EXPECT_EQ(device.device(1).restartCount, 0);
    EXPECT_EQ(device.device(1).attached, false);
    const auto sent = transfers();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].deviceNumber, 1);
    EXPECT_EQ(sent[0].request, writeRequest(0x2000, 1));
    EXPECT_EQ(device.openHandleCount(), 0);
}

TEST_F(PollingTest, WrittenDeviceIsRestartedEvenWhenUnplugged)
{
    polling.deviceWritten[1] = true;
    device.setPresent(0, false);
    device.setPresent(1, false);
    polling.releaseDevices();

    EXPECT_EQ(device.device(1).restartCount, 1);
    EXPECT_EQ(device.device(0).restartCount, 0);
    EXPECT_TRUE(transfers().empty()); // the unwritten, unplugged device gets nothing
    ASSERT_FALSE(device.log().empty());
    EXPECT_EQ(device.log().back().kind, Kind::Restart);
    EXPECT_EQ(device.log().back().deviceNumber, 1);
    EXPECT_EQ(device.log().back().status, hid::kSuccess);
}

} // namespace
} // namespace orvex::testing
