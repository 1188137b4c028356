#include "core/backends/emulator/EmulatorWire.h"
#include "programs/emulator/EmulatorProtocol.h"

#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QList>
#include <gtest/gtest.h>
#include <random>

namespace orvex {
namespace {

// --- Line framing ---

std::vector<LineFramer::Line> drain(LineFramer &framer)
{
    std::vector<LineFramer::Line> lines;
    while (framer.hasLine())
        lines.push_back(framer.takeLine());
    return lines;
}

TEST(LineFramer, CutsLinesAcrossAppendsAndDropsCarriageReturns)
{
    LineFramer framer;
    framer.append("OPEN 61");
    EXPECT_FALSE(framer.hasLine());
    framer.append("48\r\nSTATE 1\n\nDU");
    const auto lines = drain(framer);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "OPEN 6148");
    EXPECT_EQ(lines[1].text, "STATE 1");
    EXPECT_EQ(lines[2].text, "");
    EXPECT_FALSE(lines[0].overlong || lines[1].overlong || lines[2].overlong);
    framer.append("MP 1\n");
    EXPECT_EQ(framer.takeLine().text, "DUMP 1");
}

TEST(LineFramer, BoundsLineLengthAndRecoversAtTheNextNewline)
{
    LineFramer framer;
    const QByteArray longest(emulator::kMaxLineLength, 'a');
    framer.append(longest + "\r\n");
    framer.append(QByteArray(emulator::kMaxLineLength + 1, 'z') + "\n");
    framer.append(QByteArray(emulator::kMaxLineLength + 2, 'b'));
    for (int i = 0; i < 1000; ++i)
        framer.append(QByteArray(4096, 'c')); // held back without growing
    framer.append("tail\nSTATE 2\n");

    const auto lines = drain(framer);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, longest);
    EXPECT_FALSE(lines[0].overlong);
    EXPECT_TRUE(lines[1].overlong);
    EXPECT_TRUE(lines[2].overlong);
    EXPECT_TRUE(lines[2].text.isEmpty());
    EXPECT_EQ(lines[3].text, "STATE 2");
}

// --- Sessions ---

class EmulatorSessionTest : public ::testing::Test
{
protected:
    QByteArray send(const QByteArray &line) { return session.handleLine(line); }

    VirtualDeviceAccess access;
    EmulatorSession session{access};
};

TEST_F(EmulatorSessionTest, OpensExchangesAndClosesInLowerCaseHex)
{
    access.device(0).memory[0x1FC] = 0xAB;
    EXPECT_EQ(send("OPEN 6148"), "OK 1");
    EXPECT_EQ(send("XFER 1 018201FC0000"), "OK 018201fcab00");
    EXPECT_EQ(send("xfer 1 018101fc0000"), "OK 018101fc0000");
    EXPECT_EQ(access.device(0).memory[0x1FC], 0);
    EXPECT_EQ(send("CLOSE 1"), "OK");
    EXPECT_EQ(access.openHandleCount(), 0);
    EXPECT_EQ(send("XFER 1 018200000000"), "ERR 6");
}

TEST_F(EmulatorSessionTest, DeviceFailuresAreErrWithTheirStatus)
{
    EXPECT_EQ(send("OPEN 1234"), "ERR 1");
    access.device(1).openRefusal = hid::kAccessDenied;
    EXPECT_EQ(send("OPEN 6149"), "ERR 2");
    EXPECT_EQ(send("OPEN 6148"), "OK 1");
    EXPECT_EQ(send("XFER 1 028200000000"), "ERR 7"); // wrong report id
    access.setPresent(0, false);
    EXPECT_EQ(send("XFER 1 018200000000"), "ERR 4");
    EXPECT_EQ(send("XFER 9 018200000000"), "ERR 6");
    EXPECT_EQ(send("CLOSE 9"), "ERR 6");
    EXPECT_EQ(send("RESTART vid_04b4&pid_6149"), "OK");
    EXPECT_EQ(send("RESTART nonsense"), "ERR 7");
    EXPECT_EQ(access.device(1).restartCount, 1);
}

TEST_F(EmulatorSessionTest, MalformedLinesAreBadAndChangeNothing)
{
    send("OPEN 6148");
    const ConfigImage memory = access.device(0).memory;
    const std::vector<QByteArray> malformed = {"",
                                               "   ",
                                               "FOO",
                                               "OPEN",
                                               "OPEN 61488",
                                               "OPEN 614",
                                               "OPEN xyz1",
                                               "OPEN 6148 6149",
                                               "XFER 1",
                                               "XFER abc 018200000000",
                                               "XFER -1 018200000000",
                                               "XFER 1 01820000000g",
                                               "XFER 1 0181000000",
                                               "XFER 1 01810000000000",
                                               "CLOSE",
                                               "CLOSE x",
                                               "RESTART",
                                               "LIVE 3 1 2 3 4 5 6",
                                               "LIVE 1 1 2 3 4 5 256",
                                               "LIVE 1 1 2 3 4 5",
                                               "POKE 1 512 0",
                                               "POKE 1 0 0x100",
                                               "POKE 0 0 0",
                                               "FAIL -1",
                                               "FAIL 1 0",
                                               "FAIL 1 2 3",
                                               "ANIMATE 1 maybe",
                                               "UNPLUG 3",
                                               "REFUSE 1 -2",
                                               "LOG x",
                                               "LOG 99999",
                                               "STATE",
                                               "DUMP 0",
                                               QByteArray("OPEN\0006148", 9),
                                               "OPEN \xff\xfe",
                                               QByteArray(300, 'X')};
    for (const QByteArray &line : malformed)
        EXPECT_TRUE(send(line).startsWith("BAD ")) << line.toStdString();
    EXPECT_EQ(access.device(0).memory, memory);
    EXPECT_EQ(access.exchangeCount(), 0);
    EXPECT_EQ(access.openHandleCount(), 1);
    EXPECT_EQ(send("XFER 1 018200000000").left(3), "OK ");
}

TEST_F(EmulatorSessionTest, OverlongLineFromTheFramerIsBad)
{
    EXPECT_EQ(session.handle(LineFramer::Line{{}, true}), "BAD line too long");
}

TEST_F(EmulatorSessionTest, ControlCommandsDriveTheDevices)
{
    EXPECT_EQ(send("LIVE 1 1 2 3 4 5 0xff"), "OK");
    send("OPEN 6148");
    EXPECT_EQ(send("XFER 1 018220010000"), "OK 01820405ff00");

    EXPECT_EQ(send("UNPLUG 2"), "OK");
    EXPECT_EQ(send("OPEN 6149"), "ERR 1");
    EXPECT_EQ(send("PLUG 2"), "OK");
    EXPECT_EQ(send("REFUSE 2 3"), "OK");
    EXPECT_EQ(send("OPEN 6149"), "ERR 3");
    EXPECT_EQ(send("CLEARFAULTS"), "OK");
    EXPECT_EQ(send("OPEN 6149"), "OK 2");

    EXPECT_EQ(send("ANIMATE 2 ON"), "OK");
    EXPECT_TRUE(access.device(1).animated);
    EXPECT_EQ(send("POKE 2 0x1fe 82"), "OK");
    const QByteArray dump = send("DUMP 2");
    ASSERT_EQ(dump.size(), 3 + 1024);
    EXPECT_EQ(dump.mid(3 + 2 * 510, 4), "5234");
    EXPECT_EQ(send("XFER 2 018120000000"), "OK 018120000000");
    EXPECT_EQ(send("STATE 2"),
              "OK present=1 attached=yes restarts=0 handles=1 animated=1 refusal=0");
    EXPECT_EQ(send("STATE 1"),
              "OK present=1 attached=never restarts=0 handles=1 animated=0 refusal=0");
}

TEST_F(EmulatorSessionTest, FaultsCountFromTheNextExchange)
{
    send("OPEN 6148");
    send("XFER 1 018200000000");
    EXPECT_EQ(send("EXCHANGES"), "OK 1");
    EXPECT_EQ(send("FAIL 1 5"), "OK");
    EXPECT_EQ(send("XFER 1 018100050000").left(3), "OK ");
    EXPECT_EQ(send("XFER 1 018100060700"), "ERR 5");
    EXPECT_NE(access.device(0).memory[6], 7);
    EXPECT_EQ(send("XFER 1 018100060700").left(3), "OK ");

    EXPECT_EQ(send("UNPLUGAT 0 1"), "OK");
    EXPECT_EQ(send("XFER 1 018200000000"), "ERR 4");
    EXPECT_EQ(send("STATE 1").left(13), "OK present=0 ");
}

TEST_F(EmulatorSessionTest, LogListsEveryOperation)
{
    send("OPEN 6148");
    send("XFER 1 018220000000");
    send("OPEN 6150");
    EXPECT_EQ(send("LOG"), "OK 3");
    EXPECT_EQ(send("LOG 0"), "OK open 1 0 000000000000 000000000000");
    EXPECT_EQ(send("LOG 1"), "OK xfer 1 0 018220000000 018200000000");
    EXPECT_EQ(send("LOG 2"), "OK open - 1 000000000000 000000000000");
    EXPECT_EQ(send("LOGCLEAR"), "OK");
    EXPECT_EQ(send("LOG"), "OK 0");
}

TEST_F(EmulatorSessionTest, HandlesBelongToTheirSessionAndCloseWithIt)
{
    send("OPEN 6148");
    {
        EmulatorSession other(access);
        EXPECT_EQ(other.handleLine("XFER 1 018200000000"), "ERR 6");
        EXPECT_EQ(other.handleLine("CLOSE 1"), "ERR 6");
        EXPECT_EQ(other.handleLine("OPEN 6148"), "OK 2");
        EXPECT_EQ(other.handleLine("OPEN 6149"), "OK 3");
        EXPECT_EQ(access.openHandleCount(), 3);
    }
    EXPECT_EQ(access.openHandleCount(), 1);
    EXPECT_EQ(send("XFER 1 018200000000").left(3), "OK ");
}

TEST_F(EmulatorSessionTest, HelpNamesEveryCommand)
{
    const QByteArray help = send("HELP");
    for (const char *name : {"OPEN", "CLOSE", "XFER", "RESTART", "PLUG", "UNPLUG", "LIVE",
                             "ANIMATE", "FAIL", "UNPLUGAT", "REFUSE", "DUMP", "POKE", "LOG",
                             "LOGCLEAR", "STATE", "EXCHANGES", "CLEARFAULTS"})
        EXPECT_TRUE(help.split(' ').contains(name)) << name;
}

// Random and mutated lines must always get one well-formed reply and never take the session
// down; the fuzz target goes much further, this keeps a cheap guard in the suite.
TEST_F(EmulatorSessionTest, ArbitraryInputAlwaysGetsAWellFormedReply)
{
    const std::vector<QByteArray> seeds = {"OPEN 6148",
                                           "XFER 1 018200000000",
                                           "LIVE 1 1 2 3 4 5 6",
                                           "POKE 2 0x1ff 255",
                                           "FAIL 0 4",
                                           "CLOSE 1",
                                           "LOG 0",
                                           "RESTART vid_04b4&pid_6148"};
    std::mt19937 random(20240601);
    for (int i = 0; i < 20000; ++i) {
        QByteArray line = seeds[random() % seeds.size()];
        const int edits = static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !line.isEmpty(); ++e) {
            const auto at = static_cast<qsizetype>(random() % line.size());
            switch (random() % 3) {
            case 0:
                line[at] = static_cast<char>(random() % 256);
                break;
            case 1:
                line.remove(at, 1);
                break;
            default:
                line.insert(at, static_cast<char>(random() % 256));
            }
        }
        const QByteArray reply = send(line);
        ASSERT_TRUE(reply == "OK" || reply.startsWith("OK ") || reply.startsWith("ERR ") ||
                    reply.startsWith("BAD "))
            << line.toHex().toStdString();
        ASSERT_FALSE(reply.contains('\n'));
    }
}

TEST(ReportHex, RoundTripsAndRefusesWrongLengths)
{
    HidReport report{};
    ASSERT_TRUE(reportFromHex("01820AbC00fF", report));
    EXPECT_EQ(report, (HidReport{1, 0x82, 0x0A, 0xBC, 0, 0xFF}));
    EXPECT_EQ(reportToHex(report), "01820abc00ff");
    EXPECT_FALSE(reportFromHex("01820abc00f", report));
    EXPECT_FALSE(reportFromHex("01820abc00fg", report));
    EXPECT_EQ(report, (HidReport{1, 0x82, 0x0A, 0xBC, 0, 0xFF}));
}

} // namespace
} // namespace orvex
