// The live link: finding and attaching a device, the direction rule of the polls, the choice of
// device, start-up and exit, and the timers that drive it all.

#include "LinkTest.h"

#include <QCoreApplication>
#include <QTimer>

namespace orvex::testing {
namespace {

const QStringList kSearchCalls = {"clearGraphs", "status:Searching for device...", "waitTimer:on"};

// The device layer's log as "O0 T0 C0 O1!": open, close, transfer or restart, the device, and
// a '!' for a failure.
QString logText(const std::vector<VirtualExchange> &log)
{
    QStringList entries;
    for (const VirtualExchange &entry : log) {
        entries << QStringLiteral("OCTR").at(static_cast<int>(entry.kind)) +
                       QString::number(entry.deviceNumber) +
                       (entry.status == hid::kSuccess ? "" : "!");
    }
    return entries.join(QLatin1Char(' '));
}

using DeviceLinkTest = LinkTest;

// A search tick attaches the selected device, or the other one when that is absent.  The attach
// write goes through an open of its own and polling runs on a fresh handle; a device gone before
// that handle opens is not viewed.
TEST(SearchTick, AttachesTheSelectedDeviceOrElseTheOther)
{
    // Devices 1 and 2 present, the one selected, device 1 gone at the attach write, the log, the
    // device viewed afterwards (-1: none).
    const std::tuple<bool, bool, int, bool, const char *, int> rows[] = {
        {true, true, 0, false, "O0 T0 C0 O0", 0},      {true, true, 1, false, "O1 T1 C1 O1", 1},
        {false, true, 0, false, "O0! O1 T1 C1 O1", 1}, {false, false, 0, false, "O0! O1!", -1},
        {true, false, 0, true, "O0 T0! C0 O0!", -1},
    };
    for (const auto &[present0, present1, selected, vanishes, log, viewed] : rows) {
        SCOPED_TRACE(log);
        VirtualDeviceAccess devices;
        const ConfigModel model;
        DeviceLink link{devices, model};
        const LinkRecorder recorder{link};
        devices.setPresent(0, present0);
        devices.setPresent(1, present1);
        if (vanishes)
            devices.unplugAtExchange(0, 0);
        link.selectDevice(selected);
        link.waitForDeviceTick();

        EXPECT_EQ(logText(devices.log()), log);
        EXPECT_EQ(link.state(), (LinkState{viewed >= 0, viewed >= 0 ? viewed : selected}));
        const QStringList viewingCalls = {
            "waitTimer:off", QStringLiteral("select:%1").arg(viewed),
            QStringLiteral("status:Viewing device %1").arg(viewed + 1)};
        EXPECT_EQ(recorder.calls, viewed < 0 ? QStringList() : viewingCalls);
        for (int number : {0, 1})
            EXPECT_EQ(devices.device(number).attached,
                      number == viewed ? std::optional(true) : std::nullopt);
    }
}

// One channel's directions, poll by poll: a movement counts once it reaches the channel's
// threshold from the reference, which moves only with a counted movement; the reference starts
// at 0, and after a loss the first value only becomes the reference.
TEST_F(DeviceLinkTest, DirectionsFollowEachChannelsThreshold)
{
    constexpr int kLoss = -1;           // the device is lost and found again
    model.setHysteresisThreshold(2, 0); // channel 0: High, 16
    model.setHysteresisThreshold(0, 1); // channel 1: Low, 8; channel 2 keeps Medium, 12
    const std::tuple<int, std::vector<int>, const char *> rows[] = {
        {1, {7, 8}, "NR"},
        {1, {50, 57, 58, 51, 50}, "RNRNF"},
        {1, {20, 23, 26, 27, 28}, "RNNNR"}, // slow drift adds up
        {1, {100, kLoss, 30, 37, 38}, "RNNR"},
        {2, {11, 12, 1, 0}, "NRNF"},
        {0, {15, 16, 1, 0}, "NRNF"},
    };
    for (const auto &[channel, values, expected] : rows) {
        DeviceLink fresh{devices, model};
        devices.device(0).liveValues = {};
        fresh.waitForDeviceTick();
        QString directions;
        for (int value : values) {
            if (value == kLoss) {
                devices.setPresent(0, false);
                fresh.pollDevice();
                devices.setPresent(0, true);
                fresh.waitForDeviceTick();
                continue;
            }
            devices.device(0).liveValues[static_cast<std::size_t>(channel)] =
                static_cast<std::uint8_t>(value);
            fresh.pollDevice();
            directions += QStringLiteral("NRF").at(fresh.sample().directions[channel]);
        }
        EXPECT_EQ(directions, QString::fromUtf8(expected)) << "channel " << channel;
    }
    EXPECT_EQ(devices.openHandleCount(), 0); // each link closed its polling handle as it went
}

// A poll reads both halves of the live values (channels 1-3, then 4-6), only while a device is
// viewed; every tick tells the views whether its values are new.
TEST_F(DeviceLinkTest, PollReadsTheLiveValuesOnlyWhileViewing)
{
    std::vector<LiveSample> samples;
    QObject::connect(&link, &DeviceLink::sampled,
                     [&samples](const LiveSample &sample) { samples.push_back(sample); });
    devices.device(0).liveValues = {10, 20, 30, 40, 50, 60};
    link.pollDevice();
    EXPECT_TRUE(devices.log().empty());
    attach();
    link.pollDevice();

    ASSERT_EQ(samples.size(), 2U);
    EXPECT_EQ(samples[0], LiveSample{});
    EXPECT_EQ(samples[1].values, (LiveValues{10, 20, 30, 40, 50, 60}));
    EXPECT_TRUE(samples[1].read);
}

// Choosing the other device lets a viewed one go and starts the search for it; choosing the
// viewed one, or a number that is no device, changes nothing.
TEST_F(DeviceLinkTest, ChoosingADevice)
{
    link.selectDevice(1);
    link.selectDevice(2); // no such device
    EXPECT_EQ(link.deviceNumber(), 1);
    EXPECT_TRUE(recorder.calls.isEmpty());

    attach();
    link.selectDevice(1);
    EXPECT_TRUE(link.isViewing());
    EXPECT_TRUE(recorder.calls.isEmpty());

    link.selectDevice(0);
    EXPECT_EQ(link.deviceNumber(), 0);
    EXPECT_EQ(recorder.calls, kSearchCalls);
    EXPECT_EQ(devices.openHandleCount(), 0);
}

// Start-up attaches every present device.  At exit a device written to is restarted, by its
// hardware identifier and so even when unplugged; the others are released.
TEST_F(DeviceLinkTest, StartUpAttachesAndExitRestartsOrReleases)
{
    devices.setPresent(1, false);
    link.prepareDevices();
    EXPECT_EQ(logText(devices.log()), "O0 T0 C0 O1!");
    EXPECT_EQ(devices.device(0).attached, true);

    attach();
    devices.device(0).liveValues[0] = 100;
    link.pollDevice(); // values on show when the program ends
    link.markWritten(1);
    link.releaseDevices();
    EXPECT_EQ(logText(devices.log()), "T0 T0 C0 O0 T0 C0 R1");
    EXPECT_EQ(devices.device(0).attached, false);
    EXPECT_EQ(devices.device(1).restartCount, 1);
}

// A poll every 10 ms, and a search every second only while no device is viewed; neither runs
// before startTimers() or after the exit.
TEST_F(DeviceLinkTest, TimersDriveThePollAndTheSearch)
{
    int argc = 0;
    const QCoreApplication application(argc, nullptr); // timers need an event dispatcher
    auto *poll = link.findChild<QTimer *>(QStringLiteral("tmrPollDevice"));
    auto *wait = link.findChild<QTimer *>(QStringLiteral("tmrWaitForDevice"));
    ASSERT_TRUE(poll != nullptr && wait != nullptr);
    EXPECT_EQ(poll->interval(), 10);
    EXPECT_EQ(wait->interval(), 1000);
    attach();
    link.startSearching();
    EXPECT_EQ(devices.openHandleCount(), 0);
    EXPECT_FALSE(poll->isActive() || wait->isActive());

    link.startTimers();
    EXPECT_TRUE(poll->isActive() && wait->isActive());
    QMetaObject::invokeMethod(wait, "timeout");
    EXPECT_TRUE(link.isViewing());
    EXPECT_FALSE(wait->isActive());
    QMetaObject::invokeMethod(poll, "timeout");
    EXPECT_EQ(recorder.draws, 1);

    devices.setPresent(0, false);
    QMetaObject::invokeMethod(poll, "timeout");
    EXPECT_TRUE(poll->isActive() && wait->isActive());

    link.releaseDevices();
    EXPECT_FALSE(poll->isActive() || wait->isActive());
}

} // namespace
} // namespace orvex::testing
