// The emulator faces any local program of the user: its socket is private, its lines bounded,
// and nonsense gets BAD without anything else happening.

#include "programs/emulator/EmulatorProtocol.h"
#include "programs/emulator/EmulatorServer.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvex {
namespace {

QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "orvex_reliability_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Everything observable of the virtual devices that a request could change.
struct DeviceState
{
    explicit DeviceState(const VirtualDeviceAccess &devices)
        : logSize(devices.log().size())
        , exchanges(devices.exchangeCount())
        , handles(devices.openHandleCount())
    {
        for (int number = 0; number < 2; ++number) {
            const VirtualDevice &device = devices.device(number);
            memory[number] = device.memory;
            present[number] = device.present;
            live[number] = device.liveValues;
            refusal[number] = device.openRefusal;
        }
    }
    bool operator==(const DeviceState &) const = default;

    std::size_t logSize;
    int exchanges;
    int handles;
    std::array<ConfigImage, 2> memory;
    std::array<bool, 2> present;
    std::array<std::array<std::uint8_t, 6>, 2> live;
    std::array<HidStatus, 2> refusal;
};

TEST(EmulatorHardening, MalformedRequestsGetBadAndChangeNothing)
{
    VirtualDeviceAccess devices;
    EmulatorSession session(devices);
    const QByteArray opened = session.handleLine("OPEN 6148");
    ASSERT_EQ(opened, "OK 1");
    const DeviceState before(devices);

    const QList<QByteArray> malformed = {
        "",
        "   ",
        "NOPE",
        "OPEN",
        "OPEN 61488",
        "OPEN zzzz",
        "OPEN 6148 6148",
        "XFER 1",
        "XFER 1 0182000000",
        "XFER 1 01820000000g",
        "XFER -1 018200000000",
        "XFER 99999999999 018200000000",
        "CLOSE x",
        "LIVE 1 1 2 3 4 5 256",
        "LIVE 3 1 2 3 4 5 6",
        "POKE 1 512 0",
        "POKE 1 0x1ff 0x100",
        "POKE 1 -1 0",
        "FAIL -1",
        "FAIL 1 0",
        "UNPLUGAT 1 3",
        "REFUSE 0 3",
        "PLUG 0",
        "UNPLUG 3",
        "ANIMATE 1 maybe",
        "DUMP 0",
        "LOG 99",
        "OPEN\t6148\x01",
        QByteArray("OPEN \0 6148", 11),
        "\xff\xfe OPEN 6148",
        QByteArray(emulator::kMaxLineLength + 1, 'A'),
    };
    for (const QByteArray &line : malformed) {
        SCOPED_TRACE(line.toStdString());
        const QByteArray reply = session.handleLine(line);
        EXPECT_TRUE(reply.startsWith("BAD")) << reply.toStdString();
        EXPECT_EQ(DeviceState(devices), before);
    }
    // The session is still usable afterwards.
    EXPECT_EQ(session.handleLine("XFER 1 018200400000").left(3), "OK ");
}

TEST(EmulatorHardening, AnEndlessLineIsHeldToItsBoundAndAnsweredOnce)
{
    LineFramer framer;
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 64; ++i) // four megabytes without a newline
        framer.append(chunk);
    EXPECT_FALSE(framer.hasLine());
    framer.append("\nSTATE 1\n");

    ASSERT_TRUE(framer.hasLine());
    const LineFramer::Line overlong = framer.takeLine();
    EXPECT_TRUE(overlong.overlong);
    EXPECT_TRUE(overlong.text.isEmpty());
    VirtualDeviceAccess devices;
    EmulatorSession session(devices);
    EXPECT_EQ(session.handle(overlong), "BAD line too long");

    ASSERT_TRUE(framer.hasLine());
    EXPECT_EQ(session.handle(framer.takeLine()).left(3), "OK ");
    EXPECT_FALSE(framer.hasLine());
}

TEST(EmulatorHardening, SessionsCannotUseOrOutliveTheirHandles)
{
    VirtualDeviceAccess devices;
    {
        EmulatorSession first(devices);
        EmulatorSession second(devices);
        ASSERT_EQ(first.handleLine("OPEN 6148"), "OK 1");
        EXPECT_EQ(second.handleLine("XFER 1 018200000000"), "ERR 6");
        EXPECT_EQ(second.handleLine("CLOSE 1"), "ERR 6");
        EXPECT_EQ(devices.openHandleCount(), 1);
    }
    EXPECT_EQ(devices.openHandleCount(), 0);
}

// Waits for one reply line, running the server's events meanwhile.
QByteArray replyTo(QLocalSocket &socket, const QByteArray &request)
{
    socket.write(request);
    const QDeadlineTimer deadline(10'000);
    while (!socket.canReadLine() && !deadline.hasExpired() &&
           socket.state() == QLocalSocket::ConnectedState) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        socket.waitForReadyRead(0);
    }
    return socket.readLine().trimmed();
}

TEST(EmulatorHardening, TheSocketIsPrivateAndOversizedRequestsGetOneBad)
{
    application();
    QTemporaryDir folder;
    VirtualDeviceAccess devices;
    EmulatorServer server(devices);
    const QString path = folder.filePath(QStringLiteral("emulator.sock"));
    QString error;
    ASSERT_TRUE(server.listen(path, &error)) << error.toStdString();

    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0077, 0U) << "mode " << std::oct << (info.st_mode & 0777);

    QLocalSocket socket;
    socket.connectToServer(path);
    ASSERT_TRUE(socket.waitForConnected(5000));
    const DeviceState before(devices);
    EXPECT_EQ(replyTo(socket, QByteArray(100'000, 'O') + "PEN 6148\n"), "BAD line too long");
    EXPECT_EQ(DeviceState(devices), before);
    EXPECT_EQ(replyTo(socket, "OPEN 6148\n"), "OK 1");
    EXPECT_FALSE(socket.canReadLine()) << "one reply per line, nothing more";
}

} // namespace
} // namespace orvex
