#include "KSGuardedServer.h"
#include "KSPeerIdentity.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A guarded server on 127.0.0.1 with two routes: a greeting, and one that
// counts the bytes of the body it is sent.
class TestServer
{
public:
    explicit TestServer(KSConnectionGate::Limits limits)
        : server(limits)
    {
        server.Get("/hello", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("hello", "text/plain");
        });
        server.Post("/count", [](const httplib::Request &, httplib::Response &res, const httplib::ContentReader &read) {
            size_t count = 0;
            read([&count](const char *, size_t length) {
                count += length;
                return true;
            });
            res.set_content(std::to_string(count), "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        for (int i = 0; i < 5000 && !server.is_running(); ++i)
            std::this_thread::sleep_for(1ms);
    }
    ~TestServer()
    {
        server.stop();
        thread.join();
    }

    httplib::Result hello() const
    {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(10, 0);
        return client.Get("/hello");
    }

    KSGuardedServer server;
    int port = 0;
    std::thread thread;
};

// A raw connection that sends what a test says and reads what comes back.
class RawConnection
{
public:
    explicit RawConnection(int port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~RawConnection()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    bool isConnected() const { return m_fd >= 0; }
    bool send(const std::string &bytes) const
    {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }

    // Everything until the server closes, or what came within the wait.
    std::string readUntilClosed(std::chrono::milliseconds wait = 10s)
    {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd watched{m_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&watched, 1, int(left.count())) <= 0)
                return received;
            char chunk[4096];
            const ssize_t n = recv(m_fd, chunk, sizeof(chunk), 0);
            if (n <= 0) {
                m_closed = true;
                return received;
            }
            received.append(chunk, size_t(n));
        }
    }

    // Whether the server has closed the connection (without waiting).
    bool closedByServer()
    {
        char byte;
        const ssize_t n = recv(m_fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }

    bool closed() const { return m_closed; }

private:
    int m_fd = -1;
    bool m_closed = false;
};

int countOf(const std::string &text, const std::string &part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

// The gate in front of the service's HTTP server, over real sockets: what a
// client that sends half a request, too many connections or too long a body
// can and cannot hold up.
class TestConnectionGate : public QObject
{
    Q_OBJECT

private slots:
    void halfOpenConnectionsDoNotStallACall()
    {
        // More than the workers there are: each would hold one.
        KSConnectionGate::Limits limits;
        limits.workers = 4;
        limits.maxServedPerClient = 2;
        TestServer test(limits);
        std::vector<std::unique_ptr<RawConnection>> halfOpen;
        for (int i = 0; i < 12; ++i) {
            halfOpen.push_back(std::make_unique<RawConnection>(test.port));
            QVERIFY(halfOpen.back()->send("GET /hello HTTP/1.1\r\n"));
        }
        QTRY_COMPARE(test.server.connectionCounts().waiting, 12);

        const httplib::Result result = test.hello();
        QVERIFY(result);
        QCOMPARE(result->body, std::string("hello"));
        // Answered while every half-open connection was still waiting for
        // its head, not after their time ran out.
        for (const auto &connection : halfOpen)
            QVERIFY(!connection->closedByServer());
    }

    void headsThatDoNotArriveInTimeEndTheConnection_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("reply");

        QTest::newRow("a request line alone hears why") << QByteArray("GET /hello HTTP/1.1\r\nHost: x\r\n") << QByteArray("408");
        QTest::newRow("a silent connection is closed") << QByteArray() << QByteArray();
    }

    void headsThatDoNotArriveInTimeEndTheConnection()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, reply);
        KSConnectionGate::Limits limits;
        limits.headTimeout = 300ms;
        TestServer test(limits);
        RawConnection connection(test.port);
        if (!sent.isEmpty())
            QVERIFY(connection.send(sent.toStdString()));
        const std::string received = connection.readUntilClosed();
        QVERIFY(connection.closed());
        QCOMPARE(QByteArray::fromStdString(received).mid(9, 3), reply);
    }

    void aClientsOldestWaitingConnectionGivesWay()
    {
        KSConnectionGate::Limits limits;
        limits.maxConnectionsPerClient = 4;
        TestServer test(limits);
        std::vector<std::unique_ptr<RawConnection>> idle;
        for (int i = 0; i < 4; ++i) {
            idle.push_back(std::make_unique<RawConnection>(test.port));
            QTRY_COMPARE(test.server.connectionCounts().waiting, i + 1);
        }
        const httplib::Result result = test.hello();
        QVERIFY(result);
        QCOMPARE(result->status, 200);
        QTRY_VERIFY(idle.front()->closedByServer());
        for (size_t i = 1; i < idle.size(); ++i)
            QVERIFY(!idle[i]->closedByServer());
    }

    void aHeadTooLargeIsRefused()
    {
        KSConnectionGate::Limits limits;
        TestServer test(limits);
        RawConnection connection(test.port);
        QVERIFY(connection.send("GET /hello HTTP/1.1\r\nX-Filler: " + std::string(limits.maxHeadBytes, 'a') + "\r\n\r\n"));
        const std::string received = connection.readUntilClosed();
        QCOMPARE(received.substr(0, 12), std::string("HTTP/1.1 431"));
    }

    void keptAliveConnectionsCarryPipelinedRequests()
    {
        TestServer test{KSConnectionGate::Limits()};
        RawConnection connection(test.port);
        const std::string request = "GET /hello HTTP/1.1\r\nHost: x\r\n\r\n";
        QVERIFY(connection.send(request + request));
        std::string received;
        QTRY_VERIFY((received += connection.readUntilClosed(50ms), countOf(received, "hello") == 2));
        // The connection is kept for the next request.
        QVERIFY(!connection.closed());
        QVERIFY(connection.send("GET /hello HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
        received = connection.readUntilClosed();
        QCOMPARE(countOf(received, "hello"), 1);
        QVERIFY(connection.closed());
    }

    void bodiesAreCutAtTheirLimitAndTheirIdleTime_data()
    {
        QTest::addColumn<QByteArray>("request");

        const QByteArray chunk = "1000\r\n" + QByteArray(0x1000, 'b') + "\r\n";
        QTest::newRow("a chunked body past the limit")
            << "POST /count HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk.repeated(16) + "0\r\n\r\n";
        QTest::newRow("a body that stops coming")
            << QByteArray("POST /count HTTP/1.1\r\nContent-Length: 100\r\n\r\n0123456789");
    }

    void bodiesAreCutAtTheirLimitAndTheirIdleTime()
    {
        QFETCH(QByteArray, request);
        KSConnectionGate::Limits limits;
        limits.body.maxBodyBytes = 20000;
        limits.body.idle = 300ms;
        TestServer test(limits);
        RawConnection connection(test.port);
        QVERIFY(connection.send(request.toStdString()));
        const std::string received = connection.readUntilClosed();
        QVERIFY(connection.closed());
        // The handler heard of no more than the limit.
        const size_t body = received.rfind("\r\n\r\n");
        QVERIFY(body != std::string::npos);
        QVERIFY2(std::stoll(received.substr(body + 4)) <= limits.body.maxBodyBytes, received.c_str());
    }

    void aLocalPeerIsKnownByItsUser()
    {
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        QCOMPARE(listen(listener, 1), 0);
        socklen_t length = sizeof(address);
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
        RawConnection client(ntohs(address.sin_port));
        QVERIFY(client.isConnected());
        const int accepted = accept(listener, nullptr, nullptr);
        const KSPeerIdentity peer = KSPeerIdentity::of(accepted);
        close(accepted);
        close(listener);
        QCOMPARE(peer.address, std::string("127.0.0.1"));
        QVERIFY(peer.uid.has_value());
        QCOMPARE(*peer.uid, getuid());
        QCOMPARE(peer.key(), "uid " + std::to_string(getuid()));
    }
};

QTEST_GUILESS_MAIN(TestConnectionGate)
#include "tst_connectiongate.moc"
