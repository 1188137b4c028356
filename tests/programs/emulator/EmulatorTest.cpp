// orvex-emulator: one connection's side of its protocol, and its server.  The built program and
// its end are tested with orvexctl, which talks to it.

#include "Printers.h"
#include "TestFiles.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "programs/emulator/EmulatorProtocol.h"
#include "programs/emulator/EmulatorServer.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvex {
namespace {

// A line may come in pieces; one too long comes out empty, and the stream goes on after it.
TEST(LineFramer, CutsLinesAcrossAppendsAndBoundsTheirLength)
{
    LineFramer framer;
    const QByteArray longest(emulator::kMaxLineLength, 'a');
    framer.append("OPEN 61");
    framer.append("48\r\n\n" + longest + "\r\n" + longest + "z\n" + longest + "zz" +
                  QByteArray(1 << 22, 'c'));
    framer.append("tail\nSTATE 2\n");
    QList<QByteArray> lines;
    while (framer.hasLine())
        lines << framer.takeLine().text;
    EXPECT_EQ(lines, (QList<QByteArray>{"OPEN 6148", "", longest, "", "", "STATE 2"}));
}

class EmulatorSessionTest : public ::testing::Test
{
protected:
    QByteArray send(const QByteArray &line) { return session.handleLine(line); }

    VirtualDeviceAccess access;
    EmulatorSession session{access};
};

TEST_F(EmulatorSessionTest, RequestsDriveTheDevicesAndEachGetsItsReply)
{
    // clang-format off
    const std::pair<QByteArray, QByteArray> exchanges[] = {
        {"LIVE 1 1 2 3 4 5 0xff", "OK"}, {"UNPLUG 2", "OK"}, {"OPEN 6149", "ERR 1"},
        {"PLUG 2", "OK"},
        {"REFUSE 2 3", "OK"}, {"OPEN 6149", "ERR 3"}, {"CLEARFAULTS", "OK"}, {"open\t6149", "OK 1"},
        {"OPEN 6148", "OK 2"}, {"OPEN 1234", "ERR 1"}, {"XFER 2 018220010000", "OK 01820405ff00"},
        {"XFER 2 028200000000", "ERR 7"}, {"POKE 2 0x1fe 82", "OK"}, {"ANIMATE 2 ON", "OK"},
        {"XFER 1 018201FE0000", "OK 018201fe5200"}, {"xfer 1 018120000000", "OK 018120000000"},
        {"STATE 2", "OK present=1 attached=yes restarts=0 handles=1 animated=1 refusal=0"},
        {"UNPLUG 1", "OK"}, {"PLUG 1", "OK"}, {"XFER 2 018200000000", "ERR 4"}, // a handle ends
        {"RESTART vid_04b4&pid_6149", "OK"}, {"RESTART nonsense", "ERR 7"}, // with its device
        {"XFER 1 018200000000", "ERR 4"}, {"CLOSE 1", "OK"}, {"CLOSE 1", "ERR 6"},
        {"XFER 1 018200000000", "ERR 6"}, {"ANIMATE 2 off", "OK"},
        {"STATE 2", "OK present=1 attached=yes restarts=1 handles=0 animated=0 refusal=0"},
        {"STATE 1", "OK present=1 attached=never restarts=0 handles=1 animated=0 refusal=0"},
        {"EXCHANGES", "OK 6"}, {"OPEN 6148", "OK 3"}, {"FAIL 1 5", "OK"},
        {"XFER 3 018100050000", "OK 018100050000"},
        {"XFER 3 018100060700", "ERR 5"}, {"FAIL 0", "OK"}, {"XFER 3 018100060700", "ERR 4"},
        {"UNPLUGAT 0 1", "OK"}, {"XFER 3 018200060000", "ERR 4"}, {"LOG", "OK 19"},
        {"LOG 000000004", "OK open - 1 000000000000 000000000000"},
        {"LOG 5", "OK xfer 1 0 018220010000 01820405ff00"}, {"LOGCLEAR", "OK"}, {"LOG", "OK 0"},
        {"HELP", "OK ANIMATE CLEARFAULTS CLOSE DUMP EXCHANGES FAIL HELP LIVE LOG LOGCLEAR OPEN "
                 "PLUG POKE REFUSE RESTART STATE UNPLUG UNPLUGAT XFER"}};
    // clang-format on
    for (const auto &[request, reply] : exchanges)
        EXPECT_EQ(send(request), reply) << request.toStdString();
    EXPECT_EQ(access.device(0).memory[6], VirtualDevice().memory[6]);
    EXPECT_EQ(send("DUMP 2").mid(3 + 2 * 510), "5234");
    EXPECT_EQ(send("STATE 1").left(13), "OK present=0 ");
}

TEST_F(EmulatorSessionTest, HandlesBelongToTheirSessionAndCloseWithIt)
{
    send("OPEN 6148");
    auto other = std::make_unique<EmulatorSession>(access);
    EXPECT_EQ(other->handleLine("OPEN 6149") + other->handleLine("XFER 1 018200000000") +
                  other->handleLine("CLOSE 1"),
              "OK 2ERR 6ERR 6");
    other.reset();
    EXPECT_EQ(access.openHandleCount(), 1);
}

// Any input, however malformed, gets one BAD reply and changes nothing.
TEST_F(EmulatorSessionTest, MalformedLinesAreBadAndChangeNothing)
{
    send("OPEN 6148");
    const ConfigImage memory = access.device(0).memory;
    // clang-format off
    const std::vector<QByteArray> malformed = {
        "", "   ", "FOO", "OPEN", "OPEN 61488", "OPEN 614", "OPEN xyz1", "OPEN 6148 6149", "XFER 1",
        "XFER abc 018200000000", "XFER -1 018200000000", "XFER 1 01820000000g", "XFER 1 0181000000",
        "XFER 1 01810000000000", "XFER 4294967297 018100000000", "CLOSE", "CLOSE x",
        "CLOSE 4294967297", "RESTART", "LIVE 3 1 2 3 4 5 6", "LIVE 1 1 2 3 4 5 256",
        "LIVE 1 1 2 3 4 5", "POKE 1 512 0", "POKE 1 0 0x100",
        "POKE 1 0x00001 0", "POKE 0 0 0", "FAIL -1", "FAIL 1 0", "FAIL 1 2 3", "FAIL 100000001",
        "ANIMATE 1 maybe", "UNPLUG 3", "PLUG 0", "UNPLUGAT 1 3", "REFUSE 1 -2", "LOG x",
        "LOG 99999", "LOG 1 2", "STATE", "DUMP 0", QByteArray("OPEN\0006148", 9), "OPEN \xff\xfe",
        "OPEN\v6148", "RESTART vid_04b4&pid_6148\x1f", "RESTART vid_04b4&pid_6148\x7f",
        QByteArray(emulator::kMaxLineLength + 1, 'X')};
    // clang-format on
    for (const QByteArray &line : malformed)
        EXPECT_TRUE(send(line).startsWith("BAD ")) << line.toStdString();
    EXPECT_EQ(session.handle({{}, true}), "BAD line too long");
    EXPECT_EQ(send("LIVE 1 1 2 3 4 5"), "BAD usage: LIVE <device> <v1> <v2> <v3> <v4> <v5> <v6>");
    EXPECT_EQ(access.device(0).memory, memory);
    EXPECT_EQ(access.exchangeCount(), 0);
    EXPECT_EQ(send("STATE 1"),
              "OK present=1 attached=never restarts=0 handles=1 animated=0 refusal=0");
}

// A socket left behind by an emulator that is gone is replaced; a path that is not a socket is
// never touched, so that a mistyped --socket cannot cost the user a file.
TEST(EmulatorServer, ReplacesAStaleSocketButNoOtherFile)
{
    QTemporaryDir dir;
    const QString stale = dir.filePath("stale.sock");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(stale).constData(),
                 sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ::close(fd); // the file stays, with nobody listening

    int argc = 0;
    const QCoreApplication application(argc, nullptr); // sockets need an event loop
    VirtualDeviceAccess devices;
    EmulatorServer server(devices);
    QString error;
    EXPECT_TRUE(server.listen(stale, &error)) << error.toStdString();
    // A client that leaves takes its connection with it.
    QSignalSpy connected(&server, &EmulatorServer::clientConnected);
    QSignalSpy left(&server, &EmulatorServer::clientDisconnected);
    QLocalSocket client;
    client.connectToServer(stale);
    ASSERT_TRUE(connected.wait(5000));
    client.disconnectFromServer();
    ASSERT_TRUE(left.wait(5000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(server.findChildren<QLocalSocket *>().isEmpty());
    server.close();

    const QString file = dir.filePath("notes.txt");
    ASSERT_TRUE(testing::writeFile(file, "keep"));
    EXPECT_FALSE(server.listen(file, &error));
    EXPECT_EQ(error, file + " exists and is not a socket; not replacing it");
    EXPECT_EQ(testing::readFile(file), "keep");
    const QString nowhere = dir.filePath("missing/e.sock");
    EXPECT_FALSE(server.listen(nowhere, &error));
    EXPECT_TRUE(error.startsWith("Cannot listen at " + nowhere + ": ")) << error.toStdString();
}

} // namespace
} // namespace orvex
