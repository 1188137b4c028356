#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace orvex {

class VirtualDeviceAccess;

// Serves virtual devices on a Unix-domain stream socket, one EmulatorSession per connection.
// The socket is created for this user only.  The devices must outlive the server: a connection
// that ends, including at the server's end, closes its handles on them.
class EmulatorServer : public QObject
{
    Q_OBJECT

public:
    explicit EmulatorServer(VirtualDeviceAccess &access, QObject *parent = nullptr);
    ~EmulatorServer() override;

    // Starts listening at `path`.  A socket file left behind by an emulator that is gone is
    // replaced; a live one is not.  On failure returns false with a message in `error`.
    bool listen(const QString &path, QString *error);
    void close();

    QString socketPath() const { return m_server.fullServerName(); }

    // A client that piles up this many unread reply bytes is disconnected.
    static constexpr qint64 kMaxPendingReplyBytes = 1 << 20;

Q_SIGNALS:
    // Every request line and its reply, for a verbose emulator.
    void lineHandled(const QByteArray &request, const QByteArray &reply);
    void clientConnected();
    void clientDisconnected();

private:
    void acceptConnections();
    bool anotherServerIsListening(const QString &path) const;

    VirtualDeviceAccess &m_access;
    QLocalServer m_server;
};

} // namespace orvex
