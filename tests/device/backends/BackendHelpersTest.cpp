#include "device/backends/DeviceAccessFactory.h"
#include "device/backends/DeviceLock.h"
#include "device/backends/EmulatorDeviceAccess.h"
#include "device/backends/HidapiDeviceAccess.h"
#include "device/backends/HidapiSupport.h"
#include "device/backends/VirtualDeviceAccess.h"

#include <QCommandLineParser>
#include <QDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(HidapiSupport, OpenFailuresTellPermissionFromAbsenceAndBusy)
{
    EXPECT_EQ(hidapi::openFailureStatus(EACCES, 0), hid::kAccessDenied);
    EXPECT_EQ(hidapi::openFailureStatus(0, EPERM), hid::kAccessDenied);
    EXPECT_EQ(hidapi::openFailureStatus(0, EBUSY), hid::kInUse);
    EXPECT_EQ(hidapi::openFailureStatus(ENOENT, ENOENT), hid::kNotPresent);
    EXPECT_EQ(hidapi::openFailureStatus(0, ENODEV), hid::kNotPresent);
    EXPECT_EQ(hidapi::openFailureStatus(0, 0), hid::kIoError);
    // The node's own permissions decide over whatever hidapi left in errno.
    EXPECT_EQ(hidapi::openFailureStatus(EACCES, ENOENT), hid::kAccessDenied);
}

TEST(HidapiSupport, ReadAndWriteResultsMapToStatuses)
{
    EXPECT_EQ(hidapi::writeResultStatus(6), hid::kSuccess);
    EXPECT_EQ(hidapi::writeResultStatus(5), hid::kIoError);
    EXPECT_EQ(hidapi::writeResultStatus(-1), hid::kIoError);
    EXPECT_EQ(hidapi::readResultStatus(0), hid::kTimeout);
    EXPECT_EQ(hidapi::readResultStatus(-1), hid::kIoError);
    EXPECT_EQ(hidapi::readResultStatus(6), hid::kSuccess);
}

TEST(HidapiSupport, FramesOnlyCompleteRepliesOfOurReport)
{
    HidReport reply{7, 7, 7, 7, 7, 7};
    const std::uint8_t shortReply[] = {1, 0x82, 0x20, 0x00, 5};
    const std::uint8_t foreign[] = {2, 0x82, 0x20, 0x00, 5, 0};
    EXPECT_FALSE(hidapi::frameReply(shortReply, reply));
    EXPECT_FALSE(hidapi::frameReply(foreign, reply));
    EXPECT_FALSE(hidapi::frameReply({}, reply));
    EXPECT_EQ(reply, (HidReport{7, 7, 7, 7, 7, 7}));

    const std::uint8_t padded[] = {1, 0x82, 10, 20, 30, 0, 0, 0};
    EXPECT_TRUE(hidapi::frameReply(padded, reply));
    EXPECT_EQ(reply, (HidReport{1, 0x82, 10, 20, 30, 0}));
    EXPECT_TRUE(hidapi::isOwnReport(padded));
    EXPECT_FALSE(hidapi::isOwnReport(foreign));
}

// This machine has no USB devices of ours: the hidapi backend must say so plainly.
TEST(HidapiDeviceAccess, ReportsAbsentDevicesAndRefusesBadArguments)
{
    HidapiDeviceAccess access;
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kNotPresent);
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 64, handle), hid::kBadArgument);
    EXPECT_EQ(handle, kClosedHandle);

    HidHandle unknown = 5;
    HidReport reply{};
    EXPECT_EQ(access.WriteHidDevice(unknown, HidReport{1, 0x82, 0, 0, 0, 0}, reply),
              hid::kBadHandle);
    EXPECT_EQ(access.CloseHidDevice(unknown), hid::kBadHandle);
    EXPECT_EQ(unknown, kClosedHandle);
    EXPECT_EQ(access.RestartHidDevice("not an id"), hid::kBadArgument);
    EXPECT_EQ(access.RestartHidDevice(nullptr), hid::kBadArgument);
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6148"), hid::kNotPresent);
}

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
    EXPECT_NE(devices->device(0).liveValues, (std::array<std::uint8_t, 6>{}));

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
