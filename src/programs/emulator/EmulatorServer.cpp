#include "programs/emulator/EmulatorServer.h"

#include "programs/emulator/EmulatorProtocol.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <memory>
#include <sys/stat.h>

namespace orvex {

namespace {

// One client's protocol state; lives exactly as long as its socket.
struct Connection
{
    explicit Connection(VirtualDeviceAccess &access)
        : session(access)
    {}

    LineFramer framer;
    EmulatorSession session;
};

// Only a socket may be replaced: a mistyped --socket must never delete a user's file.
bool isSocketFile(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

} // namespace

EmulatorServer::EmulatorServer(VirtualDeviceAccess &access, QObject *parent)
    : QObject(parent)
    , m_access(access)
    , m_server(this)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &EmulatorServer::acceptConnections);
}

EmulatorServer::~EmulatorServer()
{
    close();
}

bool EmulatorServer::listen(const QString &path, QString *error)
{
    // Checked first: with user-only access QLocalServer binds elsewhere and renames the socket
    // into place, which would silently take the path over from a running emulator.
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        if (!isSocketFile(path)) {
            *error = QStringLiteral("%1 exists and is not a socket; not replacing it").arg(path);
            return false;
        }
        if (anotherServerIsListening(path)) {
            *error = QStringLiteral("Another emulator is already serving %1").arg(path);
            return false;
        }
        QLocalServer::removeServer(path);
    }
    if (m_server.listen(path))
        return true;
    *error = QStringLiteral("Cannot listen at %1: %2").arg(path, m_server.errorString());
    return false;
}

bool EmulatorServer::anotherServerIsListening(const QString &path) const
{
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(1000);
}

void EmulatorServer::close()
{
    // Ending the connections closes their handles while the devices are still there.
    const auto sockets = m_server.findChildren<QLocalSocket *>();
    for (QLocalSocket *socket : sockets)
        delete socket;
    m_server.close();
}

void EmulatorServer::acceptConnections()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        auto connection = std::make_shared<Connection>(m_access);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, connection] {
            connection->framer.append(socket->readAll());
            while (connection->framer.hasLine()) {
                const LineFramer::Line line = connection->framer.takeLine();
                const QByteArray reply = connection->session.handle(line);
                socket->write(reply + '\n');
                Q_EMIT lineHandled(line.overlong ? QByteArray("<overlong line>") : line.text,
                                   reply);
            }
            if (socket->bytesToWrite() > kMaxPendingReplyBytes)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            socket->deleteLater();
            Q_EMIT clientDisconnected();
        });
        Q_EMIT clientConnected();
    }
}

} // namespace orvex
