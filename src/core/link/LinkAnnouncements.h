#pragma once

#include "core/link/DeviceSurvey.h"
#include "core/link/DeviceTransfers.h"
#include "core/link/LinkEngine.h"
#include "core/link/LinkState.h"

#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

namespace orvex {

namespace announcement {
struct Progress
{
    QString text;
};
struct Released
{
};
struct Idle
{
    unsigned ticket = 0;
};
} // namespace announcement

// What the device thread announces, queued for the window thread in the order it happened.  The
// device thread never waits for the window: a sample takes the place of one that is still
// waiting right before it, so that a window that falls behind gets the newest values rather than
// a backlog.  After pushes, ready() is emitted on the window thread.
class LinkAnnouncements : public QObject, public LinkEngine::Listener
{
    Q_OBJECT

public:
    using Announcement =
        std::variant<LinkState, LiveSample, announcement::Progress, TransferOutcome, DevicePresence,
                     std::vector<DeviceSurveyEntry>, announcement::Released, announcement::Idle>;

    explicit LinkAnnouncements(QObject *parent = nullptr);
    ~LinkAnnouncements() override;

    // Any thread (the device thread's engine announces through the Listener functions).
    void push(Announcement announcement);
    void stateChanged(const LinkState &state) override { push(state); }
    void sampled(const LiveSample &sample) override { push(sample); }
    void transferProgress(const QString &text) override { push(announcement::Progress{text}); }

    // Window thread: one at a time, so that an announcement whose handler runs the event loop
    // again is still followed by the ones after it in their order.
    std::optional<Announcement> take();

Q_SIGNALS:
    void ready();

private:
    int m_eventFd; // counts pushes; wakes the window thread's event loop
    QSocketNotifier *m_notifier;
    std::mutex m_mutex;
    std::deque<Announcement> m_queue; // guarded by m_mutex
};

} // namespace orvex
