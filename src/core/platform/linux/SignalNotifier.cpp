#include "core/platform/linux/SignalNotifier.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvex {

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void onInterruptSignal(int)
{
    // Only async-signal-safe calls here.  A full pipe already holds a wake-up, so a failed
    // write loses nothing.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

bool openSelfPipe()
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) == 0)
        return true;
    g_pipe[0] = g_pipe[1] = -1;
    return false;
}

void closeSelfPipe()
{
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace

SignalNotifier::SignalNotifier(QObject *parent)
    : QObject(parent)
{
    // Without a pipe the default handlers stay: Ctrl+C still ends the program, just abruptly.
    if (g_pipe[0] >= 0 || !openSelfPipe())
        return;

    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        drainPipe();
        Q_EMIT interrupted();
    });

    struct sigaction action
    {
    };
    action.sa_handler = onInterruptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_previousInt);
    sigaction(SIGTERM, &action, &m_previousTerm);
}

SignalNotifier::~SignalNotifier()
{
    if (m_notifier == nullptr)
        return;
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    closeSelfPipe();
}

void SignalNotifier::drainPipe()
{
    char buffer[16];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
}

} // namespace orvex
