#include "LinkFixture.h"
#include "core/config/ConfigImage.h"

#include <utility>

namespace orvex::testing {
namespace {

using Kind = VirtualExchange::Kind;

const QString kReadSuccess =
    QStringLiteral("The configuration was successfully read from the device");
const QString kWriteSuccess =
    QStringLiteral("The configuration was successfully saved to the device");

// Channel 1: 2 steps (4 section bytes); channel 2: Directional (4); channel 3: joystick only,
// so no keyboard steps (0); channels 4-6: the default 8 steps (16 each).  56 section bytes.
void makeMixedConfiguration(ConfigModel &model)
{
    Configuration mixed = defaultConfiguration();
    ChannelSettings &first = mixed.channels[0];
    first.steps = 1;
    first.keys = {0x04, 0x05};
    first.keyOperators = {0, kOperatorShift};
    ChannelSettings &second = mixed.channels[1];
    second.steps = kDirectionalSteps;
    second.keys = {0x52, 0x51};
    second.repeat = 1;
    mixed.channels[2].mode = kModeJoystick;
    mixed.channels[3].keys[7] = 0x2C;
    mixed.channels[3].hysteresis = 2;
    mixed.powerOnDelay = 5;
    model.replaceConfiguration(mixed);
}

constexpr int kMixedSectionBytes = 56;
constexpr int kMixedReadExchanges = 6 * 6 + 1 + kMixedSectionBytes;
constexpr int kMixedWriteExchanges = 2 + 6 * 6 + 1 + kMixedSectionBytes + 2;

// Device addresses of the mixed configuration, in the order they move.
std::vector<int> mixedHeaderAddresses()
{
    std::vector<int> addresses;
    for (int block : {0, 80, 160, 240, 320, 400})
        for (int offset = 64; offset <= 69; ++offset)
            addresses.push_back(block + offset);
    return addresses;
}

std::vector<int> mixedSectionAddresses()
{
    std::vector<int> addresses;
    for (auto [start, count] : {std::pair{0, 4}, {80, 4}, {240, 16}, {320, 16}, {400, 16}})
        for (int offset = 0; offset < count; ++offset)
            addresses.push_back(start + offset);
    return addresses;
}

ConfigImage deviceMemoryOf(void (*configure)(ConfigModel &))
{
    ConfigModel source;
    configure(source);
    ConfigImage memory = encodeImage(source);
    memory[510] = 'R';
    memory[511] = '4';
    return memory;
}

UserMessage errorMessage(const QString &text)
{
    return {text, kMainWindowTitle, MessageIcon::Critical};
}

UserMessage successMessage(const QString &text)
{
    return {text, QStringLiteral("ORVEX"), MessageIcon::None};
}

QString progress(const QString &verb, const QString &configuration, const QString &data)
{
    return verb + " configuration - " + configuration + "\r\n" + verb + " data - " + data;
}

// The progress of a transfer of one channel of two steps (four section bytes): the six channel
// headers, then the section bytes.
QStringList oneTwoStepChannelProgress(const QString &verb)
{
    QStringList texts;
    for (const char *header : {"0%", "17%", "33%", "50%", "67%", "83%"})
        texts << progress(verb, header, "0%");
    for (const char *data : {"0%", "25%", "50%", "75%", "100%"})
        texts << progress(verb, "100%", data);
    return texts;
}

const QStringList kFailureEvents = {"show", "hide", "message"};
const QStringList kSuccessEvents = {"show", "hide", "events", "message"};

TEST(PercentText, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(ConfigTransfer::percentText(0, 6), "0%");
    EXPECT_EQ(ConfigTransfer::percentText(1, 6), "17%");
    EXPECT_EQ(ConfigTransfer::percentText(2, 6), "33%");
    EXPECT_EQ(ConfigTransfer::percentText(5, 6), "83%");
    EXPECT_EQ(ConfigTransfer::percentText(1, 8), "13%");
    EXPECT_EQ(ConfigTransfer::percentText(3, 8), "38%");
    EXPECT_EQ(ConfigTransfer::percentText(1, 200), "1%");
    EXPECT_EQ(ConfigTransfer::percentText(383, 384), "100%");
    EXPECT_EQ(ConfigTransfer::percentText(4, 4), "100%");
}

class TransferTest : public LinkTest
{
protected:
    std::vector<HidReport> requests() const
    {
        std::vector<HidReport> result;
        for (const VirtualExchange &exchange : transfers())
            result.push_back(exchange.request);
        return result;
    }

    std::vector<Kind> kinds() const
    {
        std::vector<Kind> result;
        for (const VirtualExchange &exchange : device.log())
            result.push_back(exchange.kind);
        return result;
    }
};

// Reading ---------------------------------------------------------------------------------------

TEST_F(TransferTest, ReadMovesHeadersDelayThenSectionsOnePrivateHandle)
{
    device.device(0).memory = deviceMemoryOf(makeMixedConfiguration);
    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::Success);

    std::vector<HidReport> expected;
    for (int address : mixedHeaderAddresses())
        expected.push_back(readRequest(address));
    expected.push_back(readRequest(508));
    for (int address : mixedSectionAddresses())
        expected.push_back(readRequest(address));
    EXPECT_EQ(requests(), expected);
    EXPECT_EQ(static_cast<int>(expected.size()), kMixedReadExchanges);

    const std::vector<Kind> &log = kinds();
    EXPECT_EQ(log.front(), Kind::Open);
    EXPECT_EQ(log.back(), Kind::Close);
    EXPECT_EQ(device.openHandleCount(), 0);

    ConfigModel mixed;
    makeMixedConfiguration(mixed);
    EXPECT_EQ(encodeImage(model), encodeImage(mixed));
    EXPECT_EQ(model.hysteresisThreshold(3), 16);
    EXPECT_EQ(transferView.events, kSuccessEvents);
    EXPECT_EQ(transferView.messages, std::vector{successMessage(kReadSuccess)});
}

TEST_F(TransferTest, ReadProgressCountsChannelsThenSectionBytes)
{
    ConfigImage memory{};
    memory[64] = 1; // one channel of 2 steps: four section bytes
    device.device(0).memory = memory;
    transfer.readFromDevice(nullptr);

    EXPECT_EQ(transferView.statusTexts, oneTwoStepChannelProgress("Reading"));
}

TEST_F(TransferTest, BlankDeviceIsReadWithThirtySevenRequests)
{
    device.device(0).memory = ConfigImage{};
    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::Success);
    EXPECT_EQ(transfers().size(), 37u);
    EXPECT_EQ(transferView.statusTexts.size(), 7);
    EXPECT_EQ(transferView.statusTexts.last(), progress("Reading", "100%", "100%"));
}

TEST_F(TransferTest, RejectedImageLeavesTheModel)
{
    ConfigImage memory = deviceMemoryOf(makeMixedConfiguration);
    memory[80 + 64] = 7; // no such steps code
    device.device(0).memory = memory;
    const ConfigImage before = encodeImage(model);

    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::InvalidConfiguration);
    EXPECT_EQ(encodeImage(model), before);
    EXPECT_EQ(transferView.events, kFailureEvents);
    EXPECT_EQ(transferView.messages,
              std::vector{errorMessage(QStringLiteral("Invalid configuration"))});
    EXPECT_EQ(device.openHandleCount(), 0);
}

TEST_F(TransferTest, AbsentDeviceIsNotFoundForEitherDirection)
{
    device.setPresent(1, false);
    link.selectDevice(1);
    const ConfigImage before = device.device(1).memory;

    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::NotFound);
    EXPECT_EQ(transfer.writeToDevice(), TransferResult::NotFound);

    const UserMessage notFound = errorMessage(QStringLiteral("The ORVEX (2) was not found"));
    EXPECT_EQ(transferView.messages, (std::vector{notFound, notFound}));
    EXPECT_EQ(transferView.events, kFailureEvents + kFailureEvents);
    EXPECT_TRUE(transfers().empty());
    EXPECT_EQ(device.device(1).memory, before);
    EXPECT_FALSE(link.wasWritten(1));
}

class ReadFailureTest : public TransferTest, public ::testing::WithParamInterface<int>
{
};

// The first failed exchange ends the read: with the device gone, every further one would only
// wait for its time-out.
TEST_P(ReadFailureTest, StopsAtOnceAndKeepsTheModel)
{
    device.device(0).memory = deviceMemoryOf(makeMixedConfiguration);
    editChannel(model, 4, [](ChannelSettings &channel) { channel.keys[0] = 0x1E; });
    makeUnsavedChange(model);
    const ConfigImage before = encodeImage(model);
    device.failExchange(device.exchangeCount() + GetParam());

    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::ReadError);

    EXPECT_EQ(static_cast<int>(transfers().size()), GetParam() + 1);
    EXPECT_EQ(encodeImage(model), before);
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(transferView.events, kFailureEvents);
    EXPECT_EQ(transferView.messages,
              std::vector{errorMessage(QStringLiteral("Error while reading from the ORVEX (1)"))});
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_FALSE(link.isTransferRunning());
}

INSTANTIATE_TEST_SUITE_P(EveryExchange, ReadFailureTest, ::testing::Range(0, kMixedReadExchanges));

TEST_F(TransferTest, NextReadClearsAnEarlierReadError)
{
    device.failExchange(device.exchangeCount());
    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::ReadError);
    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::Success);
    EXPECT_FALSE(transport.deviceError);
}

// Writing ---------------------------------------------------------------------------------------

TEST_F(TransferTest, WriteClearsSignatureMovesConfigurationThenSignsLast)
{
    makeMixedConfiguration(model);
    const ConfigImage image = encodeImage(model);
    device.device(0).memory[75] = 0xEE; // reserved bytes are never written

    EXPECT_EQ(transfer.writeToDevice(), TransferResult::Success);

    std::vector<HidReport> expected = {writeRequest(510, 0), writeRequest(511, 0)};
    for (int address : mixedHeaderAddresses())
        expected.push_back(writeRequest(address, image[address]));
    expected.push_back(writeRequest(508, 5));
    for (int address : mixedSectionAddresses())
        expected.push_back(writeRequest(address, image[address]));
    expected.push_back(writeRequest(510, 'R'));
    expected.push_back(writeRequest(511, '4'));
    EXPECT_EQ(requests(), expected);
    EXPECT_EQ(static_cast<int>(expected.size()), kMixedWriteExchanges);

    const ConfigImage &memory = device.device(0).memory;
    EXPECT_EQ(memory[510], 'R');
    EXPECT_EQ(memory[511], '4');
    EXPECT_EQ(memory[75], 0xEE);
    EXPECT_TRUE(link.wasWritten(0));
    EXPECT_FALSE(link.wasWritten(1));
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_EQ(transferView.events, kSuccessEvents);
    EXPECT_EQ(transferView.messages, std::vector{successMessage(kWriteSuccess)});
}

TEST_F(TransferTest, WriteProgressCountsChannelsThenSectionBytes)
{
    editConfiguration(model, [](Configuration &configuration) {
        for (ChannelSettings &channel : configuration.channels)
            channel.mode = kModeNone;
        configuration.channels[5].mode = kModeKeyboard;
        configuration.channels[5].steps = 1;
    });
    transfer.writeToDevice();

    EXPECT_EQ(transferView.statusTexts, oneTwoStepChannelProgress("Writing"));
    EXPECT_EQ(transfers().size(), 2u + 36u + 1u + 4u + 2u);
}

class WriteFailureTest : public TransferTest, public ::testing::WithParamInterface<int>
{
};

// Every write is acknowledged or the whole write fails: no lost byte can end in a success.
TEST_P(WriteFailureTest, StopsAtOnceAndNeverSigns)
{
    makeMixedConfiguration(model);
    const ConfigImage before = device.device(0).memory;
    device.failExchange(device.exchangeCount() + GetParam());

    EXPECT_EQ(transfer.writeToDevice(), TransferResult::WriteError);

    EXPECT_EQ(static_cast<int>(transfers().size()), GetParam() + 1);
    const ConfigImage &memory = device.device(0).memory;
    if (GetParam() == 0)
        EXPECT_EQ(memory, before); // nothing was changed, so the old signature still holds
    else
        EXPECT_FALSE(memory[510] == 'R' && memory[511] == '4');
    EXPECT_FALSE(link.wasWritten(0));
    EXPECT_EQ(transferView.events, kFailureEvents);
    EXPECT_EQ(transferView.messages,
              std::vector{errorMessage(QStringLiteral("Error while writing to the ORVEX (1)"))});
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_FALSE(link.isTransferRunning());
}

INSTANTIATE_TEST_SUITE_P(EveryExchange, WriteFailureTest,
                         ::testing::Range(0, kMixedWriteExchanges));

TEST_F(TransferTest, UnpluggedWriteLeavesNoSignatureUntilAFullWrite)
{
    makeMixedConfiguration(model);
    device.unplugAtExchange(device.exchangeCount() + 50, 0);
    EXPECT_EQ(transfer.writeToDevice(), TransferResult::WriteError);
    EXPECT_EQ(device.device(0).memory[510], 0);
    EXPECT_EQ(device.device(0).memory[511], 0);

    device.clearFaults();
    device.setPresent(0, true);
    EXPECT_EQ(transfer.writeToDevice(), TransferResult::Success);
    EXPECT_EQ(device.device(0).memory[510], 'R');
    EXPECT_EQ(device.device(0).memory[511], '4');
    EXPECT_TRUE(link.wasWritten(0));
}

// The handlers around the transfers --------------------------------------------------------------

TEST_F(TransferTest, ConfigChangedSurvivesReadAndWrite)
{
    for (bool changed : {true, false}) {
        if (changed)
            makeUnsavedChange(model);
        else
            model.markUnchanged();
        EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::Success);
        EXPECT_EQ(model.configChanged(), changed);
        EXPECT_EQ(transfer.writeToDevice(), TransferResult::Success);
        EXPECT_EQ(model.configChanged(), changed);
    }
}

TEST_F(TransferTest, CancelAtTheSavePromptLeavesEverything)
{
    ScriptedPrompts prompts;
    FileCommands files(model, prompts);
    makeMixedConfiguration(model);
    makeUnsavedChange(model);
    const ConfigImage before = encodeImage(model);
    attach();

    EXPECT_EQ(transfer.readFromDevice(&files), TransferResult::Cancelled);
    EXPECT_EQ(prompts.questions, 1);
    EXPECT_TRUE(device.log().empty());
    EXPECT_TRUE(transferView.events.isEmpty());
    EXPECT_EQ(encodeImage(model), before);
    EXPECT_TRUE(model.configChanged());
    EXPECT_TRUE(link.isViewing());
    EXPECT_TRUE(link.isPollingHandleOpen());
}

TEST_F(TransferTest, DecliningToSaveGoesOnWithTheRead)
{
    ScriptedPrompts prompts;
    prompts.answer = SaveChangesAnswer::No;
    FileCommands files(model, prompts);
    makeUnsavedChange(model);
    EXPECT_EQ(transfer.readFromDevice(&files), TransferResult::Success);
    EXPECT_EQ(prompts.questions, 1);
}

TEST_F(TransferTest, ViewedDeviceGetsItsPollingHandleBack)
{
    attach();
    bool sawPause = false;
    transferView.onStatus = [&] {
        sawPause = link.isTransferRunning() && !link.isPollingHandleOpen();
    };

    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::Success);
    EXPECT_TRUE(sawPause);
    EXPECT_FALSE(link.isTransferRunning());
    EXPECT_TRUE(link.isPollingHandleOpen());
    EXPECT_EQ(device.openHandleCount(), 1);

    // Polling handle closed, private open ... private closed, polling handle opened again.
    const std::vector<VirtualExchange> &log = device.log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0].kind, Kind::Close);
    EXPECT_EQ(log[1].kind, Kind::Open);
    EXPECT_EQ(log[log.size() - 2].kind, Kind::Close);
    EXPECT_EQ(log.back().kind, Kind::Open);

    device.clearLog();
    EXPECT_EQ(transfer.writeToDevice(), TransferResult::Success);
    EXPECT_EQ(device.openHandleCount(), 1);
    link.pollDevice();
    EXPECT_TRUE(link.isViewing());
}

TEST_F(TransferTest, ViewedDeviceGoneAtTheTransferIsLostAtTheNextPoll)
{
    attach();
    device.setPresent(0, false);
    EXPECT_EQ(transfer.writeToDevice(), TransferResult::NotFound);
    EXPECT_EQ(device.openHandleCount(), 0);

    link.pollDevice();
    EXPECT_FALSE(link.isViewing());
    EXPECT_EQ(pollingView.calls.last(), QStringLiteral("waitTimer:on"));
}

TEST_F(TransferTest, UnviewedDeviceIsNotReopened)
{
    EXPECT_EQ(transfer.writeToDevice(), TransferResult::Success);
    EXPECT_EQ(device.log().front().kind, Kind::Open);
    EXPECT_EQ(device.log().back().kind, Kind::Close);
    EXPECT_FALSE(link.isPollingHandleOpen());
    EXPECT_EQ(device.openHandleCount(), 0);
}

TEST_F(TransferTest, TimerTicksDuringATransferStayAwayFromTheDevice)
{
    attach();
    int exchangesInTicks = 0;
    transferView.onStatus = [&] {
        const std::size_t before = device.log().size();
        link.pollDevice();
        link.waitForDeviceTick();
        exchangesInTicks += static_cast<int>(device.log().size() - before);
    };
    EXPECT_EQ(transfer.writeToDevice(), TransferResult::Success);
    EXPECT_EQ(exchangesInTicks, 0);
    EXPECT_EQ(device.openHandleCount(), 1);
}

TEST_F(TransferTest, DeviceLostBeforeATransferIsSearchedForAgainNotReopened)
{
    attach();
    device.setPresent(0, false);
    transferView.onStatus = [&] {
        link.waitForDeviceTick();
    };
    link.pollDevice(); // the loss: nothing is viewed any more
    device.setPresent(0, true);

    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::Success);
    EXPECT_FALSE(link.isViewing());
    EXPECT_EQ(device.openHandleCount(), 0);

    link.waitForDeviceTick();
    EXPECT_TRUE(link.isViewing());
    EXPECT_EQ(device.openHandleCount(), 1);
}

TEST_F(TransferTest, SecondTransferWhileOneRunsIsRefused)
{
    std::vector<TransferResult> nested;
    transferView.onStatus = [&] {
        if (nested.empty()) {
            nested.push_back(transfer.readFromDevice(nullptr));
            nested.push_back(transfer.writeToDevice());
        }
    };
    EXPECT_EQ(transfer.readFromDevice(nullptr), TransferResult::Success);
    EXPECT_EQ(nested, (std::vector{TransferResult::Busy, TransferResult::Busy}));
    EXPECT_EQ(static_cast<int>(transfers().size()), 6 * 6 + 1 + 6 * 16);
    EXPECT_EQ(transferView.messages.size(), 1u);
}

} // namespace
} // namespace orvex::testing
