// The link over the real hidapi backend and a scripted composite Device 1 whose replies come
// late or never: transfers store and read the device's bytes as long as each reply comes within
// the time-out, and fail past it with the messages of any failed transfer.  An exchange in
// flight holds up nothing on the window thread: what is asked meanwhile waits for its turn on
// the device thread, and a device unplugged meanwhile is lost as always.

#include "LinkTest.h"
#include "ScriptedHidPlatform.h"

#include <QSignalSpy>

namespace orvex::testing {
namespace {

using enum InterfaceKind;
constexpr std::optional<int> kNever;

// A distinctive configuration, so that a read that brings the default back does not pass.
Configuration distinctive()
{
    Configuration configuration = defaultConfiguration();
    configuration.powerOnDelay = 7;
    configuration.channels[2].steps = 5;
    configuration.channels[2].keys.fill(0x2C);
    configuration.channels[4].hysteresis = 2;
    return configuration;
}

struct LateDevice
{
    explicit LateDevice(std::optional<int> replyDelayMs = 0)
    {
        model.resetSettings();
        script.node(Vendor).replyDelayMs = replyDelayMs;
    }

    TransferResult read()
    {
        return settled(runToEnd(transfer, [this] { return transfer.readFromDevice(nullptr); }));
    }
    TransferResult write()
    {
        return settled(runToEnd(transfer, [this] { return transfer.writeToDevice(); }));
    }
    TransferResult settled(TransferResult result)
    {
        link.waitUntilIdle();
        return result;
    }

    // Holds the device thread in a read of the vendor interface, after `passing` others.
    void holdRead(int passing = 0) { script.holdRead(passing); }
    void awaitHeld() { ASSERT_TRUE(script.waitUntilHeld()); }

    int ensured = (ensureApplication(), 0);
    std::pair<std::unique_ptr<HidapiDeviceAccess>, ScriptedHidPlatform *> made =
        ScriptedHidPlatform::device1();
    ScriptedHidPlatform &script = *made.second;
    std::unique_ptr<HidapiDeviceAccess> access = std::move(made.first);
    ConfigModel model;
    DeviceLink link{*access, model};
    RecordingTransferView view;
    ConfigTransfer transfer{link, model, view};
};

TEST(LateDevice, TransfersTakeLateRepliesUpToTheTimeOutAndFailPastIt)
{
    const int timeout = HidapiDeviceAccess::kReplyTimeoutMs;
    for (const std::optional<int> delay : {std::optional(0), std::optional(25), std::optional(120),
                                           std::optional(600), std::optional(timeout), kNever}) {
        SCOPED_TRACE(delay ? *delay : -1);
        LateDevice late(delay);
        editConfiguration(late.model, [](Configuration &c) { c = distinctive(); });
        const bool inTime = delay.has_value();
        EXPECT_EQ(late.write(), inTime ? TransferResult::Success : TransferResult::WriteError);
        const ConfigImage &memory = late.script.device.device(0).memory;
        EXPECT_EQ(decodeConfiguration(memory) == distinctive(), inTime);
        EXPECT_EQ(memory[510] == 'R' && memory[511] == '4', inTime);

        late.model.resetSettings();
        EXPECT_EQ(late.read(), inTime ? TransferResult::Success : TransferResult::ReadError);
        EXPECT_EQ(late.model.configuration() == distinctive(), inTime);
        EXPECT_EQ(late.view.messages.back().text,
                  inTime ? QString("The configuration was successfully read from the device")
                         : QString("Error while reading from the ORVEX (1)"));
        EXPECT_EQ(late.script.node(Vendor).openConnections, 0);
    }
}

// The device goes while a poll waits for its reply: it is lost and searched for; while a write
// is half done: the write fails with the device's signature cleared.
TEST(LateDevice, UnpluggedWhileAnExchangeIsInFlight)
{
    LateDevice late;
    late.link.waitForDeviceTick();
    late.link.waitUntilIdle();
    late.holdRead();
    late.link.pollDevice();
    late.awaitHeld();
    EXPECT_TRUE(late.link.isViewing());
    late.script.change([](ScriptedHidPlatform &s) { s.node(Vendor).unplugged = true; });
    late.script.release();
    late.link.waitUntilIdle();
    EXPECT_EQ(late.link.state(), (LinkState{false, 0}));
    EXPECT_EQ(late.link.sample(), LiveSample{});
    EXPECT_EQ(late.script.node(Vendor).openConnections, 0);

    LateDevice writing;
    writing.holdRead(200);
    QSignalSpy finished(&writing.transfer, &ConfigTransfer::finished);
    EXPECT_FALSE(writing.transfer.writeToDevice());
    writing.awaitHeld();
    writing.script.change([](ScriptedHidPlatform &s) { s.node(Vendor).unplugged = true; });
    writing.script.release();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.at(0).at(0).value<TransferResult>(), TransferResult::WriteError);
    EXPECT_EQ(writing.view.messages.back().text, "Error while writing to the ORVEX (1)");
    EXPECT_EQ(writing.script.device.device(0).memory[510], 0);
}

// While a poll waits for its reply, the window chooses the other device, starts a transfer and
// ends the program: each call returns at once, and the device thread takes them in turn once
// the poll is over, the poll's two requests first.
TEST(LateDevice, WhatTheWindowAsksDuringAPollWaitsForItsTurn)
{
    LateDevice late;
    late.script.addComposite({Keyboard, Vendor}, 0x6149, "usb1/1-2");
    late.link.waitForDeviceTick();
    late.link.waitUntilIdle();
    const auto requestsOf = [&late](int which) {
        std::vector<int> commands;
        for (const Report &request : late.script.node(Vendor, which).written)
            commands.push_back(request[2] * 256 + request[3]);
        return commands;
    };
    const std::vector<int> attach = requestsOf(0);
    late.holdRead();
    late.link.pollDevice();
    late.awaitHeld();

    late.link.selectDevice(1);
    EXPECT_FALSE(late.transfer.writeToDevice());
    late.link.releaseDevices();
    EXPECT_TRUE(late.link.isViewing()); // nothing has changed yet
    QSignalSpy finished(&late.transfer, &ConfigTransfer::finished);
    QSignalSpy released(&late.link, &DeviceLink::released);
    late.script.release();
    ASSERT_TRUE(finished.wait(5000));
    late.link.waitUntilIdle();
    ASSERT_EQ(released.size(), 1);

    std::vector<int> device1 = requestsOf(0);
    device1.erase(device1.begin(), device1.begin() + static_cast<long>(attach.size()));
    EXPECT_EQ(device1, (std::vector<int>{0x2000, 0x2001, 0x2000})); // poll, release
    const std::vector<int> device2 = requestsOf(1);
    ASSERT_GT(device2.size(), 2U);
    EXPECT_EQ(std::vector<int>(device2.begin(), device2.begin() + 2),
              (std::vector<int>{510, 511})); // the write went to Device 2
    EXPECT_EQ(late.script.resets, (std::vector<UsbId>{{0x04B4, 0x6149}}));
}

} // namespace
} // namespace orvex::testing
