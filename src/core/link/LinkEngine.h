#pragma once

#include "core/config/ConfigModel.h"
#include "core/link/DeviceSurvey.h"
#include "core/link/DeviceTransfers.h"
#include "core/link/DeviceTransport.h"
#include "core/link/LinkState.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orvex {

// What start-up learns of the two devices: the first one that opens, or for each device why it
// could not be opened.
struct DevicePresence
{
    int firstOpened = -1; // device number; -1 when neither opened
    std::array<HidStatus, 2> openStatus{hid::kNotPresent, hid::kNotPresent};
    std::array<QString, 2> unavailableText; // "The ORVEX (1) is in use by another program: ..."

    bool anyPresent() const { return firstOpened >= 0; }
};

// The device side of the live link, for the whole run: every exchange with a device goes through
// here, on the device thread.  It owns the polling handle, the selected device, the live values
// with their directions and references, which devices were written to, and whether a transfer
// holds the device.  It finds and attaches the selected device (falling back to the other one),
// polls it, notices its loss and searches again, at the cadence of its two timers: a poll every
// 10 ms, and a search every second while no device is viewed.  Nothing here waits for anything
// but a device; the device thread sleeps until the next tick is due.
class LinkEngine
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    static constexpr std::chrono::milliseconds kPollInterval{10};
    static constexpr std::chrono::milliseconds kSearchInterval{1000};

    // What the engine announces, on the device thread, as it happens.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // Viewing or searching, and the selected device, whenever either changes.  When a
        // search finds the other device, the selection follows before viewing begins.
        virtual void stateChanged(const LinkState &state) = 0;
        // After a poll tick whose sample differs from the one announced last, whether or not a
        // device is viewed; after every poll tick while every one is asked for.
        virtual void sampled(const LiveSample &sample) = 0;
        // The two progress lines of a running transfer.
        virtual void transferProgress(const QString &text) = 0;
    };

    // `now` tells the time of the timers; tests give one of their own.
    LinkEngine(DeviceAccess &access, Listener &listener,
               std::function<TimePoint()> now = &Clock::now);
    ~LinkEngine(); // closes the polling handle

    LinkEngine(const LinkEngine &) = delete;
    LinkEngine &operator=(const LinkEngine &) = delete;

    LinkState state() const { return m_state; }
    const LiveSample &sample() const { return m_sample; }
    bool isPollingHandleOpen() const { return DeviceTransport::isOpen(m_pollingHandle); }
    bool isTransferRunning() const { return m_transferRunning; }

    void setThresholds(const MovementThresholds &thresholds) { m_thresholds = thresholds; }

    // Whether polls that bring nothing new are announced too, for views that act at every tick.
    void setEveryPollAnnounced(bool every) { m_everyPollAnnounced = every; }

    // The timers: polls, and searches while no device is viewed.  Without them (tests, and the
    // command line's one-shot commands) only the ticks asked for run.
    void startTimers();
    void stopTimers();
    bool areTimersRunning() const { return m_timersRunning; }
    // When the next tick is due; nothing while the timers are stopped.
    std::optional<TimePoint> nextTick() const;
    // Runs the tick that is due, if any: a search before a poll.  A poll is due 10 ms after the
    // previous one started and never before it ended, so a slow device lowers the poll rate
    // instead of building a queue.
    void runDueTick();

    // Start-up: Device 1, then Device 2, on a handle of its own that is closed again; the
    // selection stays as it is.
    DevicePresence testPresence();
    // Start-up: every present device gets the attach write.
    void prepareDevices();
    // A viewed device is let go and the search begins.
    void startSearching();

    void pollDevice();        // one poll tick
    void waitForDeviceTick(); // one search tick

    // The user chose a device: a viewed one is let go and the search starts for the new one.
    void selectDevice(int number);

    // Exit: the polling handle is closed, devices written during the run are restarted and the
    // others get the release write.
    void releaseDevices();

    // `orvexctl devices`: what each device's interfaces are and whether it opens.
    std::vector<DeviceSurveyEntry> surveyDevices();

    // A transfer of the selected device's configuration.  From beginTransfer() to endTransfer()
    // the polls keep away from the device and the polling handle is closed; afterwards it is
    // open again when a device is viewed.  A complete write marks the device written, so that
    // it is restarted at exit.
    void beginTransfer();
    TransferOutcome readConfiguration();
    TransferOutcome writeConfiguration(const ConfigImage &image);
    void endTransfer();

    // The text as a zero-terminated 8-bit string (one element more than it has characters).
    static QByteArray textToBytes(const QString &text);

private:
    bool attachDevice(); // true when a device is attached with the polling handle open
    void deviceLost();
    void updateDirections();
    void closePollingHandle();
    void sendControlWrite(int number, std::uint8_t value); // attach or release, when present
    void setState(LinkState state);
    TransferProgress progressToListener();
    bool isSearchDue(TimePoint now) const;

    DeviceTransport m_transport;
    Listener &m_listener;
    std::function<TimePoint()> m_now;

    bool m_timersRunning = false;
    TimePoint m_pollDue;
    TimePoint m_searchDue; // each time the search begins, its first tick is a full second away

    LinkState m_state;
    HidHandle m_pollingHandle = kClosedHandle;
    bool m_transferRunning = false;
    std::array<bool, 2> m_written{};
    MovementThresholds m_thresholds{};
    LiveSample m_sample;
    LiveSample m_announcedSample;
    bool m_everyPollAnnounced = false;
    std::array<int, 6> m_reference{}; // -1 = no reference since a loss
};

} // namespace orvex
