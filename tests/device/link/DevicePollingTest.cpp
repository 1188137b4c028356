#include "LinkFixture.h"

namespace orvex::testing {
namespace {

using Kind = VirtualExchange::Kind;

TEST(TextToBytes, IsZeroTerminatedWithinItsSize)
{
    const QByteArray bytes = DeviceLink::textToBytes(QStringLiteral("vid_04b4&pid_6149"));
    ASSERT_EQ(bytes.size(), 18);
    EXPECT_EQ(bytes.left(17), QByteArray("vid_04b4&pid_6149"));
    EXPECT_EQ(bytes.at(17), '\0');
    EXPECT_EQ(DeviceLink::textToBytes(QString()), QByteArray(1, '\0'));
}

TEST(ViewingText, NamesTheDeviceFromOne)
{
    EXPECT_EQ(viewingText(0), QStringLiteral("Viewing device 1"));
    EXPECT_EQ(viewingText(1), QStringLiteral("Viewing device 2"));
}

class PollingTest : public LinkTest
{
protected:
    // One poll with this live value on one channel's input.
    void pollWith(int value, int channel = 0)
    {
        device.device(link.deviceNumber()).liveValues[static_cast<std::size_t>(channel)] =
            static_cast<std::uint8_t>(value);
        link.pollDevice();
        ++polls;
    }

    void setThreshold(std::uint8_t setting) { model.setHysteresisThreshold(setting, 0); }

    std::uint8_t direction(int channel = 0) const
    {
        return link.sample().directions[static_cast<std::size_t>(channel)];
    }

    // The reference is where the last counted movement ended, and it is only seen through the
    // directions: a value one short of the threshold above it and one short below it both count
    // as no movement (and leave it where it is) only when it is exactly `expected`.
    void expectReference(int expected, int threshold)
    {
        for (int probe : {expected + threshold - 1, expected - threshold + 1}) {
            pollWith(probe);
            EXPECT_EQ(direction(), direction::kNone) << "probe " << probe << " around " << expected;
        }
    }

    int polls = 0;
};

// Directions --------------------------------------------------------------------------------------

TEST_F(PollingTest, DirectionNeedsAMovementOfTheThresholdFromTheReference)
{
    attach();
    setThreshold(0); // 8
    pollWith(100);   // from the start's reference of 0: the reference is 100
    pollingView.calls.clear();
    polls = 0;

    pollWith(108);
    EXPECT_EQ(direction(), direction::kRising);
    expectReference(108, 8);
    pollWith(110);
    EXPECT_EQ(direction(), direction::kNone);
    expectReference(108, 8);
    pollWith(100);
    EXPECT_EQ(direction(), direction::kFalling);
    expectReference(100, 8);
    EXPECT_EQ(pollingView.calls, QStringList(polls, QStringLiteral("drawGraphs")));
}

TEST_F(PollingTest, SlowCreepAddsUpToTheThreshold)
{
    attach();
    setThreshold(2); // 16
    pollWith(40);    // from the start's reference of 0: the reference is 40
    for (int step = 1; step < 16; ++step) {
        pollWith(40 + step);
        EXPECT_EQ(direction(), direction::kNone) << "step " << step;
        expectReference(40, 16);
    }
    pollWith(56);
    EXPECT_EQ(direction(), direction::kRising);
    expectReference(56, 16);
}

TEST_F(PollingTest, EachChannelUsesItsOwnThreshold)
{
    attach();
    model.setHysteresisThreshold(0, 0); // 8
    model.setHysteresisThreshold(2, 1); // 16
    device.device(0).liveValues = {12, 12, 0, 0, 0, 0};
    link.pollDevice();
    EXPECT_EQ(direction(0), direction::kRising);
    EXPECT_EQ(direction(1), direction::kNone);
    // Channel 2 kept its reference of 0: 16 is a rise from 0, and would not be one from 12.
    pollWith(16, 1);
    EXPECT_EQ(direction(1), direction::kRising);
}

TEST_F(PollingTest, FirstPollAfterStartMeasuresFromZero)
{
    attach();
    setThreshold(0);
    pollWith(50);
    EXPECT_EQ(direction(), direction::kRising);
    EXPECT_EQ(link.sample().values[0], 50);
    expectReference(50, 8);
}

TEST_F(PollingTest, FirstPollAfterALossOnlyTakesTheReference)
{
    attach();
    setThreshold(0);
    pollWith(50);
    pollWith(40);
    ASSERT_EQ(direction(), direction::kFalling);
    device.setPresent(0, false);
    link.pollDevice();
    device.setPresent(0, true);
    link.waitForDeviceTick();

    pollWith(200);
    EXPECT_EQ(direction(), direction::kNone);
    expectReference(200, 8);
    pollWith(209);
    EXPECT_EQ(direction(), direction::kRising);
}

TEST_F(PollingTest, PollsOnlyWhileViewingAndNotTransferring)
{
    link.pollDevice(); // nothing viewed yet
    EXPECT_TRUE(device.log().empty());

    attach();
    {
        const DeviceLink::TransferPause pause(link);
        device.clearLog(); // the pause closes the polling handle
        link.pollDevice();
        EXPECT_TRUE(device.log().empty());
        EXPECT_TRUE(pollingView.calls.isEmpty());
    }

    link.pollDevice();
    const auto sent = transfers();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].request, readRequest(0x2000));
    EXPECT_EQ(sent[1].request, readRequest(0x2001));
}

TEST_F(PollingTest, WorksWithoutAView)
{
    DeviceLink unobserved{device, model};
    unobserved.waitForDeviceTick();
    EXPECT_TRUE(unobserved.isViewing());
    device.device(0).liveValues[0] = 30;
    unobserved.pollDevice();
    device.setPresent(0, false);
    unobserved.pollDevice();
    EXPECT_FALSE(unobserved.isViewing());
    EXPECT_EQ(device.openHandleCount(), 0);
}

// Attaching -------------------------------------------------------------------------------------

TEST_F(PollingTest, WaitTickAttachesTheSelectedDevice)
{
    link.waitForDeviceTick();

    const std::vector<VirtualExchange> &log = device.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, Kind::Open);
    EXPECT_EQ(log[1].kind, Kind::Transfer);
    EXPECT_EQ(log[1].request, writeRequest(0x2000, 0));
    EXPECT_EQ(log[2].kind, Kind::Close);
    EXPECT_EQ(log[3].kind, Kind::Open);
    for (const VirtualExchange &exchange : log)
        EXPECT_EQ(exchange.deviceNumber, 0);

    EXPECT_TRUE(link.isViewing());
    EXPECT_EQ(link.deviceNumber(), 0);
    EXPECT_EQ(device.device(0).attached, true);
    EXPECT_EQ(device.openHandleCount(), 1);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:0", "status:Viewing device 1"}));
}

TEST_F(PollingTest, WaitTickFallsBackToTheOtherDevice)
{
    device.setPresent(0, false);
    link.waitForDeviceTick();
    EXPECT_TRUE(link.isViewing());
    EXPECT_EQ(link.deviceNumber(), 1);
    EXPECT_EQ(device.openHandleCount(1), 1);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:1", "status:Viewing device 2"}));
}

TEST_F(PollingTest, SelectedDeviceIsPreferredWhenBothArePresent)
{
    link.selectDevice(1);
    EXPECT_TRUE(link.attachDevice());
    EXPECT_EQ(link.deviceNumber(), 1);
    EXPECT_FALSE(device.device(0).attached.has_value());
}

TEST_F(PollingTest, WaitTickWithoutDevicesChangesNothing)
{
    device.setPresent(0, false);
    device.setPresent(1, false);
    link.waitForDeviceTick();
    EXPECT_FALSE(link.isViewing());
    EXPECT_EQ(link.deviceNumber(), 0);
    EXPECT_TRUE(pollingView.calls.isEmpty());
    EXPECT_EQ(device.openHandleCount(), 0);
}

TEST_F(PollingTest, AttachThatCannotReopenStaysSearching)
{
    device.unplugAtExchange(device.exchangeCount(), 0); // gone during the attach write
    link.waitForDeviceTick();
    EXPECT_FALSE(link.isViewing());
    EXPECT_FALSE(link.isPollingHandleOpen());
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_TRUE(pollingView.calls.isEmpty());

    device.setPresent(0, true);
    link.waitForDeviceTick();
    EXPECT_TRUE(link.isViewing());
}

// Losing and changing the device -----------------------------------------------------------------

TEST_F(PollingTest, LostDeviceIsClearedAndFoundAgain)
{
    device.setPresent(1, false);
    attach();
    device.device(0).liveValues = {1, 2, 3, 4, 5, 60};
    link.pollDevice();
    device.setPresent(0, false);
    pollingView.calls.clear();

    link.pollDevice();
    EXPECT_FALSE(link.isViewing());
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"clearGraphs", "status:Searching for device...", "waitTimer:on"}));
    EXPECT_EQ(link.sample().values, LiveValues{});
    EXPECT_EQ(link.sample().directions, LiveDirections{});

    pollingView.calls.clear();
    link.waitForDeviceTick(); // still unplugged
    EXPECT_TRUE(pollingView.calls.isEmpty());

    device.setPresent(0, true);
    link.waitForDeviceTick();
    EXPECT_TRUE(link.isViewing());
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:0", "status:Viewing device 1"}));
    EXPECT_EQ(device.openHandleCount(), 1);

    // Every reference went with the loss: the first poll, far from the old values, only takes
    // new ones.
    device.device(0).liveValues = {200, 200, 200, 200, 200, 200};
    link.pollDevice();
    EXPECT_EQ(link.sample().directions, LiveDirections{});
}

TEST_F(PollingTest, SelectingAnotherDeviceWhileViewingStartsTheSearch)
{
    attach();
    link.selectDevice(1);
    EXPECT_EQ(link.deviceNumber(), 1);
    EXPECT_FALSE(link.isViewing());
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"clearGraphs", "status:Searching for device...", "waitTimer:on"}));

    pollingView.calls.clear();
    link.waitForDeviceTick();
    EXPECT_EQ(device.openHandleCount(1), 1);
    EXPECT_EQ(pollingView.calls.last(), QStringLiteral("status:Viewing device 2"));
}

TEST_F(PollingTest, SelectingAnAbsentDeviceReturnsToThePresentOne)
{
    device.setPresent(1, false);
    attach();
    link.selectDevice(1);
    pollingView.calls.clear();

    link.waitForDeviceTick();
    EXPECT_EQ(link.deviceNumber(), 0);
    EXPECT_EQ(pollingView.calls,
              (QStringList{"waitTimer:off", "select:0", "status:Viewing device 1"}));
}

TEST_F(PollingTest, SelectingWhileSearchingOnlyChangesTheNumber)
{
    link.selectDevice(1);
    EXPECT_EQ(link.deviceNumber(), 1);
    link.selectDevice(5); // not a device
    EXPECT_EQ(link.deviceNumber(), 1);
    EXPECT_TRUE(device.log().empty());
    EXPECT_TRUE(pollingView.calls.isEmpty());
}

// Start and exit ----------------------------------------------------------------------------------

TEST_F(PollingTest, PrepareSendsTheAttachWriteToEveryPresentDevice)
{
    device.setPresent(1, false);
    link.prepareDevices();
    EXPECT_EQ(device.device(0).attached, true);
    EXPECT_FALSE(device.device(1).attached.has_value());
    const auto sent = transfers();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].request, writeRequest(0x2000, 0));
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_FALSE(link.isPollingHandleOpen());
}

TEST_F(PollingTest, ReleaseRestartsWrittenDevicesAndReleasesTheOthers)
{
    attach();
    link.markWritten(0);
    link.releaseDevices();

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
    link.markWritten(1);
    device.setPresent(0, false);
    device.setPresent(1, false);
    link.releaseDevices();

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
