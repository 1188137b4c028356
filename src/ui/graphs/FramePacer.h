#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QVarLengthArray>
#include <QWidget>
#include <functional>
#include <optional>

namespace orvex {

// Lets the pictures of one window reach the screen at most once per frame of the screen that
// shows it.  Samples arrive every 10 ms, more often than most screens show frames; a picture
// painted between two frames would be drawn and sent to the display only to be replaced before
// it could be seen.
//
// A view asks through update() for the rows it changed.  When a frame's interval has passed since
// the last paint, the request goes to the widget at once, with any held back; otherwise it is held
// back until the next request after the interval or, when none comes because the inputs came to
// rest, until two intervals after the last paint.  The views always hold their newest picture, so
// what is painted is the newest sample.
class FramePacer : public QObject
{
    Q_OBJECT

public:
    // Paces the views of `window`, at the refresh rate of the screen it is on.
    explicit FramePacer(QWidget *window);

    // Repaints `rect` of `widget` in the next frame.
    void update(QWidget *widget, const QRect &rect);

    // A paced widget was painted: a frame was shown now.
    void notePainted();

    // Requests held back for the next frame.
    int heldBack() const { return static_cast<int>(m_heldBack.size()); }

    // Milliseconds on a steady clock; tests set their own.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // The requests held back went to their widgets.
    void released();

private:
    struct Request
    {
        QPointer<QWidget> widget;
        QRect rect;
    };

    qint64 screenFrameInterval() const;
    void hold(QWidget *widget, const QRect &rect);
    void release();

    QWidget *m_window;
    QElapsedTimer m_started;
    std::function<qint64()> m_clock;
    std::optional<qint64> m_lastPaint;
    qint64 m_frameInterval = 17; // 60 Hz, until the first frame asks the screen
    QTimer m_restTimer;
    QVarLengthArray<Request, 8> m_heldBack;
};

} // namespace orvex
