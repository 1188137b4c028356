#pragma once

#include "core/link/DeviceLink.h"
#include "core/link/LinkEngine.h"

#include <QObject>
#include <QStringList>

namespace orvex::testing {

// Records what the live link announces, in order: "viewing 1" or "searching 2" (the selected
// device, from 1) at every change of state, and "sample" for every sample read from a device.
// It listens to an engine on the calling thread, or to a DeviceLink on the window thread.
class LinkRecorder : public QObject, public LinkEngine::Listener
{
public:
    LinkRecorder() = default;
    explicit LinkRecorder(DeviceLink &link)
    {
        connect(&link, &DeviceLink::stateChanged, this, &LinkRecorder::stateChanged);
        connect(&link, &DeviceLink::sampled, this, &LinkRecorder::sampled);
        connect(&link, &DeviceLink::transferProgress, this, &LinkRecorder::transferProgress);
    }

    void stateChanged(const LinkState &state) override
    {
        calls << QStringLiteral("%1 %2")
                     .arg(state.viewing ? "viewing" : "searching")
                     .arg(state.deviceNumber + 1);
    }
    void sampled(const LiveSample &sample) override
    {
        lastSample = sample;
        if (sample.read)
            calls << QStringLiteral("sample");
    }
    void transferProgress(const QString &text) override { progress << text; }

    QStringList calls;
    QStringList progress;
    LiveSample lastSample;
};

} // namespace orvex::testing
