#include "device/backends/EmulatorClient.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace orvex {

EmulatorClient::EmulatorClient(QString socketPath, int timeoutMs)
    : m_socketPath(std::move(socketPath))
    , m_timeoutMs(timeoutMs)
{}

EmulatorClient::~EmulatorClient() = default;

bool EmulatorClient::isConnected() const
{
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

bool EmulatorClient::ensureConnected()
{
    if (isConnected())
        return true;
    m_socket = std::make_unique<QLocalSocket>();
    m_socket->connectToServer(m_socketPath);
    if (!m_socket->waitForConnected(m_timeoutMs)) {
        m_socket.reset();
        return false;
    }
    ++m_connectionNumber;
    return true;
}

void EmulatorClient::disconnect()
{
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
}

std::optional<QByteArray> EmulatorClient::fail(Failure failure)
{
    m_lastFailure = failure;
    disconnect();
    return std::nullopt;
}

std::optional<QByteArray> EmulatorClient::roundTrip(QByteArrayView line)
{
    if (!ensureConnected())
        return fail(Failure::Unreachable);

    const QDeadlineTimer deadline(m_timeoutMs);
    m_socket->write(line.toByteArray() + '\n');
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return fail(isConnected() ? Failure::Timeout : Failure::Disconnected);
    }
    while (!m_socket->canReadLine()) {
        if (m_socket->bytesAvailable() > kMaxReplyLength)
            return fail(Failure::ProtocolError);
        if (deadline.hasExpired() ||
            !m_socket->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return fail(isConnected() ? Failure::Timeout : Failure::Disconnected);
    }
    QByteArray reply = m_socket->readLine(kMaxReplyLength + 1);
    if (!reply.endsWith('\n'))
        return fail(Failure::ProtocolError);
    reply.chop(1);
    m_lastFailure = Failure::None;
    return reply;
}

} // namespace orvex
