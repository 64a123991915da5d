#include "KSGuardedServer.h"
#include "KSPeerIdentity.h"
#include "RawConnection.h"

#include <QTest>

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

// Limits where other users, played from 127.0.0.N, share `byOthers` of the
// workers, and a body may take a minute between bytes.
KSConnectionGate::Limits sharedWithOthers(int workers, int byOthers, int perOther)
{
    KSConnectionGate::Limits limits;
    limits.workers = workers;
    limits.maxServedByOthers = byOthers;
    limits.maxServedPerOther = perOther;
    limits.body.idle = 60s;
    limits.body.maxBodyBytes = 1000;
    limits.identify = otherUsersByAddress;
    return limits;
}

// A request whose body begins and then stops coming.
std::unique_ptr<RawConnection> stalledBody(int port, const char *from)
{
    auto connection = std::make_unique<RawConnection>(port, from);
    if (!connection->send("POST /count HTTP/1.1\r\nContent-Length: 100\r\n\r\nx"))
        return nullptr;
    return connection;
}

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

    void aBodyMustArriveWithinItsTime()
    {
        // A byte now and then keeps the idle time from running out.
        KSConnectionGate::Limits limits;
        limits.body.idle = 10s;
        limits.body.body = 500ms;
        limits.body.maxBodyBytes = 1000;
        TestServer test(limits);
        RawConnection connection(test.port);
        QVERIFY(connection.send("POST /count HTTP/1.1\r\nContent-Length: 1000\r\n\r\n"));
        connection.trickle(50ms);
        const std::string received = connection.readUntilClosed(8s);
        QVERIFY(connection.closed());
        // Cut off after some of it came.
        const size_t body = received.rfind("\r\n\r\n");
        QVERIFY(body != std::string::npos);
        const long long read = std::stoll(received.substr(body + 4));
        QVERIFY2(read > 0 && read < 1000, received.c_str());
    }

    void otherUsersHoldOnlyTheirShareOfWorkers()
    {
        // Two other users send bodies that never end, more than there are
        // workers; the owner's call is answered beside them.
        TestServer test(sharedWithOthers(4, 2, 1));
        std::vector<std::unique_ptr<RawConnection>> others;
        for (const char *from : {"127.0.0.2", "127.0.0.3"}) {
            for (int i = 0; i < 3; ++i) {
                others.push_back(stalledBody(test.port, from));
                QVERIFY(others.back());
            }
        }
        QTRY_COMPARE(test.server.connectionCounts().open, 6);
        QTRY_COMPARE(test.server.connectionCounts().waiting, 0);

        const httplib::Result result = test.hello();
        QVERIFY(result);
        QCOMPARE(result->status, 200);
        // The owner's worker may still be on its way back to the gate.
        QTRY_COMPARE(test.server.connectionCounts().served, 2);
        for (const auto &connection : others)
            QVERIFY(!connection->closedByServer());
    }

    void theOwnerTakesRoomFromOtherUsers()
    {
        KSConnectionGate::Limits limits = sharedWithOthers(2, 1, 1);
        limits.maxConnections = 3;
        TestServer test(limits);
        // Another user's requests: one read slowly, two waiting for a worker.
        std::vector<std::unique_ptr<RawConnection>> others;
        for (int i = 0; i < 3; ++i) {
            others.push_back(stalledBody(test.port, "127.0.0.2"));
            QVERIFY(others.back());
            QTRY_COMPARE(test.server.connectionCounts().open, i + 1);
        }
        QTRY_COMPARE(test.server.connectionCounts().waiting, 0);

        const httplib::Result result = test.hello();
        QVERIFY(result);
        QCOMPARE(result->status, 200);
        // The request that waited longest for a worker gave way, and heard why.
        const std::string refused = others[1]->readUntilClosed(5s);
        QCOMPARE(refused.substr(0, 12), std::string("HTTP/1.1 503"));
        QVERIFY(!others[0]->closedByServer());
        QVERIFY(!others[2]->closedByServer());
    }

    void otherUsersNeverPushTheOwnersConnectionsOut()
    {
        KSConnectionGate::Limits limits;
        limits.maxConnections = 2;
        limits.identify = otherUsersByAddress;
        TestServer test(limits);
        RawConnection first(test.port), second(test.port);
        QTRY_COMPARE(test.server.connectionCounts().waiting, 2);

        RawConnection other(test.port, "127.0.0.2");
        QVERIFY(other.isConnected());
        QCOMPARE(other.readUntilClosed().substr(0, 12), std::string("HTTP/1.1 503"));
        QVERIFY(!first.closedByServer());
        QVERIFY(!second.closedByServer());
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
