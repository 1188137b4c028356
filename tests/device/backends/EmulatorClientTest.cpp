// The emulator client against a scripted server on a real Unix-domain socket: replies that come
// in pieces or run on, over-long lines and servers that hang up.

#include "core/backends/emulator/EmulatorClient.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace orvex {
namespace {

// Listens on a socket file and runs a script against the first connection in a thread.
class ScriptedServer
{
public:
    explicit ScriptedServer(const QString &path)
    {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        std::copy_n(native.constData(), native.size(), address.sun_path);
        listening =
            ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 4) == 0;
    }

    ~ScriptedServer()
    {
        finish();
        ::close(m_listener);
    }

    void run(std::function<void(int connection)> script)
    {
        m_thread = std::thread([this, script = std::move(script)] {
            const int connection = ::accept(m_listener, nullptr, nullptr);
            script(connection);
            ::close(connection);
        });
    }

    void finish()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    bool listening = false;

private:
    int m_listener = -1;
    std::thread m_thread;
};

QByteArray readRequest(int connection)
{
    QByteArray line;
    char byte = 0;
    while (::read(connection, &byte, 1) == 1 && byte != '\n')
        line += byte;
    return line;
}

void send(int connection, const QByteArray &bytes)
{
    ASSERT_EQ(::write(connection, bytes.constData(), bytes.size()), bytes.size());
}

class EmulatorClientTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid() && server.listening); }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("scripted.sock"));
    ScriptedServer server{path};
    EmulatorClient client{path, 2000};
};

TEST_F(EmulatorClientTest, RepliesInPiecesAndRunOnBytesMakeWholeLines)
{
    server.run([](int connection) {
        EXPECT_EQ(readRequest(connection), "FIRST");
        send(connection, "OK 1");
        send(connection, "2\nOK 3");
        EXPECT_EQ(readRequest(connection), "SECOND");
        send(connection, "4\n");
        EXPECT_EQ(readRequest(connection), "LONGEST");
        send(connection, QByteArray(EmulatorClient::kMaxReplyLength, 'x') + '\n');
    });
    EXPECT_EQ(client.roundTrip("FIRST"), "OK 12");
    EXPECT_EQ(client.roundTrip("SECOND"), "OK 34");
    EXPECT_EQ(client.roundTrip("LONGEST"), QByteArray(EmulatorClient::kMaxReplyLength, 'x'));
    EXPECT_EQ(client.lastFailure(), EmulatorClient::Failure::None);
    EXPECT_EQ(client.connectionNumber(), 1);
}

TEST_F(EmulatorClientTest, OverlongReplyIsAnErrorAndDropsTheConnection)
{
    server.run([](int connection) {
        readRequest(connection);
        send(connection, QByteArray(EmulatorClient::kMaxReplyLength + 1, 'x') + "\nOK\n");
    });
    EXPECT_EQ(client.roundTrip("DUMP 1"), std::nullopt);
    EXPECT_EQ(client.lastFailure(), EmulatorClient::Failure::ProtocolError);
    EXPECT_FALSE(client.isConnected());
}

TEST_F(EmulatorClientTest, ServerHangingUpMidReplyIsADisconnection)
{
    server.run([](int connection) {
        readRequest(connection);
        send(connection, "OK par");
    });
    EXPECT_EQ(client.roundTrip("STATE 1"), std::nullopt);
    EXPECT_EQ(client.lastFailure(), EmulatorClient::Failure::Disconnected);
    EXPECT_FALSE(client.isConnected());
}

// Writing to a closed peer must fail the exchange, not raise SIGPIPE and end the program.
TEST_F(EmulatorClientTest, RequestToServerThatWentAwayFailsQuietly)
{
    server.run([](int) {});
    ASSERT_TRUE(client.ensureConnected());
    server.finish();
    EXPECT_EQ(client.roundTrip("STATE 1"), std::nullopt);
    EXPECT_EQ(client.lastFailure(), EmulatorClient::Failure::Disconnected);
    EXPECT_FALSE(client.isConnected());
}

TEST_F(EmulatorClientTest, RequestHoldingALineBreakIsRefusedUnsent)
{
    server.run([](int connection) {
        EXPECT_EQ(readRequest(connection), "STATE 2");
        send(connection, "OK\n");
    });
    EXPECT_EQ(client.roundTrip("CLOSE 1\nOPEN 6148"), std::nullopt);
    EXPECT_EQ(client.lastFailure(), EmulatorClient::Failure::ProtocolError);
    EXPECT_EQ(client.roundTrip("STATE 2"), "OK");
}

TEST(EmulatorClient, UnreachableOrUnusableSocketPathsFailCleanly)
{
    for (const QString &path : {QString(), QStringLiteral("/nonexistent/orvex.sock"),
                                QStringLiteral("/tmp/") + QString(200, u'n')}) {
        EmulatorClient client(path);
        EXPECT_FALSE(client.ensureConnected());
        EXPECT_EQ(client.roundTrip("STATE 1"), std::nullopt);
        EXPECT_EQ(client.lastFailure(), EmulatorClient::Failure::Unreachable);
        EXPECT_EQ(client.connectionNumber(), 0);
    }
}

} // namespace
} // namespace orvex
