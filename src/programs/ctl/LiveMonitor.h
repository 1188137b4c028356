#pragma once

#include "core/link/DevicePolling.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>

namespace orvex::ctl {

class Console;

using LiveDirections = std::array<std::uint8_t, 6>;

// The text forms of one poll: six values with their direction marks, or one JSON object.
class LiveLine
{
public:
    static QString header();
    static QString text(const LiveValues &values, const LiveDirections &directions);
    static QString json(const LiveValues &values, const LiveDirections &directions);
    static QChar directionMark(std::uint8_t direction); // ' ', '^' rising, 'v' falling
};

// `orvexctl monitor`: the main window's polling without the window.  The poll timer runs every
// 10 ms and each successful poll prints a line (redrawn in place on a terminal); a lost device
// is searched for again every second, as the main window does.  The ticks are public so that
// they can be driven directly.
class LiveMonitor : public QObject, public PollingView
{
    Q_OBJECT

public:
    struct Options
    {
        int polls = 0; // stop after this many polls; 0 = until interrupted
        bool json = false;
    };

    LiveMonitor(DevicePolling &polling, Console &console, Options options);
    ~LiveMonitor() override;

    // Attaches the selected device, or the other one when it is absent; false when neither is
    // there.  Then the timers run while the event loop does.
    bool start();
    void stop(); // ends the output line and emits finished()

    void pollTick();
    void waitTick();

    // Runs before every poll; the simulated device moves its inputs on this clock.
    void setBeforePoll(std::function<void()> beforePoll) { m_beforePoll = std::move(beforePoll); }

    int pollCount() const { return m_pollCount; }
    bool isWaiting() const { return m_waitTimer.isActive(); }

    // PollingView
    void clearGraphs() override;
    void drawGraphs() override;
    void setStatusText(const QString &text) override;
    void setWaitTimerEnabled(bool enabled) override;
    void showSelectedDevice(int deviceNumber) override;

Q_SIGNALS:
    void finished();

private:
    void endRedrawnLine();

    DevicePolling &m_polling;
    Console &m_console;
    Options m_options;
    std::function<void()> m_beforePoll;
    QTimer m_pollTimer;
    QTimer m_waitTimer;
    int m_pollCount = 0;
    bool m_lineOpen = false; // a redrawn line is on the terminal without its newline
    bool m_stopped = false;
};

} // namespace orvex::ctl
