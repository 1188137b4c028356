#pragma once

#include "core/link/DeviceSurvey.h"
#include "core/link/DeviceThread.h"
#include "core/link/DeviceTransfers.h"
#include "core/link/LinkEngine.h"
#include "core/link/LinkState.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace orvex {

class ConfigModel;
class LinkAnnouncements;

// The live link to one of the two devices, for the whole run, as the window thread sees it.
//
// Every exchange with a device happens on the link's device thread (DeviceThread, LinkEngine);
// this object asks it for work and never waits for a device.  What the device thread announces
// arrives here in order, and this object is the one owner of the link's state for the views: it
// keeps the last state and sample and announces them with stateChanged() and sampled().  While
// the views are busy, samples that were not yet shown make way for newer ones.
class DeviceLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = LinkEngine::kPollInterval.count();
    static constexpr int kWaitIntervalMs = LinkEngine::kSearchInterval.count();

    // `access` is used on the device thread only, from now until the destructor returns.
    DeviceLink(DeviceAccess &access, const ConfigModel &model, QObject *parent = nullptr);
    // Lets the device thread finish what it was asked to do, then ends it.
    ~DeviceLink() override;

    // What the device thread last announced.
    LinkState state() const { return m_state; }
    int deviceNumber() const { return m_state.deviceNumber; }
    bool isViewing() const { return m_state.viewing; }
    bool isSearching() const { return !m_state.viewing; }
    const LiveSample &sample() const { return m_sample; }
    bool wasWritten(int deviceNumber) const;
    bool isTransferRunning() const { return m_transferRunning; }

    // Requests to the device thread, in the order they are made; each returns at once.

    // The timers run the ticks; without them (tests, the command line) only the ticks asked
    // for with pollDevice() and waitForDeviceTick() run.
    void startTimers();
    void stopTimers();

    // Start-up: which device opens (presenceTested), the attach write to every present device,
    // then the search.
    void testPresence();
    void prepareDevices();
    void startSearching();

    void pollDevice();        // one poll tick
    void waitForDeviceTick(); // one search tick

    // sampled() comes when a poll brings a sample that differs from the last one; while every
    // poll is asked for (views that act at every tick), after every poll.
    void setEveryPollAnnounced(bool every);

    // The user chose a device: a viewed one is let go and the search starts for the new one.
    void selectDevice(int number);

    // Exit: the polling handle is closed, devices written during the run are restarted and the
    // others get the release write (released).  The timers stop.
    void releaseDevices();

    // What each device's interfaces are and whether it opens (surveyed).
    void surveyDevices();

    // A transfer: the device thread waits for a poll in flight, pauses the polls, closes the
    // polling handle and moves the configuration (transferProgress, then transferFinished).
    // The polls stay paused until endTransfer(), so that nothing touches the device while the
    // window still shows the transfer's outcome.
    void readConfiguration();
    void writeConfiguration(const ConfigImage &image);
    void endTransfer();

    // Waits, with the event loop running, until the device thread has done everything asked of
    // it so far and all it announced meanwhile has been passed on.  For the command line and
    // tests; the windows never wait for the device.
    void waitUntilIdle();

Q_SIGNALS:
    // Viewing or searching, and the selected device, whenever either changes.  When a search
    // finds the other device, the selection follows before viewing begins.
    void stateChanged(const orvex::LinkState &state);

    // After poll ticks, whether or not a device is viewed: the newest sample (see
    // setEveryPollAnnounced()).
    void sampled(const orvex::LiveSample &sample);

    void presenceTested(const orvex::DevicePresence &presence);
    void surveyed(const std::vector<orvex::DeviceSurveyEntry> &devices);
    void transferProgress(const QString &text);
    void transferFinished(const orvex::TransferOutcome &outcome);
    void released();

private:
    void setThresholds(const MovementThresholds &thresholds);
    void announceNext();
    void announce(const LinkState &state);
    void announce(const LiveSample &sample);
    void announce(const TransferOutcome &outcome);

    LinkState m_state;
    LiveSample m_sample;
    std::array<bool, 2> m_written{};
    bool m_transferRunning = false;
    unsigned m_lastIdleTicket = 0;
    unsigned m_reachedIdleTicket = 0;

    std::unique_ptr<LinkAnnouncements> m_announcements;
    DeviceThread m_thread; // last: it stops before what it announces to goes
};

} // namespace orvex
