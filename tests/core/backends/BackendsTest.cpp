// The other device access layers: the in-process virtual devices, the emulator's client against
// a hand-driven server on a real socket, and the device locks over any layer.

#include "Printers.h"
#include "core/access/DeviceProtocol.h"
#include "core/backends/DeviceAccessFactory.h"
#include "core/backends/emulator/EmulatorDeviceAccess.h"
#include "core/backends/emulator/EmulatorSocketPath.h"
#include "core/backends/locking/DeviceLock.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/link/DeviceTransport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace orvex {
namespace {

HidStatus exchange(DeviceAccess &access, HidHandle handle, const HidReport &request)
{
    HidReport reply{};
    return access.WriteHidDevice(handle, request, reply);
}

// Listens on a socket file; answer() accepts the next connection in the background and sends
// it every reply at once, as a server would that had read the requests already.
class ScriptedServer
{
public:
    explicit ScriptedServer(const QString &path)
    {
        sockaddr_un address{AF_UNIX, {}};
        std::ranges::copy(QFile::encodeName(path), address.sun_path);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 4);
    }
    ~ScriptedServer() { hangUp(SHUT_RDWR); }

    void answer(const QByteArray &replies)
    {
        hangUp(-1); // the last answer is out
        m_thread = std::thread([this, replies] {
            m_connection = ::accept(m_listener, nullptr, nullptr);
            ::send(m_connection, replies.constData(), replies.size(), MSG_NOSIGNAL);
        });
    }

    // SHUT_WR: the client still gets its request out, then finds the end of the stream;
    // SHUT_RDWR: the server is gone.
    void hangUp(int how)
    {
        if (m_thread.joinable())
            m_thread.join();
        ::shutdown(m_connection, how);
    }

    // Everything the client has sent on the last connection.
    QByteArray received()
    {
        hangUp(-1);
        char all[4096];
        return QByteArray(all, std::max(0L, ::recv(m_connection, all, sizeof all, MSG_DONTWAIT)));
    }

private:
    int m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int m_connection = -1;
    std::thread m_thread;
};

class EmulatorClientTest : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    const QString path = folder.filePath("scripted.sock");
    ScriptedServer server{path};
    EmulatorDeviceAccess access{path};
    HidHandle handle = kClosedHandle, refused = kClosedHandle;
    HidReport reply{};
};

// Replies may come in pieces or run on into the next; a request is one line in the protocol's
// words, and every reply is taken apart into the status it stands for.
TEST_F(EmulatorClientTest, SpeaksTheLineProtocol)
{
    server.answer("OK 7\nOK 01822001FE00\nERR 5\nBAD x\nERR 0\nOK 01822001fe0g\nOK\nERR 2\nOK "
                  "0\nOKAY\nOK 04" +
                  QByteArray(4091, 'x') + "\nOK\n");
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kSuccess);
    EXPECT_EQ(access.WriteHidDevice(handle, readRequest(0x2000), reply), hid::kSuccess);
    EXPECT_EQ(access.WriteHidDevice(handle, writeRequest(0x1FE, 0x52), reply), hid::kTimeout);
    for (int address : {1, 2, 3})
        EXPECT_EQ(access.WriteHidDevice(handle, readRequest(address), reply), hid::kIoError);
    EXPECT_EQ(reply, (HidReport{1, 0x82, 0x20, 0x01, 0xFE, 0}));
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6149"), hid::kSuccess);
    EXPECT_EQ(access.OpenHidDevice(0x6149, 6, 6, refused), hid::kAccessDenied);
    for (int invalidReply : {0, 1, 2}) // "OK 0", "OKAY", and "OK 04" with 4091 × "x"
        EXPECT_EQ(access.OpenHidDevice(0x6149, 6, 6, refused), hid::kIoError) << invalidReply;
    // Refused here, without a word to the server.
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 8, refused), hid::kBadArgument);
    for (const char *word : {"", "a b", "\x7f", static_cast<const char *>(nullptr)})
        EXPECT_EQ(access.RestartHidDevice(word), hid::kBadArgument);
    EXPECT_EQ(exchange(access, refused, readRequest(0)), hid::kBadHandle);
    EXPECT_EQ(access.CloseHidDevice(handle), hid::kSuccess);
    EXPECT_EQ(server.received(),
              "OPEN 6148\nXFER 7 018220000000\nXFER 7 018101fe5200\nXFER 7 018200010000\n"
              "XFER 7 018200020000\nXFER 7 018200030000\nRESTART vid_04b4&pid_6149\n"
              "OPEN 6149\nOPEN 6149\nOPEN 6149\nOPEN 6149\nCLOSE 7\n");
}

// A connection that fails is dropped, so that a late reply is never taken for the next one, and
// its handles fail without a word: a new emulator knows none of them.  No emulator means no
// device; one that never answers, a time-out.
TEST_F(EmulatorClientTest, ConnectionsThatFailAreDroppedWithTheirHandles)
{
    server.answer("OK 1\n" + QByteArray(EmulatorClient::kMaxReplyLength + 1, 'x') + "\nOK\n");
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, refused), hid::kSuccess);
    EXPECT_EQ(exchange(access, refused, readRequest(0)), hid::kIoError); // an overlong reply
    server.answer("OK 1\nOK par");
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, refused), hid::kSuccess);
    server.hangUp(SHUT_RDWR); // the server went away mid-reply: no SIGPIPE, and a new one
    EXPECT_EQ(exchange(access, refused, readRequest(0)), hid::kIoError);
    server.answer("OK 1\nOK 018200000000\n");
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kSuccess);
    EXPECT_EQ(exchange(access, refused, readRequest(0)), hid::kIoError);
    EXPECT_EQ(access.CloseHidDevice(refused), hid::kSuccess);
    EXPECT_EQ(exchange(access, handle, readRequest(0)), hid::kSuccess);
    EXPECT_EQ(server.received(), "OPEN 6148\nXFER 1 018200000000\n");
    const int anHour = 3'600'000; // a refused connection fails at once, not when the time is up
    EXPECT_EQ(
        EmulatorDeviceAccess("/nonexistent/a.sock", anHour).OpenHidDevice(0x6148, 6, 6, refused),
        hid::kNotPresent);
    EXPECT_EQ(EmulatorDeviceAccess(path, 200).OpenHidDevice(0x6148, 6, 6, refused), hid::kTimeout);
}

// sun_path holds 108 bytes: a path of 107 and its terminating NUL is reached, and one byte more
// is refused without a connection, even where something listens.  A failed attempt leaves
// nothing behind.
TEST(EmulatorClient, ReachesTheLongestSocketPathThatFitsWithItsEnd)
{
    QTemporaryDir folder;
    constexpr qsizetype kRoom = sizeof(sockaddr_un::sun_path);
    for (const qsizetype length : {kRoom - 1, kRoom}) {
        const QString path =
            folder.path() + '/' + QString(length - folder.path().size() - 1, QLatin1Char('x'));
        ASSERT_EQ(QFile::encodeName(path).size(), length);
        ScriptedServer server(path);
        EXPECT_EQ(EmulatorClient(path).ensureConnected(), length < kRoom) << length;
        EXPECT_EQ(emulatorIsListening(path), length < kRoom);
    }
    // A client that found no emulator connects to one that starts later.
    const QString later = folder.filePath("later.sock");
    EmulatorClient client(later);
    EXPECT_FALSE(client.ensureConnected());
    ScriptedServer server(later);
    EXPECT_TRUE(client.ensureConnected());
    EXPECT_EQ(client.connectionNumber(), 1);
}

// Without a runtime folder the socket goes into a folder of this user's own under the temporary
// folder, which must be nobody else's to enter.
TEST(EmulatorSocketPath, TheFallbackFolderIsMadePrivateAndCheckedBeforeUse)
{
    QTemporaryDir temporary;
    qputenv("TMPDIR", temporary.path().toUtf8()); // each test runs in a process of its own
    qunsetenv("XDG_RUNTIME_DIR");
    const QString folder = temporary.filePath(QStringLiteral("orvex-emulator-%1").arg(::getuid()));
    const QByteArray native = QFile::encodeName(folder);
    EXPECT_EQ(defaultEmulatorSocketPath(), folder + "/orvex-emulator.sock");
    QString error;
    // clang-format off
    const std::pair<std::function<void()>, bool> cases[] = {
        {[] {}, true},
        {[&] { ::mkdir(native, 0700); }, true},
        {[&] { ::mkdir(native, 0750); }, false},
        {[&] { ::close(::creat(native, 0600)); }, false},
        {[&] { QFile::link(temporary.path(), folder); }, false},
        // given to another user, which only root can do; anyone else keeps a folder of their own
        {[&] { ::mkdir(native, 0700), void(::chown(native, 1, 1)); }, ::geteuid() != 0}};
    // clang-format on
    for (const auto &[make, accepted] : cases) {
        QFile::remove(folder);
        QDir(folder).removeRecursively();
        make();
        error.clear();
        EXPECT_EQ(prepareSocketFolder(defaultEmulatorSocketPath(), &error), accepted);
        EXPECT_EQ(error, accepted ? QString() : folder + " is not a private folder of this user");
        EXPECT_TRUE(!accepted || QFile::permissions(folder).toInt() == 0x7700);
    }
    EXPECT_TRUE(prepareSocketFolder(temporary.filePath("elsewhere.sock"), &error)); // not checked
    ASSERT_TRUE(QFile(temporary.filePath("file")).open(QIODevice::WriteOnly));
    qputenv("TMPDIR", QFile::encodeName(temporary.filePath("file"))); // no folder can be made in it
    EXPECT_FALSE(prepareSocketFolder(defaultEmulatorSocketPath(), &error));
    EXPECT_TRUE(error.startsWith("Cannot create "));
    qputenv("TMPDIR",
            QFile::encodeName(temporary.filePath("missing"))); // not the file system's root
    const QString fallback =
        QStringLiteral("/tmp/orvex-emulator-%1/orvex-emulator.sock").arg(::getuid());
    EXPECT_EQ(defaultEmulatorSocketPath(), fallback);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temporary.filePath("file"))); // not a folder
    EXPECT_EQ(defaultEmulatorSocketPath(), fallback);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temporary.path()));
    EXPECT_EQ(defaultEmulatorSocketPath(), temporary.filePath("orvex-emulator.sock"));
}

// Two DeviceLocks on one folder stand for two programs: a flock belongs to an open file
// description, so they exclude each other even inside one process.
TEST(DeviceLocks, ExcludeOtherProgramsNameTheHolderAndCountTheHoldsOfOne)
{
    QTemporaryDir runtime;
    const QString folder = runtime.filePath("orvex/emulator-1");
    DeviceLocks ours{folder}, theirs{folder};
    ASSERT_EQ(ours.acquire(0x6148), LockResult::Acquired);
    EXPECT_EQ(ours.acquire(0x6148), LockResult::Acquired); // the process's second hold
    EXPECT_EQ(theirs.acquire(0x6148), LockResult::HeldElsewhere);
    const QString us = QString::fromLocal8Bit(program_invocation_short_name) +
                       QStringLiteral(" (PID %1)").arg(::getpid());
    EXPECT_EQ(theirs.holderDescription(0x6148), us);
    ours.release(0x6148);
    EXPECT_EQ(theirs.acquire(0x6148), LockResult::HeldElsewhere);
    ours.release(0x6148);
    EXPECT_EQ(ours.holderDescription(0x6148), QString()); // the file stays, naming nobody
    for (int holder = 0; holder < 2; ++holder)            // and a lock goes with its holder
        EXPECT_EQ(DeviceLock(ours.lockPath(0x6148)).tryAcquire(), LockResult::Acquired);

    // A layer under the locks: another program's lock fails opens and restarts unheard.
    auto &devices = *new VirtualDeviceAccess;
    LockingDeviceAccess access{std::unique_ptr<DeviceAccess>(&devices), ours};
    HidHandle handle = kClosedHandle, polling = 0, transfer = 0, unknown = 42;
    ASSERT_EQ(theirs.acquire(0x6148), LockResult::Acquired);
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kInUse);
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6148"), hid::kInUse);
    EXPECT_TRUE(devices.log().empty() && access.holderOf(0x6148) == us);
    EXPECT_EQ(access.RestartHidDevice("vid_1234&pid_6148"), hid::kBadArgument); // no ORVEX
    theirs.release(0x6148);
    access.OpenHidDevice(0x6148, 6, 6, polling);
    access.OpenHidDevice(0x6148, 6, 6, transfer);
    devices.setPresent(0, false);
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle) + access.CloseHidDevice(unknown),
              hid::kNotPresent + hid::kBadHandle);
    EXPECT_EQ(ours.holdCount(0x6148), 2);
    HidHandle staleCopy = transfer;
    access.CloseHidDevice(transfer);
    access.CloseHidDevice(staleCopy); // closed already: gives back nothing more
    EXPECT_EQ(theirs.acquire(0x6148), LockResult::HeldElsewhere);
    access.CloseHidDevice(polling);
    EXPECT_EQ(theirs.acquire(0x6148), LockResult::Acquired);
    theirs.release(0x6148);
    LockingDeviceAccess(std::make_unique<VirtualDeviceAccess>(), ours)
        .OpenHidDevice(0x6148, 6, 6, handle);
    EXPECT_EQ(ours.holdCount(0x6148), 0); // given back with its layer

    // A planted symbolic link is not followed; without a lock the device is still usable.
    ASSERT_TRUE(QFile::link(runtime.filePath("victim"), ours.lockPath(0x6149)));
    EXPECT_EQ(access.OpenHidDevice(0x6149, 6, 6, handle), hid::kSuccess);
    EXPECT_FALSE(QFileInfo::exists(runtime.filePath("victim")));
}

// An animated device's inputs are the demo waves at the time they are read, by its clock; the
// others keep what they were given.
// Programs on the same devices share one window in a desktop session: the real devices, or one
// emulator's socket however its path is spelled.  A simulation is every program's own.
TEST(DeviceOptionsTest, ProgramsOnTheSameDevicesShareAKey)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    ASSERT_TRUE(QFile::link(dir.filePath("sub"), dir.filePath("link")));
    ASSERT_TRUE(QFile(dir.filePath("sub/emulator.sock")).open(QIODevice::WriteOnly));
    const auto key = [](const QString &emulator) {
        return sharedDevicesKey({.simulate = false, .emulatorPath = emulator});
    };
    EXPECT_EQ(key({}), "usb");
    EXPECT_EQ(sharedDevicesKey({.simulate = true, .emulatorPath = {}}), std::nullopt);
    EXPECT_EQ(key(dir.filePath("sub/emulator.sock")),
              key(dir.filePath("link/../sub/emulator.sock")));
    EXPECT_EQ(key(dir.filePath("sub/emulator.sock")), key(dir.filePath("link/emulator.sock")));
    EXPECT_NE(key(dir.filePath("sub/emulator.sock")), key(dir.filePath("sub/other.sock")));
    EXPECT_TRUE(key(dir.filePath("x"))->startsWith("emulator-"));
}

TEST(VirtualDevices, AnAnimatedDeviceReadsTheWavesByItsClock)
{
    VirtualDeviceAccess devices;
    devices.device(0).animated = true;
    devices.device(1).liveValues = {1, 2, 3, 4, 5, 6};
    std::int64_t now = 0;
    devices.setClock([&now] { return now; });
    DeviceTransport transport{devices};
    const auto read = [&transport](int device) {
        HidHandle handle = kClosedHandle;
        LiveValues values{};
        transport.openDevice(handle, device);
        EXPECT_EQ(transport.readLiveValues(handle, values), hid::kSuccess);
        transport.closeDevice(handle);
        return values;
    };
    for (now = 0; now < 20'000; now += 2'500)
        EXPECT_EQ(read(0), animatedLiveValues(now / 10)) << now;
    EXPECT_NE(animatedLiveValues(0), animatedLiveValues(100)); // they move
    EXPECT_EQ(read(1), (LiveValues{1, 2, 3, 4, 5, 6}));
}

// A device plugged out and in again is a new device: a handle of before stays useless.
TEST(VirtualDevices, AHandleDoesNotOutliveItsDevicesUnplugging)
{
    VirtualDeviceAccess devices;
    DeviceTransport transport{devices};
    HidHandle handle = kClosedHandle;
    ASSERT_EQ(transport.openDevice(handle, 0), hid::kSuccess);
    devices.setPresent(0, false);
    devices.setPresent(0, true);
    EXPECT_NE(transport.writeDeviceByte(handle, 0, 1), hid::kSuccess);
    EXPECT_EQ(devices.device(0).memory[0], VirtualDevice().memory[0]);
}

} // namespace
} // namespace orvex
