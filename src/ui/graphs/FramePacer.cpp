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
qint64 FramePacer::frameInterval() const
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
    const qint64 interval = frameInterval();
    if (!m_lastPaint || now - *m_lastPaint >= interval) {
        release();
    } else if (!m_restTimer.isActive()) {
        m_restTimer.start(static_cast<int>(
            std::clamp<qint64>(*m_lastPaint + 2 * interval - now, 0, 2 * interval)));
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
    for (const Request &request : m_heldBack) {
        if (request.widget)
            request.widget->update(request.rect);
    }
    m_heldBack.clear();
    Q_EMIT released();
}

} // namespace orvex
