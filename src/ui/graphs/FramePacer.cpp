#include "ui/graphs/FramePacer.h"

#include <QScreen>
#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr double kUsualRefreshRate = 60;

} // namespace

FramePacer::FramePacer(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    m_started.start();
    m_clock = [this] {
        return m_started.elapsed();
    };
    m_restTimer.setSingleShot(true);
    connect(&m_restTimer, &QTimer::timeout, this, &FramePacer::release);
}

// Whole milliseconds, rounded up, so that frames are never closer than the screen's.
qint64 FramePacer::screenFrameInterval() const
{
    const QScreen *screen = m_window->screen();
    const double rate =
        screen && screen->refreshRate() >= 1 ? screen->refreshRate() : kUsualRefreshRate;
    return static_cast<qint64>(std::ceil(1000 / rate));
}

void FramePacer::update(QWidget *widget, const QRect &rect)
{
    hold(widget, rect);
    const qint64 now = m_clock();
    if (!m_lastPaint || now - *m_lastPaint >= m_frameInterval) {
        release();
    } else if (!m_restTimer.isActive()) {
        const qint64 rest = *m_lastPaint + 2 * m_frameInterval - now;
        m_restTimer.start(static_cast<int>(std::clamp<qint64>(rest, 0, 2 * m_frameInterval)));
    }
}

void FramePacer::notePainted()
{
    m_lastPaint = m_clock();
}

void FramePacer::hold(QWidget *widget, const QRect &rect)
{
    for (Request &request : m_heldBack) {
        if (request.widget == widget) {
            request.rect |= rect;
            return;
        }
    }
    m_heldBack.append({widget, rect});
}

void FramePacer::release()
{
    m_restTimer.stop();
    // Asked once a frame, the screen's rate follows the window to another screen.
    m_frameInterval = screenFrameInterval();
    for (const Request &request : m_heldBack) {
        if (request.widget)
            request.widget->update(request.rect);
    }
    m_heldBack.clear();
    Q_EMIT released();
}

} // namespace orvex
