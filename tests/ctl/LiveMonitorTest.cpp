#include "programs/ctl/LiveMonitor.h"

#include "CtlTestSupport.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigModel.h"
#include "programs/ctl/DeviceSession.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace orvex::ctl::test {
namespace {

class LiveMonitorTest : public ::testing::Test
{
protected:
    LiveMonitorTest() { ensureApplication(); }

    void makeMonitor(LiveMonitor::Options options, bool terminal = false)
    {
        m_console = std::make_unique<BufferConsole>(QByteArray(), terminal);
        m_model.resetSettings();
        m_session = std::make_unique<DeviceSession>(m_access, m_model, 0);
        m_session->begin();
        m_monitor = std::make_unique<LiveMonitor>(m_session->link(), m_console->console(), options);
    }

    // The link's ticks, as its timers run them.
    DeviceLink &link() { return m_session->link(); }
    void pollTick() { link().pollDevice(); }
    void waitTick() { link().waitForDeviceTick(); }

    QStringList outLines() const { return m_console->out().split('\n', Qt::SkipEmptyParts); }

    VirtualDeviceAccess m_access;
    ConfigModel m_model;
    std::unique_ptr<BufferConsole> m_console;
    std::unique_ptr<DeviceSession> m_session;
    std::unique_ptr<LiveMonitor> m_monitor;
};

TEST(LiveLineTest, ValuesWithDirectionMarks)
{
    EXPECT_EQ(LiveLine::text({0, 255, 7, 12, 128, 99}, {0, 1, 2, 0, 1, 2}),
              QStringLiteral("  0   255^    7v   12   128^   99v"));
    EXPECT_EQ(LiveLine::header(), QStringLiteral("Ch1   Ch2   Ch3   Ch4   Ch5   Ch6 "));
    EXPECT_EQ(LiveLine::json({1, 2, 3, 4, 5, 6}, {0, 1, 2, 0, 0, 0}),
              QStringLiteral("{\"directions\":[0,1,2,0,0,0],\"values\":[1,2,3,4,5,6]}"));
}

TEST_F(LiveMonitorTest, PrintsOneLinePerPollAndStopsAfterTheCount)
{
    makeMonitor({3, false});
    QSignalSpy finished(m_monitor.get(), &LiveMonitor::finished);
    m_access.device(0).liveValues = {50, 0, 0, 0, 0, 200};
    ASSERT_TRUE(m_monitor->start());
    EXPECT_EQ(m_console->err(), QStringLiteral("Viewing device 1\n"));

    for (int tick = 0; tick < 5; ++tick)
        pollTick();

    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(m_monitor->pollCount(), 3);
    const QStringList lines = outLines();
    ASSERT_EQ(lines.size(), 3);
    // The first poll moves away from the start reference 0 by more than the threshold of 12.
    EXPECT_EQ(lines[0], QStringLiteral(" 50^    0     0     0     0   200^"));
    EXPECT_EQ(lines[1], QStringLiteral(" 50     0     0     0     0   200 "));
}

TEST_F(LiveMonitorTest, FallsBackToTheOtherDeviceAtTheStart)
{
    m_access.setPresent(0, false);
    makeMonitor({1, false});
    ASSERT_TRUE(m_monitor->start());
    EXPECT_EQ(link().deviceNumber(), 1);
    EXPECT_EQ(m_console->err(), QStringLiteral("Viewing device 2\n"));
}

TEST_F(LiveMonitorTest, SearchesAgainAfterALossAndResumes)
{
    m_access.setPresent(1, false); // nothing to fall back to
    makeMonitor({0, false}, true);
    ASSERT_TRUE(m_monitor->start());
    pollTick();
    m_access.setPresent(0, false);
    pollTick();
    EXPECT_TRUE(link().isSearching());
    EXPECT_TRUE(m_console->err().endsWith(QStringLiteral("Searching for device...\n")));

    waitTick(); // still absent
    EXPECT_TRUE(link().isSearching());
    m_access.setPresent(0, true);
    waitTick();
    EXPECT_FALSE(link().isSearching());
    EXPECT_TRUE(m_console->err().endsWith(QStringLiteral("Viewing device 1\n")));
    pollTick();
    EXPECT_EQ(m_monitor->pollCount(), 2);

    // On a terminal: a header, then each poll redrawn over the last one; the lost device ended
    // the first line, and stopping ends the second.
    m_monitor->stop();
    const QString redraw = QStringLiteral("\r\x1b[K");
    EXPECT_EQ(m_console->out(), LiveLine::header() + '\n' + redraw + LiveLine::text({}, {}) + '\n' +
                                    redraw + LiveLine::text({}, {}) + '\n');
}

TEST_F(LiveMonitorTest, JsonLinesAndNoTicksAfterStop)
{
    makeMonitor({0, true});
    ASSERT_TRUE(m_monitor->start());
    m_access.device(0).liveValues = {1, 2, 3, 4, 5, 6};
    pollTick();
    m_monitor->stop();
    // A tick that still came through after the stop prints nothing.
    pollTick();
    waitTick();
    EXPECT_EQ(m_monitor->pollCount(), 1);
    EXPECT_EQ(outLines().size(), 1);
}

} // namespace
} // namespace orvex::ctl::test
