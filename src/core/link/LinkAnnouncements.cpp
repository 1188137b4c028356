#include "core/link/LinkAnnouncements.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace orvex {

LinkAnnouncements::LinkAnnouncements(QObject *parent)
    : QObject(parent)
    , m_eventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_notifier(new QSocketNotifier(m_eventFd, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        eventfd_t pushes = 0;
        ::eventfd_read(m_eventFd, &pushes);
        Q_EMIT ready();
    });
}

LinkAnnouncements::~LinkAnnouncements()
{
    delete m_notifier; // before its descriptor goes
    ::close(m_eventFd);
}

// Every push wakes the window thread, also while it is still handing out earlier announcements:
// one of them may have it wait in an event loop of its own (a message box) for the later ones.
void LinkAnnouncements::push(Announcement announcement)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_queue.empty() && std::holds_alternative<LiveSample>(announcement) &&
            std::holds_alternative<LiveSample>(m_queue.back()))
            m_queue.back() = std::move(announcement);
        else
            m_queue.push_back(std::move(announcement));
    }
    ::eventfd_write(m_eventFd, 1);
}

std::optional<LinkAnnouncements::Announcement> LinkAnnouncements::take()
{
    const std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return std::nullopt;
    Announcement next = std::move(m_queue.front());
    m_queue.pop_front();
    return next;
}

} // namespace orvex
