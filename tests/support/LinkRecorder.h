#pragma once

#include "core/link/DeviceLink.h"

#include <QObject>
#include <QStringList>

namespace orvex::testing {

// Records what the device link tells its views, as the main window acts on it: clearing the
// graphs and searching when a viewed device goes, selecting and viewing when one is found, and
// drawing after every successful poll.
class LinkRecorder : public QObject
{
public:
    explicit LinkRecorder(DeviceLink &link)
        : m_viewing(link.isViewing())
    {
        connect(&link, &DeviceLink::stateChanged, this, &LinkRecorder::recordState);
        connect(&link, &DeviceLink::sampled, this, [this](const LiveSample &sample) {
            if (!sample.read)
                return;
            calls << QStringLiteral("drawGraphs");
            ++draws;
        });
    }

    QStringList calls; // clearGraphs, status:<text>, waitTimer:on|off, select:<n>, drawGraphs
    int clears = 0;
    int draws = 0;
    QString status;
    bool waitTimerEnabled = true;

private:
    void recordState(const LinkState &state)
    {
        if (state.viewing) {
            calls << QStringLiteral("waitTimer:off")
                  << QStringLiteral("select:%1").arg(state.deviceNumber);
        } else if (m_viewing) {
            calls << QStringLiteral("clearGraphs");
            ++clears;
        }
        if (state.viewing || m_viewing) {
            status = statusText(state);
            calls << QStringLiteral("status:") + status;
            if (!state.viewing)
                calls << QStringLiteral("waitTimer:on");
        }
        waitTimerEnabled = !state.viewing;
        m_viewing = state.viewing;
    }

    bool m_viewing;
};

} // namespace orvex::testing
