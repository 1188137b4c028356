#pragma once

#include <QApplication>
#include <QElapsedTimer>

namespace orvex::bench {

// The application object of the window benchmarks.  It times every event it delivers, from the
// event loop down: the longest of them is the longest time the window thread could not have
// answered the user.
class BenchApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        QElapsedTimer timer;
        timer.start();
        const bool handled = QApplication::notify(receiver, event);
        m_longestNs = std::max(m_longestNs, timer.nsecsElapsed());
        --m_depth;
        return handled;
    }

    static BenchApplication *instance() { return static_cast<BenchApplication *>(qApp); }
    void resetLongestEvent() { m_longestNs = 0; }
    double longestEventMs() const { return static_cast<double>(m_longestNs) / 1e6; }

private:
    int m_depth = 0;
    qint64 m_longestNs = 0;
};

} // namespace orvex::bench
