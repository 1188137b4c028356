#include "core/backends/DeviceAccessFactory.h"
#include "core/backends/emulator/EmulatorDeviceAccess.h"
#include "core/backends/emulator/EmulatorWire.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"
#include "core/backends/locking/DeviceLock.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/link/DeviceTransport.h"

#include <QCommandLineParser>
#include <QDir>
#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(EmulatorReplyParsing, TakesRepliesApart)
{
    EXPECT_EQ(parseEmulatorReply("OK").kind, EmulatorReply::Kind::Ok);
    EXPECT_EQ(parseEmulatorReply("OK 12").value, "12");
    const EmulatorReply error = parseEmulatorReply("ERR 4");
    EXPECT_EQ(error.kind, EmulatorReply::Kind::Error);
    EXPECT_EQ(error.status, hid::kIoError);
    EXPECT_EQ(parseEmulatorReply("ERR 2").status, hid::kAccessDenied);
    EXPECT_EQ(parseEmulatorReply("BAD unknown command").kind, EmulatorReply::Kind::Bad);
    for (const char *invalid : {"", "ERR 0", "ERR x", "OKAY", "ok 1"})
        EXPECT_EQ(parseEmulatorReply(invalid).kind, EmulatorReply::Kind::Invalid) << invalid;
}

std::optional<DeviceOptions> parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    addDeviceOptions(parser);
    EXPECT_TRUE(parser.parse(QStringList{QStringLiteral("orvex")} + arguments));
    return readDeviceOptions(parser, error);
}

TEST(DeviceOptions, ReadsSimulateAndEmulatorAndRefusesBoth)
{
    QString error;
    const auto none = parse({}, &error);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->simulate);
    EXPECT_FALSE(none->usesEmulator());

    const auto simulate = parse({"--simulate"}, &error);
    ASSERT_TRUE(simulate);
    EXPECT_TRUE(simulate->simulate);

    const auto emulator = parse({"--emulator", "/run/x.sock"}, &error);
    ASSERT_TRUE(emulator);
    EXPECT_EQ(emulator->emulatorPath, "/run/x.sock");

    const auto relative = parse({"--emulator", "emu.sock"}, &error);
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->emulatorPath, QDir::current().absoluteFilePath("emu.sock"));

    EXPECT_FALSE(parse({"--simulate", "--emulator", "/run/x.sock"}, &error));
    EXPECT_TRUE(error.contains("--simulate"));
    EXPECT_FALSE(parse({"--emulator", ""}, &error));
}

TEST(DeviceOptions, CreatesTheChosenBackend)
{
    const auto simulated = createDeviceAccess(DeviceOptions{true, {}});
    auto *devices = dynamic_cast<VirtualDeviceAccess *>(simulated.get());
    ASSERT_NE(devices, nullptr);
    EXPECT_TRUE(devices->device(0).present);
    EXPECT_TRUE(devices->device(0).animated);
    EXPECT_FALSE(devices->device(1).present);
    // Its inputs are on the waves from the first read, rather than at all zeros.
    DeviceTransport transport(*devices);
    HidHandle handle = kClosedHandle;
    ASSERT_EQ(transport.openDevice(handle, 0), hid::kSuccess);
    LiveValues values{};
    ASSERT_EQ(transport.readLiveValues(handle, values), hid::kSuccess);
    transport.closeDevice(handle);
    EXPECT_NE(values, LiveValues{});

    // Devices other programs can reach are used under the per-device lock.
    const auto client = createDeviceAccess(DeviceOptions{false, "/nonexistent/orvex.sock"});
    auto *locked = dynamic_cast<LockingDeviceAccess *>(client.get());
    ASSERT_NE(locked, nullptr);
    auto *emulator = dynamic_cast<EmulatorDeviceAccess *>(&locked->inner());
    ASSERT_NE(emulator, nullptr);
    EXPECT_EQ(emulator->socketPath(), "/nonexistent/orvex.sock");

    const auto real = createDeviceAccess({});
    auto *lockedReal = dynamic_cast<LockingDeviceAccess *>(real.get());
    ASSERT_NE(lockedReal, nullptr);
    EXPECT_NE(dynamic_cast<HidapiDeviceAccess *>(&lockedReal->inner()), nullptr);
}

} // namespace
} // namespace orvex
