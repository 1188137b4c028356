// Every exchange of a full read and a full write of the largest configuration, failed in turn
// and with the device unplugged in turn, on both devices.

#include "ReliabilitySupport.h"
#include "core/config/ConfigImage.h"

#include <gtest/gtest.h>

namespace orvex::reliability {
namespace {

// A read moves 36 header bytes, the delay and 6 x 64 section-pair bytes; a write adds the two
// signature clears before and the two signature bytes after.
constexpr int kFullReadExchanges = 6 * 6 + 1 + 6 * 64;
constexpr int kFullWriteExchanges = 2 + kFullReadExchanges + 2;

enum class Fault { FailedExchange, Unplugged };

struct SweepCase
{
    int deviceNumber;
    Fault fault;
};

std::string caseName(const ::testing::TestParamInfo<SweepCase> &info)
{
    return "Device" + std::to_string(info.param.deviceNumber + 1) +
           (info.param.fault == Fault::FailedExchange ? "_FailedExchange" : "_Unplugged");
}

bool hasSignature(const ConfigImage &memory)
{
    return memory[image::kSignatureAddress] == 'R' && memory[image::kSignatureAddress + 1] == '4';
}

class FaultSweep : public ::testing::TestWithParam<SweepCase>
{
protected:
    int deviceNumber() const { return GetParam().deviceNumber; }
    QString label() const { return QString::number(deviceNumber() + 1); }

    // A program viewing the device under test; only that device is plugged in, so that a lost
    // device can only come back as itself.
    void viewDevice(Link &link)
    {
        link.devices.setPresent(1 - deviceNumber(), false);
        link.link.selectDevice(deviceNumber());
        link.link.waitForDeviceTick();
        ASSERT_TRUE(link.link.isViewing());
        ASSERT_EQ(link.devices.openHandleCount(), 1);
    }

    // The fault at exchange `index` of the transfer that starts next.
    void injectFault(Link &link, int index)
    {
        const int at = link.devices.exchangeCount() + index;
        if (GetParam().fault == Fault::FailedExchange)
            link.devices.failExchange(at);
        else
            link.devices.unplugAtExchange(at, deviceNumber());
    }

    // After the failed transfer: polling goes on with the device, or searches for it when it
    // was unplugged, and finds it again once it is back.
    void expectPollingRecovers(Link &link)
    {
        const bool unplugged = GetParam().fault == Fault::Unplugged;
        EXPECT_EQ(link.devices.openHandleCount(), unplugged ? 0 : 1);
        EXPECT_EQ(link.link.isPollingHandleOpen(), !unplugged);

        const int drawsBefore = link.statusLog.draws;
        link.link.pollDevice();
        if (!unplugged) {
            EXPECT_TRUE(link.link.isViewing());
            EXPECT_EQ(link.statusLog.draws, drawsBefore + 1);
            return;
        }
        EXPECT_FALSE(link.link.isViewing());
        EXPECT_EQ(link.statusLog.status, kSearchingText);
        EXPECT_TRUE(link.statusLog.waitTimerEnabled);
        EXPECT_EQ(link.devices.openHandleCount(), 0);

        link.devices.setPresent(deviceNumber(), true);
        link.link.waitForDeviceTick();
        EXPECT_TRUE(link.link.isViewing());
        EXPECT_EQ(link.statusLog.status, viewingText(deviceNumber()));
        EXPECT_EQ(link.devices.openHandleCount(), 1);
    }
};

TEST_P(FaultSweep, EveryFailedReadExchangeKeepsTheModel)
{
    for (int index = 0; index < kFullReadExchanges; ++index) {
        SCOPED_TRACE("exchange " + std::to_string(index));
        Link link;
        ConfigModel largest;
        loadLargestConfiguration(largest);
        link.devices.device(deviceNumber()).memory = encodeImage(largest);
        testing::editConfiguration(
            link.model, [](Configuration &configuration) { configuration.powerOnDelay = 3; });
        testing::makeUnsavedChange(link.model);
        const auto channelsBefore = link.model.channels();
        viewDevice(link);

        injectFault(link, index);
        const int exchangesBefore = link.devices.exchangeCount();
        EXPECT_EQ(link.transfer.readFromDevice(nullptr), TransferResult::ReadError);

        EXPECT_LE(link.devices.exchangeCount() - exchangesBefore, kFullReadExchanges);
        ASSERT_EQ(link.messageLog.messages.size(), 1U);
        EXPECT_EQ(link.messageLog.messages.front(),
                  (UserMessage{"Error while reading from the ORVEX (" + label() + ")",
                               kMainWindowTitle, MessageIcon::Critical}));
        EXPECT_FALSE(link.messageLog.statusShown);
        EXPECT_EQ(link.model.channels(), channelsBefore);
        EXPECT_EQ(link.model.powerOnDelay(), 3);
        EXPECT_TRUE(link.model.configChanged());
        expectPollingRecovers(link);
        if (HasFailure())
            return; // one index's story is enough
    }
}

TEST_P(FaultSweep, EveryFailedWriteExchangeLeavesTheSignatureCleared)
{
    for (int index = 0; index < kFullWriteExchanges; ++index) {
        SCOPED_TRACE("exchange " + std::to_string(index));
        Link link;
        loadLargestConfiguration(link.model);
        const ConfigImage memoryBefore = link.devices.device(deviceNumber()).memory;
        ASSERT_TRUE(hasSignature(memoryBefore));
        viewDevice(link);

        injectFault(link, index);
        EXPECT_EQ(link.transfer.writeToDevice(), TransferResult::WriteError);

        ASSERT_EQ(link.messageLog.messages.size(), 1U);
        EXPECT_EQ(link.messageLog.messages.front(),
                  (UserMessage{"Error while writing to the ORVEX (" + label() + ")",
                               kMainWindowTitle, MessageIcon::Critical}));
        EXPECT_FALSE(link.link.wasWritten(deviceNumber()));
        const ConfigImage &memory = link.devices.device(deviceNumber()).memory;
        // Only a write whose very first exchange failed leaves the device as it was.
        if (index == 0)
            EXPECT_EQ(memory, memoryBefore);
        else
            EXPECT_FALSE(hasSignature(memory));
        expectPollingRecovers(link);

        // A complete write afterwards stores the configuration and the signature again.
        link.devices.clearFaults();
        link.messageLog.messages.clear();
        EXPECT_EQ(link.transfer.writeToDevice(), TransferResult::Success);
        EXPECT_TRUE(hasSignature(memory));
        EXPECT_EQ(link.devices.openHandleCount(), 1);
        if (HasFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(BothDevices, FaultSweep,
                         ::testing::Values(SweepCase{0, Fault::FailedExchange},
                                           SweepCase{0, Fault::Unplugged},
                                           SweepCase{1, Fault::FailedExchange},
                                           SweepCase{1, Fault::Unplugged}),
                         caseName);

// The sweeps above only prove something if a clean transfer uses exactly that many exchanges.
TEST(FaultSweepBaseline, FullTransfersUseTheSweptExchangeCounts)
{
    Link link;
    loadLargestConfiguration(link.model);
    link.link.waitForDeviceTick();

    int before = link.devices.exchangeCount();
    ASSERT_EQ(link.transfer.writeToDevice(), TransferResult::Success);
    EXPECT_EQ(link.devices.exchangeCount() - before, kFullWriteExchanges);

    const auto written = link.model.channels();
    link.model.resetSettings();
    before = link.devices.exchangeCount();
    ASSERT_EQ(link.transfer.readFromDevice(nullptr), TransferResult::Success);
    EXPECT_EQ(link.devices.exchangeCount() - before, kFullReadExchanges);
    EXPECT_EQ(link.model.channels(), written);
}

} // namespace
} // namespace orvex::reliability
