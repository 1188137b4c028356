#include "core/backends/emulator/EmulatorClient.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace orvex {

namespace {

// The socket file a name stands for; a bare name lives in the temporary folder, where the
// emulator's server puts it too.
QByteArray socketFileName(const QString &name)
{
    const QString path = name.startsWith(u'/') ? name : QDir::tempPath() + u'/' + name;
    return QFile::encodeName(path);
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
}

// Waits for the socket to become ready for `events`.  False on time-out.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, remainingMs(deadline));
        if (ready > 0)
            return true; // readiness, hang-up or error: the next call tells which
        if (ready == 0 || errno != EINTR || deadline.hasExpired())
            return false;
    }
}

} // namespace

EmulatorClient::EmulatorClient(QString socketPath, int timeoutMs)
    : m_socketPath(std::move(socketPath))
    , m_timeoutMs(timeoutMs)
{}

EmulatorClient::~EmulatorClient()
{
    disconnect();
}

bool EmulatorClient::isConnected() const
{
    return m_fd >= 0;
}

bool EmulatorClient::ensureConnected()
{
    if (isConnected())
        return true;
    if (!connectSocket())
        return false;
    ++m_connectionNumber;
    return true;
}

bool EmulatorClient::connectSocket()
{
    const QByteArray fileName = socketFileName(m_socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socketPath.isEmpty() || fileName.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::copy_n(fileName.constData(), fileName.size(), address.sun_path);

    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    // A blocking connect waits while the server's backlog is full; the send time-out bounds
    // that wait.  Sends themselves never block (MSG_DONTWAIT), so it matters nowhere else.  The
    // receive time-out bounds the read that waits for a reply (zero would mean no bound).
    const timeval timeout{m_timeoutMs / 1000, (m_timeoutMs % 1000) * 1000};
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    m_readsTimeOut = m_timeoutMs > 0 &&
                     ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0;

    const QDeadlineTimer deadline(m_timeoutMs);
    for (;;) {
        if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            break;
        // An interrupted connect goes on in the background; a second call reports it.
        if (errno == EISCONN)
            break;
        if ((errno != EINTR && errno != EALREADY) || deadline.hasExpired()) {
            disconnect();
            return false;
        }
    }
    return true;
}

void EmulatorClient::disconnect()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_received.clear();
}

std::optional<QByteArray> EmulatorClient::fail(Failure failure)
{
    m_lastFailure = failure;
    disconnect();
    return std::nullopt;
}

EmulatorClient::Failure EmulatorClient::sendAll(QByteArrayView data, const QDeadlineTimer &deadline)
{
    while (!data.isEmpty()) {
        // MSG_NOSIGNAL: a server that went away is an error here, not a SIGPIPE that ends
        // the program.
        const ssize_t sent = ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            data = data.sliced(sent);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(m_fd, POLLOUT, deadline))
                return Failure::Timeout;
        } else if (errno != EINTR) {
            return Failure::Disconnected;
        }
    }
    return Failure::None;
}

// Waits for more of the reply and appends it.  The first wait of an exchange is the read itself,
// which the socket's receive time-out bounds: one system call instead of a poll and a read.  A
// reply that comes in pieces, or a read that a signal interrupted, waits with poll() for what is
// left of the deadline.
EmulatorClient::Failure EmulatorClient::receiveMore(const QDeadlineTimer &deadline, Wait wait)
{
    if (wait == Wait::InRead && !m_readsTimeOut)
        wait = Wait::WithPoll;
    if (wait == Wait::WithPoll && !waitFor(m_fd, POLLIN, deadline))
        return Failure::Timeout;
    reclaimLentBuffer();
    // Room for the longest reply; anything beyond it is an error found by the caller.
    constexpr qsizetype chunk = kMaxReplyLength + 1;
    const qsizetype held = m_received.size();
    m_received.resize(held + chunk);
    for (;;) {
        const int flags = wait == Wait::InRead ? 0 : MSG_DONTWAIT;
        const ssize_t got = ::recv(m_fd, m_received.data() + held, chunk, flags);
        if (got > 0) {
            m_received.resize(held + got);
            return Failure::None;
        }
        if (got < 0 && errno == EINTR) {
            wait = Wait::WithPoll;
            if (waitFor(m_fd, POLLIN, deadline))
                continue;
            m_received.resize(held);
            return Failure::Timeout;
        }
        m_received.resize(held);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A waiting read gives up only when the time is up; after poll() it is a false alarm.
            if (wait == Wait::InRead || deadline.hasExpired())
                return Failure::Timeout;
            return Failure::None;
        }
        return Failure::Disconnected; // end of stream or a reset connection
    }
}

// The buffer of the last reply is taken back once nobody else holds it, so that exchanges after
// the first reuse the same storage.
void EmulatorClient::reclaimLentBuffer()
{
    if (m_received.isNull() && m_lent.isDetached()) {
        m_received.swap(m_lent);
        m_received.resize(0);
    }
}

// The first complete line received, without its newline.  Nothing while the line is still
// coming; an over-long line is a ProtocolError in lastFailure().
std::optional<QByteArray> EmulatorClient::takeReplyLine()
{
    const qsizetype end = m_received.indexOf('\n');
    const qsizetype length = end < 0 ? m_received.size() : end;
    if (length > kMaxReplyLength) {
        m_lastFailure = Failure::ProtocolError;
        return std::nullopt;
    }
    if (end < 0)
        return std::nullopt;
    if (end + 1 < m_received.size()) {
        QByteArray line = m_received.first(end);
        m_received.remove(0, end + 1);
        return line;
    }
    // The usual case: the buffer holds this one line, and goes to the caller as it is.
    QByteArray line = std::exchange(m_received, QByteArray());
    line.truncate(end);
    m_lent = line;
    return line;
}

std::optional<QByteArray> EmulatorClient::roundTrip(QByteArrayView line)
{
    if (line.contains('\n'))
        return fail(Failure::ProtocolError);
    if (!ensureConnected())
        return fail(Failure::Unreachable);

    const QDeadlineTimer deadline(m_timeoutMs);
    m_lastFailure = Failure::None;
    m_request.resize(0); // keeps its storage
    m_request.append(line).append('\n');
    if (const Failure failure = sendAll(m_request, deadline); failure != Failure::None)
        return fail(failure);

    Wait wait = Wait::InRead;
    for (;;) {
        if (std::optional<QByteArray> reply = takeReplyLine())
            return reply;
        if (m_lastFailure != Failure::None)
            return fail(m_lastFailure);
        if (const Failure failure = receiveMore(deadline, wait); failure != Failure::None)
            return fail(failure);
        wait = Wait::WithPoll;
    }
}

} // namespace orvex
