#pragma once

#include <QObject>

class QSocketNotifier;

namespace orvex {

// Quits the application on SIGINT and SIGTERM from inside the event loop, so that the
// emulator removes its socket and closes every handle on the way out.  The signal handler only
// writes a byte to a socket pair; everything else runs as an ordinary event.
class QuitOnSignal : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject *parent = nullptr);
    ~QuitOnSignal() override;

    bool isInstalled() const { return m_notifier != nullptr; }

private:
    static void handleSignal(int signal);
    void quit();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace orvex
