// Exclusive device access: the per-device lock files and the locking device access layer.

#include "core/backends/locking/DeviceLock.h"

#include "core/link/DeviceMessages.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvex {
namespace {

constexpr std::uint16_t kDevice1 = kProductIds[0];
constexpr std::uint16_t kDevice2 = kProductIds[1];

QString ourDescription()
{
    return QStringLiteral("%1 (PID %2)")
        .arg(QString::fromLocal8Bit(program_invocation_short_name))
        .arg(::getpid());
}

// Separate DeviceLocks objects on one folder stand for separate programs: a flock belongs to
// an open file description, so two of them exclude each other even inside one process.
class DeviceLockTest : public ::testing::Test
{
protected:
    QString folder() const { return m_runtime.filePath(QStringLiteral("orvex")); }

    QTemporaryDir m_runtime;
    DeviceLocks ours{folder()};
    DeviceLocks theirs{folder()};
    VirtualDeviceAccess *devices = new VirtualDeviceAccess;
    LockingDeviceAccess access{std::unique_ptr<DeviceAccess>(devices), ours};
};

TEST_F(DeviceLockTest, LockFileLivesInAPrivateRuntimeFolderAndNamesItsHolder)
{
    ASSERT_EQ(ours.acquire(kDevice1), LockResult::Acquired);
    EXPECT_EQ(ours.lockPath(kDevice1), folder() + "/device-6148.lock");

    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(folder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700U);
    ASSERT_EQ(::stat(QFile::encodeName(ours.lockPath(kDevice1)).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0U);

    EXPECT_EQ(theirs.holderDescription(kDevice1), ourDescription());
    EXPECT_EQ(theirs.holderDescription(kDevice2), QString());
    ours.release(kDevice1);
    // The file stays behind, but it names nobody once the lock is gone.
    EXPECT_EQ(theirs.holderDescription(kDevice1), QString());
}

TEST_F(DeviceLockTest, AnotherProgramsLockFailsTheOpenWithoutTouchingTheDevice)
{
    ASSERT_EQ(theirs.acquire(kDevice1), LockResult::Acquired);

    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 6, handle), hid::kInUse);
    EXPECT_EQ(handle, kClosedHandle);
    EXPECT_TRUE(devices->log().empty());
    EXPECT_EQ(access.holderOf(kDevice1), ourDescription());
    EXPECT_EQ(ours.holdCount(kDevice1), 0);

    // The other device is not theirs.
    EXPECT_EQ(access.OpenHidDevice(kDevice2, 6, 6, handle), hid::kSuccess);
    access.CloseHidDevice(handle);

    theirs.release(kDevice1);
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 6, handle), hid::kSuccess);
    access.CloseHidDevice(handle);
}

TEST_F(DeviceLockTest, OpensWithinTheProgramCountAndTheLastCloseReleases)
{
    HidHandle polling = kClosedHandle;
    HidHandle transfer = kClosedHandle;
    ASSERT_EQ(access.OpenHidDevice(kDevice1, 6, 6, polling), hid::kSuccess);
    ASSERT_EQ(access.OpenHidDevice(kDevice1, 6, 6, transfer), hid::kSuccess);
    EXPECT_EQ(ours.holdCount(kDevice1), 2);

    HidReport reply{};
    EXPECT_EQ(access.WriteHidDevice(transfer, {1, 0x82, 0, 0, 0, 0}, reply), hid::kSuccess);

    access.CloseHidDevice(transfer);
    EXPECT_EQ(theirs.acquire(kDevice1), LockResult::HeldElsewhere);
    access.CloseHidDevice(polling);
    EXPECT_EQ(ours.holdCount(kDevice1), 0);
    EXPECT_EQ(theirs.acquire(kDevice1), LockResult::Acquired);
}

TEST_F(DeviceLockTest, FailedOpensAndUnknownHandlesHoldNothing)
{
    devices->setPresent(0, false);
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 6, handle), hid::kNotPresent);
    EXPECT_EQ(ours.holdCount(kDevice1), 0);

    HidHandle stranger = 42;
    EXPECT_EQ(access.CloseHidDevice(stranger), hid::kBadHandle);
    EXPECT_EQ(ours.holdCount(kDevice1), 0);
    EXPECT_EQ(theirs.acquire(kDevice1), LockResult::Acquired);
}

TEST_F(DeviceLockTest, RestartSparesADeviceInUse)
{
    ASSERT_EQ(theirs.acquire(kDevice2), LockResult::Acquired);
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6149"), hid::kInUse);
    EXPECT_EQ(devices->device(1).restartCount, 0);

    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6148"), hid::kSuccess);
    EXPECT_EQ(devices->device(0).restartCount, 1);
    EXPECT_EQ(ours.holdCount(kDevice1), 0);
}

TEST_F(DeviceLockTest, HandlesLeftOpenAreGivenBackWithTheLayer)
{
    {
        LockingDeviceAccess shortLived(std::make_unique<VirtualDeviceAccess>(), ours);
        HidHandle handle = kClosedHandle;
        ASSERT_EQ(shortLived.OpenHidDevice(kDevice1, 6, 6, handle), hid::kSuccess);
    }
    EXPECT_EQ(ours.holdCount(kDevice1), 0);
    EXPECT_EQ(theirs.acquire(kDevice1), LockResult::Acquired);
}

TEST_F(DeviceLockTest, APlantedSymlinkIsNotFollowed)
{
    ASSERT_TRUE(QDir().mkpath(folder()));
    const QString target = m_runtime.filePath(QStringLiteral("victim"));
    ASSERT_TRUE(QFile::link(target, ours.lockPath(kDevice1)));
    // No lock file can be had, and the device is still usable rather than locked away.
    EXPECT_EQ(ours.acquire(kDevice1), LockResult::Unavailable);
    EXPECT_FALSE(QFileInfo::exists(target));
    ours.release(kDevice1);
}

TEST(DeviceLockMessage, NamesTheDeviceAndTheHolder)
{
    EXPECT_EQ(
        deviceInUseText(0, QStringLiteral("orvex-config (PID 1234)")),
        QStringLiteral("The ORVEX (1) is in use by another program: orvex-config (PID 1234)"));
    EXPECT_EQ(deviceInUseText(1, {}), QStringLiteral("The ORVEX (2) is in use by another program"));
}

// A real second process holds the lock, and its end, however abrupt, releases it.
TEST(DeviceLockProcesses, AChildHolderIsNamedAndItsExitReleasesTheLock)
{
    QTemporaryDir runtime;
    const QString folder = runtime.filePath(QStringLiteral("orvex"));
    int ready[2];
    int finish[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(finish), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DeviceLocks childLocks(folder);
        const char result = childLocks.acquire(kDevice1) == LockResult::Acquired ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &result, 1);
        char go = 0;
        n = ::read(finish[0], &go, 1);
        ::_exit(0); // no destructors: the kernel alone releases the lock, as after a crash
    }

    char result = 0;
    ASSERT_EQ(::read(ready[0], &result, 1), 1);
    ASSERT_EQ(result, 'y');

    DeviceLocks parentLocks(folder);
    auto *devices = new VirtualDeviceAccess;
    LockingDeviceAccess access(std::unique_ptr<DeviceAccess>(devices), parentLocks);
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 6, handle), hid::kInUse);
    EXPECT_TRUE(devices->log().empty());
    EXPECT_EQ(access.holderOf(kDevice1),
              QStringLiteral("%1 (PID %2)")
                  .arg(QString::fromLocal8Bit(program_invocation_short_name))
                  .arg(child));

    ASSERT_EQ(::write(finish[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(access.OpenHidDevice(kDevice1, 6, 6, handle), hid::kSuccess);
    access.CloseHidDevice(handle);
    for (int fd : {ready[0], ready[1], finish[0], finish[1]})
        ::close(fd);
}

} // namespace
} // namespace orvex

namespace orvex {
namespace {

TEST(DeviceLockFolders, EachEmulatorHasItsOwnLocksAndEachFolderOneCounter)
{
    const QString first = emulatorLockFolder(QStringLiteral("/run/user/1000/a.sock"));
    EXPECT_TRUE(first.startsWith(defaultDeviceLockFolder() + "/emulator-"));
    EXPECT_NE(first, emulatorLockFolder(QStringLiteral("/run/user/1000/b.sock")));
    EXPECT_EQ(first, emulatorLockFolder(QStringLiteral("/run/user/1000/./a.sock")));
    EXPECT_EQ(&DeviceLocks::shared(first), &DeviceLocks::shared(first));
    EXPECT_NE(&DeviceLocks::shared(first), &DeviceLocks::shared(defaultDeviceLockFolder()));
}

TEST(DeviceLockFolders, MissingParentsAreMadePrivate)
{
    QTemporaryDir runtime;
    const QString nested = runtime.filePath(QStringLiteral("orvex/emulator-0123"));
    DeviceLocks locks(nested);
    ASSERT_EQ(locks.acquire(kProductIds[0]), LockResult::Acquired);
    for (const QString &folder : {runtime.filePath(QStringLiteral("orvex")), nested}) {
        struct stat info
        {
        };
        ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700U) << folder.toStdString();
    }
    locks.release(kProductIds[0]);
}

TEST(DeviceLockFolders, HolderOfAnyLayerIsFoundThroughTheInterface)
{
    QTemporaryDir runtime;
    DeviceLocks ours(runtime.path());
    DeviceLocks theirs(runtime.path());
    LockingDeviceAccess locking(std::make_unique<VirtualDeviceAccess>(), ours);
    VirtualDeviceAccess plain;
    ASSERT_EQ(theirs.acquire(kProductIds[0]), LockResult::Acquired);
    const DeviceAccess &lockingLayer = locking;
    const DeviceAccess &plainLayer = plain;
    EXPECT_FALSE(lockingLayer.holderOf(kProductIds[0]).isEmpty());
    EXPECT_TRUE(plainLayer.holderOf(kProductIds[0]).isEmpty());
}

} // namespace
} // namespace orvex
