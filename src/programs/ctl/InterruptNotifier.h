#pragma once

#include <QObject>
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace orvex::ctl {

// Turns SIGINT and SIGTERM into a Qt signal on the event loop.  The signal handler only writes
// one byte into a pipe (the self-pipe pattern); everything else happens in interrupted(), so the
// program can close its handles and release the device before it ends.  One instance at a time;
// the previous handlers come back when it is destroyed.
class InterruptNotifier : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

    bool isActive() const { return m_notifier != nullptr; }
    bool wasInterrupted() const { return m_interrupted; }

Q_SIGNALS:
    void interrupted();

private:
    void drainPipe();

    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previousInt
    {
    };
    struct sigaction m_previousTerm
    {
    };
    bool m_interrupted = false;
};

} // namespace orvex::ctl
