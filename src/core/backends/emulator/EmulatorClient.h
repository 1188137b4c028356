#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QString>
#include <optional>

namespace orvex {

// A synchronous line client of the emulator: sends one request line and waits, bounded by a
// time-out, for its reply line.  Works without an event loop; use it from one thread only.
// It polls the device a hundred times a second, so it talks to a plain blocking Unix-domain
// socket: an exchange costs one send and one read, which waits for the reply, and its buffers
// are kept from one exchange to the next.
class EmulatorClient
{
public:
    enum class Failure { None, Unreachable, Timeout, Disconnected, ProtocolError };

    explicit EmulatorClient(QString socketPath, int timeoutMs = kDefaultTimeoutMs);
    ~EmulatorClient();

    EmulatorClient(const EmulatorClient &) = delete;
    EmulatorClient &operator=(const EmulatorClient &) = delete;

    // Connects when not connected.  False when the socket cannot be reached.
    bool ensureConnected();
    bool isConnected() const;
    void disconnect();

    // The reply line without its newline, or nothing (see lastFailure()).  A request that
    // fails drops the connection: a late reply must not be taken for the next request's.
    // A line holding a line break would be two requests and is refused (ProtocolError).
    std::optional<QByteArray> roundTrip(QByteArrayView line);

    Failure lastFailure() const { return m_lastFailure; }

    // Counts the connections made; handles of an earlier connection are gone on the server.
    int connectionNumber() const { return m_connectionNumber; }

    QString socketPath() const { return m_socketPath; }

    static constexpr int kDefaultTimeoutMs = 2000;
    // Longest reply accepted (the memory dump is the longest the emulator sends).
    static constexpr qint64 kMaxReplyLength = 4096;

private:
    enum class Wait { InRead, WithPoll };

    std::optional<QByteArray> fail(Failure failure);
    bool connectSocket();
    Failure sendAll(QByteArrayView data, const QDeadlineTimer &deadline);
    Failure receiveMore(const QDeadlineTimer &deadline, Wait wait);
    std::optional<QByteArray> takeReplyLine();
    void reclaimLentBuffer();

    QString m_socketPath;
    int m_timeoutMs;
    int m_fd = -1;
    // The socket's reads give up after the time-out by themselves.
    bool m_readsTimeOut = false;
    // The request line with its newline.
    QByteArray m_request;
    // Bytes received past the last reply line; they begin the next reply.
    QByteArray m_received;
    // The buffer of the last reply line handed out whole; reused once its caller let go of it.
    QByteArray m_lent;
    Failure m_lastFailure = Failure::None;
    int m_connectionNumber = 0;
};

} // namespace orvex
