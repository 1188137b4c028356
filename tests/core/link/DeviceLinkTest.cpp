// The live link: on its device thread, finding and attaching a device, the direction rule of the
// polls, the choice of device, start-up and exit, and the cadence of its timers; on the window
// thread, what it announces and in which order.

#include "LinkTest.h"
#include "core/link/LinkAnnouncements.h"

#include <QSignalSpy>
#include <chrono>

namespace orvex::testing {
namespace {

using namespace std::chrono_literals;

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

// The device side of a link on the calling thread, with a clock of the test's own.
struct Engine
{
    Engine() { engine.setThresholds({12, 12, 12, 12, 12, 12}); }

    void attach()
    {
        engine.waitForDeviceTick();
        ASSERT_TRUE(engine.state().viewing);
        devices.clearLog();
        recorder.calls.clear();
    }

    // Writes the default configuration to the selected device, as File > Write does.
    TransferResult write()
    {
        engine.beginTransfer();
        const TransferResult result =
            engine.writeConfiguration(encodeImage(defaultConfiguration())).result;
        engine.endTransfer();
        return result;
    }

    VirtualDeviceAccess devices;
    LinkRecorder recorder;
    LinkEngine::TimePoint now{};
    LinkEngine engine{devices, recorder, [this] {
                          return now;
                      }};
};

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
        Engine e;
        e.devices.setPresent(0, present0);
        e.devices.setPresent(1, present1);
        if (vanishes)
            e.devices.unplugAtExchange(0, 0);
        e.engine.selectDevice(selected);
        e.recorder.calls.clear();
        e.engine.waitForDeviceTick();

        EXPECT_EQ(logText(e.devices.log()), log);
        EXPECT_EQ(e.engine.state(), (LinkState{viewed >= 0, viewed >= 0 ? viewed : selected}));
        EXPECT_EQ(e.recorder.calls,
                  viewed < 0 ? QStringList()
                             : QStringList{QStringLiteral("viewing %1").arg(viewed + 1)});
        for (int number : {0, 1})
            EXPECT_EQ(e.devices.device(number).attached,
                      number == viewed ? std::optional(true) : std::nullopt);
    }
}

// One channel's directions, poll by poll: a movement counts once it reaches the channel's
// threshold from the reference, which moves only with a counted movement; the reference starts
// at 0, and after a loss the first value only becomes the reference.
TEST(Polls, DirectionsFollowEachChannelsThreshold)
{
    constexpr int kLoss = -1; // the device is lost and found again
    const std::tuple<int, std::vector<int>, const char *> rows[] = {
        {1, {7, 8}, "NR"},
        {1, {50, 57, 58, 51, 50}, "RNRNF"},
        {1, {20, 23, 26, 27, 28}, "RNNNR"}, // slow drift adds up
        {1, {100, kLoss, 30, 37, 38}, "RNNR"},
        {2, {11, 12, 1, 0}, "NRNF"},
        {0, {15, 16, 1, 0}, "NRNF"},
    };
    for (const auto &[channel, values, expected] : rows) {
        Engine e;
        e.engine.setThresholds({16, 8, 12, 12, 12, 12});
        e.attach();
        QString directions;
        for (int value : values) {
            if (value == kLoss) {
                e.devices.setPresent(0, false);
                e.engine.pollDevice();
                e.devices.setPresent(0, true);
                e.engine.waitForDeviceTick();
                continue;
            }
            e.devices.device(0).liveValues[static_cast<std::size_t>(channel)] =
                static_cast<std::uint8_t>(value);
            e.engine.pollDevice();
            directions += QStringLiteral("NRF").at(e.engine.sample().directions[channel]);
        }
        EXPECT_EQ(directions, QString::fromUtf8(expected)) << "channel " << channel;
    }
}

// A poll reads both halves of the live values (channels 1-3, then 4-6), only while a device is
// viewed and no transfer holds it; every tick tells the views whether its values are new.  A
// failed read loses the device: the sample is zeroed and the search begins.
TEST(Polls, ReadTheLiveValuesOnlyWhileViewingAndLoseAFailedDevice)
{
    Engine e;
    e.devices.device(0).liveValues = {10, 20, 30, 40, 50, 60};
    e.engine.pollDevice();
    EXPECT_TRUE(e.devices.log().empty());
    EXPECT_FALSE(e.recorder.lastSample.read);
    e.attach();
    e.engine.pollDevice();
    EXPECT_EQ(e.recorder.lastSample.values, (LiveValues{10, 20, 30, 40, 50, 60}));
    EXPECT_TRUE(e.recorder.lastSample.read);
    e.engine.pollDevice(); // the directions settle
    e.recorder.calls.clear();
    e.engine.pollDevice(); // nothing new: nothing to tell, unless every poll is asked for
    e.engine.setEveryPollAnnounced(true);
    e.engine.pollDevice();
    e.engine.setEveryPollAnnounced(false);
    EXPECT_EQ(e.recorder.calls, QStringList{"sample"});
    e.recorder.calls.clear();
    EXPECT_EQ(logText(e.devices.log()), "T0 T0 T0 T0 T0 T0 T0 T0");
    e.devices.clearLog();

    e.engine.beginTransfer();
    e.engine.pollDevice();
    e.engine.waitForDeviceTick();
    EXPECT_FALSE(e.recorder.lastSample.read);
    EXPECT_EQ(logText(e.devices.log()), "C0"); // the transfer took the polling handle
    e.engine.endTransfer();
    EXPECT_TRUE(e.engine.isPollingHandleOpen());

    e.devices.failExchange(e.devices.exchangeCount() + 1); // the second request
    e.engine.pollDevice();
    EXPECT_EQ(e.recorder.calls, (QStringList{"searching 1"}));
    EXPECT_EQ(e.recorder.lastSample, LiveSample{});
    EXPECT_EQ(e.devices.openHandleCount(), 0);
}

// Choosing the other device lets a viewed one go and starts the search for it; choosing the
// viewed one, or a number that is no device, changes nothing.
TEST(Selection, ChoosingADevice)
{
    Engine e;
    e.engine.selectDevice(1);
    e.engine.selectDevice(2); // no such device
    EXPECT_EQ(e.engine.state().deviceNumber, 1);
    EXPECT_EQ(e.recorder.calls, QStringList{"searching 2"});

    e.attach();
    e.engine.selectDevice(1);
    EXPECT_TRUE(e.engine.state().viewing);
    EXPECT_TRUE(e.recorder.calls.isEmpty());

    e.engine.selectDevice(0);
    EXPECT_EQ(e.recorder.calls, QStringList{"searching 1"});
    EXPECT_EQ(e.devices.openHandleCount(), 0);
}

// Start-up attaches every present device.  At exit a device written to is restarted, by its
// hardware identifier and so even when unplugged; the others are released.
TEST(Exit, StartUpAttachesAndExitRestartsOrReleases)
{
    Engine e;
    e.engine.selectDevice(1);
    EXPECT_EQ(e.write(), TransferResult::Success);
    e.devices.setPresent(1, false);
    e.engine.selectDevice(0);
    e.devices.clearLog();
    e.engine.prepareDevices();
    EXPECT_EQ(logText(e.devices.log()), "O0 T0 C0 O1!");
    EXPECT_EQ(e.devices.device(0).attached, true);

    e.attach();
    e.engine.startTimers();
    e.engine.pollDevice(); // values on show when the program ends
    e.engine.releaseDevices();
    EXPECT_EQ(logText(e.devices.log()), "T0 T0 C0 O0 T0 C0 R1");
    EXPECT_EQ(e.devices.device(0).attached, false);
    EXPECT_EQ(e.devices.device(1).restartCount, 1);
    EXPECT_FALSE(e.engine.nextTick()); // nothing runs after the exit
}

// A poll is due 10 ms after the previous one started, and one that took longer is followed at
// once by a single poll rather than by the ones it made late.  A search is due a second after
// the search began, and every second while no device is viewed.
TEST(Timers, PollEveryTenMillisecondsAndSearchEverySecondWhileSearching)
{
    Engine e;
    EXPECT_FALSE(e.engine.nextTick());
    e.engine.runDueTick();
    EXPECT_TRUE(e.devices.log().empty());

    e.engine.startSearching();
    e.engine.startTimers();
    const LinkEngine::TimePoint start = e.now;
    EXPECT_EQ(e.engine.nextTick(), start + 10ms);
    e.now = start + 9ms;
    e.engine.runDueTick();
    EXPECT_EQ(e.engine.nextTick(), start + 10ms); // nothing was due yet
    e.now = start + 999ms;
    e.engine.runDueTick(); // the poll, late: once
    EXPECT_EQ(e.engine.nextTick(), start + 1000ms);
    EXPECT_TRUE(e.devices.log().empty()); // polls do not touch a device while searching
    e.now = start + 1000ms;
    e.engine.runDueTick(); // the search before the poll
    EXPECT_TRUE(e.engine.state().viewing);
    EXPECT_EQ(e.engine.nextTick(), start + 1009ms); // polls only, while viewing

    e.devices.clearLog();
    e.now = start + 1035ms; // the poll is 26 ms late
    e.engine.runDueTick();
    e.engine.runDueTick();
    EXPECT_EQ(logText(e.devices.log()), "T0 T0");
    EXPECT_EQ(e.engine.nextTick(), start + 1045ms);

    e.devices.setPresent(0, false);
    e.now = start + 1045ms;
    e.engine.runDueTick(); // the device is lost: the search begins a full second later
    EXPECT_FALSE(e.engine.state().viewing);
    EXPECT_EQ(e.engine.nextTick(), start + 1055ms);
    e.now = start + 2044ms;
    e.engine.runDueTick();
    e.engine.runDueTick();
    EXPECT_FALSE(e.engine.state().viewing);
    EXPECT_EQ(logText(e.devices.log()), "T0 T0 T0! C0"); // the one failed poll
    e.devices.setPresent(0, true);
    e.now = start + 2045ms;
    e.engine.runDueTick();
    EXPECT_TRUE(e.engine.state().viewing);

    e.now = start + 2600ms; // the search begins again, from now
    e.engine.startSearching();
    e.engine.runDueTick();
    EXPECT_EQ(e.engine.nextTick(), start + 2610ms);
    e.now = start + 3599ms;
    e.engine.runDueTick();
    EXPECT_EQ(e.engine.nextTick(), start + 3600ms);

    e.engine.stopTimers();
    EXPECT_FALSE(e.engine.nextTick());
}

// The device thread announces in order; a sample makes way for a newer one only while it is
// the last one waiting, so nothing else is lost or reordered.
TEST(Announcements, KeepTheirOrderAndOnlyTheNewestOfTheWaitingSamples)
{
    ensureApplication();
    LinkAnnouncements announcements;
    QSignalSpy ready(&announcements, &LinkAnnouncements::ready);
    const auto sample = [](std::uint8_t value) {
        return LiveSample{{value}, {}, true};
    };
    announcements.push(LinkState{true, 0});
    announcements.push(sample(1));
    announcements.push(sample(2));
    announcements.transferProgress("p");
    announcements.push(sample(3));
    announcements.push(LinkState{false, 0});
    announcements.push(sample(4));
    ASSERT_TRUE(ready.wait(5000));

    QStringList taken;
    while (const auto next = announcements.take()) {
        if (const auto *state = std::get_if<LinkState>(&*next))
            taken << (state->viewing ? "viewing" : "searching");
        else if (const auto *takenSample = std::get_if<LiveSample>(&*next))
            taken << QString::number(takenSample->values[0]);
        else
            taken << "progress";
    }
    EXPECT_EQ(taken, QStringList({"viewing", "2", "progress", "3", "searching", "4"}));
}

using DeviceLinkTest = LinkTest;

// The window thread's copy of the link follows the device thread, and the model's thresholds,
// the stored and the provisional ones, reach the polls there.
TEST_F(DeviceLinkTest, TheWindowsSideFollowsTheDeviceThread)
{
    std::vector<LiveSample> samples;
    QObject::connect(&link, &DeviceLink::sampled,
                     [&samples](const LiveSample &sample) { samples.push_back(sample); });
    select(1);
    EXPECT_EQ(link.state(), (LinkState{false, 1}));
    attach();
    EXPECT_EQ(link.state(), (LinkState{true, 1}));
    devices.device(1).liveValues = {12, 0, 0, 0, 0, 8};
    poll();
    EXPECT_EQ(link.sample().values, devices.device(1).liveValues);
    EXPECT_EQ(link.sample().directions, (LiveDirections{direction::kRising, 0, 0, 0, 0, 0}));

    editChannel(model, 5, [](ChannelSettings &channel) { channel.hysteresis = 0; });
    model.setHysteresisThreshold(2, 0); // shown by the dialog, not yet stored
    devices.device(1).liveValues = {24, 0, 0, 0, 0, 16};
    poll();
    EXPECT_EQ(link.sample().directions, (LiveDirections{0, 0, 0, 0, 0, direction::kRising}));
    EXPECT_EQ(samples.back(), link.sample());
}

} // namespace
} // namespace orvex::testing
