// Every exchange of a full read and a full write of the largest configuration, failed in turn
// and with the device unplugged in turn, on both devices: each fault ends the transfer at once
// with its message and costs nothing, and the link carries on or finds the device again.

#include "LinkTest.h"
#include "core/config/ConfigImage.h"

#include <tuple>

namespace orvex::testing {
namespace {

// A read moves 36 header bytes, the delay and 6 x 64 section-pair bytes; a write adds the two
// signature clears before and the two signature bytes after.
constexpr int kFullReadExchanges = 6 * 6 + 1 + 6 * 64;
constexpr int kFullWriteExchanges = 2 + kFullReadExchanges + 2;

// Six channels of 32 steps with a key in every step.
Configuration largestConfiguration()
{
    Configuration configuration = defaultConfiguration();
    for (ChannelSettings &channel : configuration.channels) {
        channel.steps = 5;
        channel.mode = kModeBoth;
        channel.keys.fill(0x2C);
    }
    return configuration;
}

// One device, the device unplugged at the exchange rather than the exchange failing, a write
// rather than a read.
using SweepCase = std::tuple<int, bool, bool>;

class FaultSweep : public LinkTest, public ::testing::WithParamInterface<SweepCase>
{
protected:
    // Only the device under test is plugged in, so that a lost device can only come back as
    // itself.
    void SetUp() override
    {
        devices.setPresent(1 - number(), false);
        link.setEveryPollAnnounced(true); // a poll that reads the device is heard of
        select(number());
        attach();
    }

    int number() const { return std::get<0>(GetParam()); }
    bool unplugs() const { return std::get<1>(GetParam()); }
    bool writes() const { return std::get<2>(GetParam()); }

    // Starts the transfer with a fault at its exchange `index`; true when the fault hit it,
    // which then ended the transfer at once with its error.
    bool failsAt(int index)
    {
        view = RecordingTransferView{};
        const int first = devices.exchangeCount();
        if (unplugs())
            devices.unplugAtExchange(first + index, number());
        else
            devices.failExchange(first + index);
        const TransferResult result = writes() ? write() : read();
        devices.clearFaults();
        if (result == TransferResult::Success)
            return false;
        EXPECT_EQ(devices.exchangeCount() - first, index + 1);
        EXPECT_EQ(view.events, (QStringList{"show", "hide", "message"}));
        const UserMessage message{QStringLiteral("Error while %1 the ORVEX (%2)")
                                      .arg(writes() ? "writing to" : "reading from")
                                      .arg(number() + 1),
                                  QStringLiteral("ORVEX Configuration Utility"),
                                  MessageIcon::Critical};
        EXPECT_EQ(view.messages, std::vector{message});
        EXPECT_FALSE(link.isTransferRunning());
        return true;
    }

    // Polling carries on with the device, or the next poll loses the unplugged one and a search
    // finds it again once it is back.
    void expectPollingRecovers()
    {
        recorder.calls.clear();
        poll();
        if (!unplugs()) {
            EXPECT_EQ(recorder.calls, QStringList{"sample"});
            return;
        }
        EXPECT_EQ(recorder.calls, QStringList{QStringLiteral("searching %1").arg(number() + 1)});
        EXPECT_EQ(link.sample(), LiveSample{});
        EXPECT_EQ(devices.openHandleCount(), 0);
        devices.setPresent(number(), true);
        searchTick();
        EXPECT_EQ(link.state(), (LinkState{true, number()}));
        EXPECT_EQ(devices.openHandleCount(), 1);
    }
};

// A failed read keeps every unsaved change of the model.  Once its first exchange is through, a
// failed write leaves no signature behind, so the device never looks configured with a part of
// a configuration.  The first transfer that no fault hits moves everything.
TEST_P(FaultSweep, EveryFailedExchangeEndsTheTransferAndCostsNothing)
{
    const ConfigImage largest = encodeImage(largestConfiguration());
    ConfigImage &memory = devices.device(number()).memory;
    if (writes())
        model.replaceConfiguration(largestConfiguration());
    else
        memory = largest;
    makeUnsavedChange(model);
    const ConfigImage modelBefore = encodeImage(model);
    const ConfigImage memoryBefore = memory;

    int index = 0;
    for (; index <= kFullWriteExchanges && failsAt(index); ++index) {
        EXPECT_EQ(encodeImage(model), modelBefore);
        EXPECT_TRUE(model.configChanged());
        if (index == 0 || !writes())
            EXPECT_EQ(memory, memoryBefore);
        else
            EXPECT_FALSE(memory[510] == 'R' && memory[511] == '4'); // the signature
        EXPECT_FALSE(link.wasWritten(number()));
        expectPollingRecovers();
        memory = memoryBefore;
        if (HasFailure())
            FAIL() << "at exchange " << index;
    }
    EXPECT_EQ(index, writes() ? kFullWriteExchanges : kFullReadExchanges);
    EXPECT_EQ(encodeImage(model), largest);
    EXPECT_EQ(memory[510] == 'R' && memory[511] == '4', writes());
    EXPECT_EQ(link.wasWritten(number()), writes());
}

std::string sweepName(const ::testing::TestParamInfo<SweepCase> &info)
{
    const auto &[number, unplug, write] = info.param;
    return std::string(write ? "Write" : "Read") + "_Device" + std::to_string(number + 1) +
           (unplug ? "_Unplugged" : "_FailedExchange");
}

INSTANTIATE_TEST_SUITE_P(Transfers, FaultSweep,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Bool(),
                                            ::testing::Bool()),
                         sweepName);

} // namespace
} // namespace orvex::testing
