// The emulator over a real Unix-domain socket: an EmulatorServer runs in its own thread with
// its own event loop, and the tests talk to it the way the programs do.

#include "core/backends/emulator/EmulatorClient.h"
#include "core/backends/emulator/EmulatorDeviceAccess.h"
#include "programs/emulator/EmulatorServer.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvex {
namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "orvex_backends_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

// The emulator's server with its devices, living in a thread of its own until destroyed.
class ServerThread : public QThread
{
public:
    explicit ServerThread(QString path)
        : m_path(std::move(path))
    {}

    ~ServerThread() override { stop(); }

    bool startServing()
    {
        std::future<bool> listening = m_listening.get_future();
        start();
        return listening.get();
    }

    void stop()
    {
        quit();
        wait();
    }

    QString error;

protected:
    void run() override
    {
        VirtualDeviceAccess devices;
        EmulatorServer server(devices);
        const bool ok = server.listen(m_path, &error);
        m_listening.set_value(ok);
        if (ok)
            exec();
    }

private:
    QString m_path;
    std::promise<bool> m_listening;
};

class EmulatorSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApplication();
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(server.startServing()) << server.error.toStdString();
    }

    QByteArray control(const QByteArray &line)
    {
        return controller.roundTrip(line).value_or("<no reply>");
    }

    // The server handles each connection's end as an event of its own; ask until it has.
    bool handlesDropTo(int device, int count)
    {
        const QByteArray expected = "handles=" + QByteArray::number(count);
        const QDeadlineTimer deadline(10'000);
        while (!deadline.hasExpired()) {
            if (control("STATE " + QByteArray::number(device)).contains(expected))
                return true;
        }
        return false;
    }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("emulator.sock"));
    ServerThread server{path};
    EmulatorClient controller{path};
};

TEST_F(EmulatorSocketTest, ClientBackendOpensExchangesAndCloses)
{
    EmulatorDeviceAccess access(path);
    ASSERT_EQ(control("LIVE 1 10 20 30 40 50 60"), "OK");

    HidHandle handle = kClosedHandle;
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kSuccess);
    EXPECT_GT(handle, 0);
    HidReport reply{};
    ASSERT_EQ(access.WriteHidDevice(handle, HidReport{1, 0x82, 0x20, 0x01, 0, 0}, reply),
              hid::kSuccess);
    EXPECT_EQ(reply, (HidReport{1, 0x82, 40, 50, 60, 0}));
    ASSERT_EQ(access.WriteHidDevice(handle, HidReport{1, 0x81, 0x01, 0xFE, 0x00, 0}, reply),
              hid::kSuccess);
    EXPECT_EQ(control("DUMP 1").mid(3 + 2 * 510, 4), "0034");
    EXPECT_EQ(control("STATE 1").contains("handles=1"), true);

    EXPECT_EQ(access.CloseHidDevice(handle), hid::kSuccess);
    EXPECT_EQ(handle, kClosedHandle);
    EXPECT_TRUE(control("STATE 1").contains("handles=0"));
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6149"), hid::kSuccess);
    EXPECT_TRUE(control("STATE 2").contains("restarts=1"));
}

TEST_F(EmulatorSocketTest, ClientBackendHandsOnDeviceStatuses)
{
    EmulatorDeviceAccess access(path);
    HidHandle handle = kClosedHandle;
    ASSERT_EQ(control("UNPLUG 2"), "OK");
    EXPECT_EQ(access.OpenHidDevice(0x6149, 6, 6, handle), hid::kNotPresent);
    ASSERT_EQ(control("REFUSE 1 2"), "OK");
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kAccessDenied);
    EXPECT_EQ(handle, kClosedHandle);

    ASSERT_EQ(control("CLEARFAULTS"), "OK");
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kSuccess);
    ASSERT_EQ(control("FAIL 0 5"), "OK");
    HidReport reply{3, 3, 3, 3, 3, 3};
    EXPECT_EQ(access.WriteHidDevice(handle, HidReport{1, 0x82, 0, 0, 0, 0}, reply), hid::kTimeout);
    EXPECT_EQ(reply, (HidReport{3, 3, 3, 3, 3, 3}));
    ASSERT_EQ(control("UNPLUG 1"), "OK");
    EXPECT_EQ(access.WriteHidDevice(handle, HidReport{1, 0x82, 0, 0, 0, 0}, reply), hid::kIoError);
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6148 extra"), hid::kBadArgument);
}

TEST_F(EmulatorSocketTest, PipelinedMalformedAndOverlongLinesAreAnsweredInOrder)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write("garbage\n" + QByteArray(5000, 'x') + "\nOPEN 6148\nopen 61");
    socket.write("49\r\nXFER 1 018200000000\n");

    QList<QByteArray> replies;
    const QDeadlineTimer deadline(10'000);
    while (replies.size() < 5 && !deadline.hasExpired()) {
        if (!socket.canReadLine() && !socket.waitForReadyRead(1000))
            continue;
        while (socket.canReadLine())
            replies.append(socket.readLine().trimmed());
    }
    ASSERT_EQ(replies.size(), 5);
    EXPECT_TRUE(replies[0].startsWith("BAD "));
    EXPECT_EQ(replies[1], "BAD line too long");
    EXPECT_TRUE(replies[2].startsWith("OK "));
    EXPECT_TRUE(replies[3].startsWith("OK "));
    EXPECT_TRUE(replies[4] == "OK 018200000000" || replies[4] == "ERR 6");
}

TEST_F(EmulatorSocketTest, ClientThatDisconnectsMidSessionLeavesNoHandle)
{
    {
        EmulatorClient client(path);
        ASSERT_TRUE(client.roundTrip("OPEN 6148").value_or("").startsWith("OK "));
        ASSERT_TRUE(client.roundTrip("OPEN 6149").value_or("").startsWith("OK "));
        ASSERT_TRUE(control("STATE 1").contains("handles=1"));
        client.disconnect();
    }
    EXPECT_TRUE(handlesDropTo(1, 0));
    EXPECT_TRUE(handlesDropTo(2, 0));
}

TEST_F(EmulatorSocketTest, HandlesOfOtherConnectionsCannotBeUsed)
{
    EmulatorClient owner(path);
    const QByteArray opened = owner.roundTrip("OPEN 6148").value_or("");
    ASSERT_TRUE(opened.startsWith("OK "));
    const QByteArray handle = opened.mid(3);
    EXPECT_EQ(control("XFER " + handle + " 018200000000"), "ERR 6");
    EXPECT_EQ(control("CLOSE " + handle), "ERR 6");
    EXPECT_TRUE(control("STATE 1").contains("handles=1"));
}

TEST_F(EmulatorSocketTest, LostEmulatorFailsExchangesAndNewOneIsFoundAgain)
{
    EmulatorDeviceAccess access(path);
    HidHandle handle = kClosedHandle;
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kSuccess);
    controller.disconnect();
    server.stop();

    HidReport reply{};
    EXPECT_NE(access.WriteHidDevice(handle, HidReport{1, 0x82, 0, 0, 0, 0}, reply), hid::kSuccess);
    HidHandle other = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, other), hid::kNotPresent);

    ServerThread restarted(path);
    ASSERT_TRUE(restarted.startServing()) << restarted.error.toStdString();
    ASSERT_EQ(access.OpenHidDevice(0x6148, 6, 6, other), hid::kSuccess);
    // The old handle belonged to the old connection, whatever number the new server hands out.
    EXPECT_EQ(access.WriteHidDevice(handle, HidReport{1, 0x82, 0, 0, 0, 0}, reply), hid::kIoError);
    EXPECT_EQ(access.WriteHidDevice(other, HidReport{1, 0x82, 0, 0, 0, 0}, reply), hid::kSuccess);
    EXPECT_EQ(access.CloseHidDevice(handle), hid::kSuccess);
    EXPECT_EQ(access.CloseHidDevice(other), hid::kSuccess);
}

TEST(EmulatorSocket, UnreachableSocketMeansNoDevice)
{
    ensureApplication();
    EmulatorDeviceAccess access(QStringLiteral("/nonexistent/orvex-emulator.sock"));
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kNotPresent);
    EXPECT_EQ(access.OpenHidDevice(0x6149, 6, 6, handle), hid::kNotPresent);
    EXPECT_EQ(handle, kClosedHandle);
    EXPECT_EQ(access.RestartHidDevice("vid_04b4&pid_6148"), hid::kNotPresent);
    HidReport reply{};
    HidHandle unknown = 1;
    EXPECT_EQ(access.WriteHidDevice(unknown, reply, reply), hid::kBadHandle);
}

// A socket file whose server is gone, as a killed emulator leaves it.
void leaveStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::copy_n(native.constData(), native.size(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
}

TEST(EmulatorSocket, ReplacesStaleSocketButNotALiveServer)
{
    ensureApplication();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("emulator.sock"));
    leaveStaleSocket(path);
    ASSERT_TRUE(QFile::exists(path));

    ServerThread first(path);
    ASSERT_TRUE(first.startServing()) << first.error.toStdString();
    EXPECT_EQ(QFile::permissions(path) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions{});

    ServerThread second(path);
    EXPECT_FALSE(second.startServing());
    EXPECT_TRUE(second.error.contains(QStringLiteral("already"))) << second.error.toStdString();
    EmulatorClient client(path);
    EXPECT_EQ(client.roundTrip("STATE 1").value_or(""),
              "OK present=1 attached=never restarts=0 handles=0 animated=0 refusal=0");
}

TEST(EmulatorSocket, NeverReplacesAFileThatIsNoSocket)
{
    ensureApplication();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("notes.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    ServerThread server(path);
    EXPECT_FALSE(server.startServing());
    EXPECT_TRUE(server.error.contains(QStringLiteral("not a socket")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me");
}

// A server that accepts and never answers: the client gives up after its time-out instead of
// blocking, and drops the connection so that a late reply cannot be mistaken for the next one.
TEST(EmulatorSocket, SilentServerTimesOut)
{
    ensureApplication();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("silent.sock"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::copy_n(native.constData(), native.size(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);

    EmulatorDeviceAccess access(path, 200);
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kTimeout);
    EXPECT_EQ(handle, kClosedHandle);
    ::close(fd);
}

} // namespace
} // namespace orvex
