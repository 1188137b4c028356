#pragma once

#include <QObject>
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace orvex {

// Turns SIGINT and SIGTERM into a Qt signal on the event loop.  The signal handler only writes
// one byte into a pipe (the self-pipe pattern); everything else happens in interrupted(), so a
// program can close its handles, release the device or remove its socket before it ends.  One
// instance at a time; the previous handlers come back when it is destroyed.
class SignalNotifier : public QObject
{
    Q_OBJECT

public:
    explicit SignalNotifier(QObject *parent = nullptr);
    ~SignalNotifier() override;

    bool isActive() const { return m_notifier != nullptr; }

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
};

} // namespace orvex
