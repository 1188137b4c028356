// Reading and writing a configuration: the exact requests, the progress, what the window is
// told, the question about unsaved changes, and how a transfer shares the device with the polls.
// What every failed exchange leaves behind is swept in tests/reliability.

#include "LinkTest.h"
#include "core/config/ConfigImage.h"

#include <tuple>

namespace orvex::testing {
namespace {

const QStringList kFailureEvents = {"show", "hide", "message"};
const QStringList kSuccessEvents = {"show", "hide", "events", "message"};

// A transfer's closing message: an error under the main window's title, or a plain note.
UserMessage message(const char *text, bool error = false)
{
    return {QString::fromUtf8(text),
            QString::fromLatin1(error ? "ORVEX Configuration Utility" : "ORVEX"),
            error ? MessageIcon::Critical : MessageIcon::None};
}

TEST(PercentText, RoundsHalvesAwayFromZero)
{
    const std::tuple<int, int, const char *> rows[] = {
        {1, 8, "13%"},      {3, 8, "38%"},   {1, 200, "1%"},
        {383, 384, "100%"}, {-1, 8, "-13%"}, {0, 0, "100%"},
    };
    for (const auto &[done, total, text] : rows)
        EXPECT_EQ(percentText(done, total), QString::fromUtf8(text));
}

// Channel 1: 2 steps (4 section bytes); channel 2: Directional (4); channel 3: joystick only,
// so no keyboard steps (0); channels 4-6: the default 8 steps (16 each).
Configuration mixedConfiguration()
{
    Configuration mixed = defaultConfiguration();
    mixed.channels[0].steps = 1;
    mixed.channels[0].keys = {0x04, 0x05};
    mixed.channels[1].steps = kDirectionalSteps;
    mixed.channels[2].mode = kModeJoystick;
    mixed.channels[3].hysteresis = 2;
    mixed.powerOnDelay = 5;
    return mixed;
}

// The mixed configuration's device addresses in the order they move: the six channel headers
// (bytes 64-69 of each 80-byte block), the power-on delay, then the section pairs.
std::vector<int> mixedAddresses()
{
    std::vector<int> addresses;
    for (int block = 0; block < 480; block += 80) {
        for (int offset = 64; offset <= 69; ++offset)
            addresses.push_back(block + offset);
    }
    addresses.push_back(508);
    for (auto [start, count] : {std::pair{0, 4}, {80, 4}, {240, 16}, {320, 16}, {400, 16}}) {
        for (int offset = 0; offset < count; ++offset)
            addresses.push_back(start + offset);
    }
    return addresses;
}

using TransferTest = LinkTest;

std::vector<HidReport> requestsOf(const std::vector<VirtualExchange> &exchanges)
{
    std::vector<HidReport> requests;
    for (const VirtualExchange &exchange : exchanges)
        requests.push_back(exchange.request);
    return requests;
}

// A write clears the signature first and signs last, so that one that breaks off never leaves
// the device looking configured; a read asks for the same bytes without it.  Each runs on a
// private handle of its own.
TEST_F(TransferTest, WriteAndReadMoveHeadersDelayThenSections)
{
    model.replaceConfiguration(mixedConfiguration());
    const ConfigImage image = encodeImage(model);
    EXPECT_EQ(write(), TransferResult::Success);
    std::vector<HidReport> expected = {writeRequest(510, 0), writeRequest(511, 0)};
    for (int address : mixedAddresses())
        expected.push_back(writeRequest(address, image[address]));
    expected.push_back(writeRequest(510, 'R'));
    expected.push_back(writeRequest(511, '4'));
    EXPECT_EQ(requestsOf(transfers()), expected);
    EXPECT_TRUE(link.wasWritten(0));
    EXPECT_FALSE(link.wasWritten(1));

    model.resetSettings();
    devices.clearLog();
    int handlesAtDecode = -1; // the device is let go before the image is taken in
    QObject::connect(&model, &ConfigModel::configurationChanged,
                     [&] { handlesAtDecode = devices.openHandleCount(); });
    EXPECT_EQ(read(), TransferResult::Success);
    EXPECT_EQ(handlesAtDecode, 0);
    expected.clear();
    for (int address : mixedAddresses())
        expected.push_back(readRequest(address));
    EXPECT_EQ(requestsOf(transfers()), expected);
    EXPECT_EQ(encodeImage(model), image);

    EXPECT_EQ(devices.openHandleCount(), 0);
    EXPECT_EQ(view.events, kSuccessEvents + kSuccessEvents);
    EXPECT_EQ(view.messages,
              (std::vector{message("The configuration was successfully saved to the device"),
                           message("The configuration was successfully read from the "
                                   "device")}));
}

// The first line counts channel headers, the second section-pair bytes; a single channel of two
// steps moves four of them.
TEST_F(TransferTest, ProgressCountsChannelsThenSectionBytes)
{
    editConfiguration(model, [](Configuration &configuration) {
        for (ChannelSettings &channel : configuration.channels)
            channel.mode = kModeNone;
        configuration.channels[5].mode = kModeKeyboard;
        configuration.channels[5].steps = 1;
    });
    EXPECT_EQ(write(), TransferResult::Success);
    EXPECT_EQ(read(), TransferResult::Success);

    QStringList expected;
    for (const QString verb : {"Writing", "Reading"}) {
        const auto progress = [&verb](const char *configuration, const char *data) {
            return verb + " configuration - " + configuration + "\r\n" + verb + " data - " + data;
        };
        for (const char *header : {"0%", "17%", "33%", "50%", "67%", "83%"})
            expected << progress(header, "0%");
        for (const char *data : {"0%", "25%", "50%", "75%", "100%"})
            expected << progress("100%", data);
    }
    EXPECT_EQ(view.statusTexts, expected);
}

TEST_F(TransferTest, RejectedImageLeavesTheModel)
{
    editConfiguration(model, [](Configuration &configuration) { configuration.powerOnDelay = 3; });
    const ConfigImage before = encodeImage(model);
    devices.device(0).memory[80 + 64] = 7; // no such steps code

    EXPECT_EQ(read(), TransferResult::InvalidConfiguration);
    EXPECT_EQ(encodeImage(model), before);
    EXPECT_EQ(view.events, kFailureEvents);
    EXPECT_EQ(view.messages, std::vector{message("Invalid configuration", true)});
}

// A device that cannot be opened fails either direction before any exchange, saying why.
TEST_F(TransferTest, UnavailableDeviceFailsBeforeAnyExchange)
{
    devices.setPresent(1, false);
    select(1);
    EXPECT_EQ(read(), TransferResult::NotFound);
    devices.device(0).openRefusal = hid::kInUse;
    select(0);
    EXPECT_EQ(write(), TransferResult::NotFound);

    EXPECT_EQ(view.messages,
              (std::vector{message("The ORVEX (2) was not found", true),
                           message("The ORVEX (1) is in use by another program", true)}));
    EXPECT_EQ(view.events, kFailureEvents + kFailureEvents);
    EXPECT_TRUE(transfers().empty());
}

// Cancel at the question about unsaved changes stops the read before the device is touched.
TEST_F(TransferTest, CancelAtTheUnsavedChangesQuestionStopsTheRead)
{
    ScriptedPrompts prompts;
    prompts.saveChangesAnswers = {SaveChangesAnswer::Cancel};
    FileCommands files(model, prompts);
    makeUnsavedChange(model);
    attach();
    EXPECT_EQ(read(&files), TransferResult::Cancelled);
    EXPECT_EQ(prompts.questions.size(), 1U);
    EXPECT_TRUE(devices.log().empty());
    EXPECT_TRUE(view.events.isEmpty());
}

// While a transfer runs the window goes on: ticks asked for meanwhile touch no device, a second
// transfer is refused, and the polls stay paused until the window has shown the outcome.
// Afterwards only a viewed device gets its polling handle back, as a searching link opens its
// own.
TEST_F(TransferTest, NothingElseTouchesTheDeviceDuringATransfer)
{
    bool refused = true;
    view.onStatus = [&] {
        link.pollDevice();
        link.waitForDeviceTick();
        refused = refused && transfer.readFromDevice(nullptr) == TransferResult::Busy &&
                  transfer.writeToDevice() == TransferResult::Busy;
    };
    view.onMessage = [&] {
        link.pollDevice();
        link.waitForDeviceTick();
        link.waitUntilIdle(); // the ticks have run, with the outcome on show
    };
    for (bool viewing : {false, true}) {
        SCOPED_TRACE(viewing ? "viewing" : "searching");
        if (viewing)
            attach();
        devices.clearLog();
        EXPECT_EQ(read(), TransferResult::Success);
        EXPECT_EQ(write(), TransferResult::Success);
        link.waitUntilIdle();
        const std::vector<VirtualExchange> moved = transfers();
        EXPECT_EQ(moved.size(), 2U * (6 * 6 + 1 + 6 * 16) + 4);
        EXPECT_TRUE(std::ranges::all_of(moved, [](const VirtualExchange &exchange) {
            return exchange.request[2] < 0x20; // configuration memory only: no poll
        }));
        EXPECT_EQ(link.isViewing(), viewing);
        EXPECT_EQ(devices.openHandleCount(), viewing ? 1 : 0);
    }
    EXPECT_TRUE(refused);
    EXPECT_EQ(view.messages.size(), 4U);
    EXPECT_FALSE(link.isTransferRunning());
}

} // namespace
} // namespace orvex::testing
