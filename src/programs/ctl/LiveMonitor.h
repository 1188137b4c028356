#pragma once

#include "core/link/DeviceLink.h"

#include <QObject>
#include <array>
#include <cstdint>

namespace orvex::ctl {

class Console;

// The text forms of one poll: six values with their direction marks, or one JSON object.
class LiveLine
{
public:
    static QString header();
    static QString text(const LiveValues &values, const LiveDirections &directions);
    static QString json(const LiveValues &values, const LiveDirections &directions);
    static QChar directionMark(std::uint8_t direction); // ' ', '^' rising, 'v' falling
};

// `orvexctl monitor`: the main window's live view without the window.  The link polls every
// 10 ms and each successful poll prints a line (redrawn in place on a terminal); a lost device
// is searched for again every second, as in the main window, and every change of the link's
// state is said on standard error.
class LiveMonitor : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int polls = 0; // stop after this many polls; 0 = until interrupted
        bool json = false;
    };

    LiveMonitor(DeviceLink &link, Console &console, Options options);
    ~LiveMonitor() override;

    // Attaches the selected device, or the other one when it is absent; false when neither is
    // there.  Then the link's ticks, run by its timers, are shown as they come.
    bool start();
    void stop(); // ends the output line and emits finished(); later samples print nothing

    int pollCount() const { return m_pollCount; }

Q_SIGNALS:
    void finished();

private:
    void showSample(const LiveSample &sample);
    void showState(const LinkState &state);
    void endRedrawnLine();

    DeviceLink &m_link;
    Console &m_console;
    Options m_options;
    int m_pollCount = 0;
    bool m_lineOpen = false; // a redrawn line is on the terminal without its newline
    bool m_stopped = false;
};

} // namespace orvex::ctl
