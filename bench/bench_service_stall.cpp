// Whether one local client can stall the service: N connections each send a
// request line and nothing more, then a legitimate call is timed (goal: with
// 64 such connections open, it answers in under 2 s).
//   bench_service_stall [--connections N]
// Also shown for 8 and 20 connections, the counts that stalled the service
// when each connection held a worker of a small pool.
#include "KSLocalService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

int halfOpenConnection(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char line[] = "GET /api/authentications HTTP/1.1\r\n";
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
        || send(fd, line, sizeof(line) - 1, MSG_NOSIGNAL) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Seconds until the call answered, or a negative number when it did not.
double legitimateCall(const KSLocalService &service)
{
    httplib::Client client("127.0.0.1", service.port());
    client.set_read_timeout(60, 0);
    client.set_connection_timeout(60, 0);
    QElapsedTimer clock;
    clock.start();
    const httplib::Result result =
        client.Get("/api/authentications", {{"Authorization", "Bearer " + service.localToken().toStdString()}});
    const double seconds = clock.nsecsElapsed() / 1e9;
    return result && result->status == 200 ? seconds : -1.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int goalConnections = 64;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--connections"))
            goalConnections = std::max(1, std::atoi(argv[i + 1]));
    }
    QTemporaryDir home;
    KSLocalService service;
    KSLocalService::Options options;
    options.dataDir = home.filePath(QStringLiteral("service"));
    options.modelDescription = QStringLiteral("none");
    if (!service.start(options)) {
        std::fprintf(stderr, "the service did not start: %s\n", qPrintable(service.errorString()));
        return 1;
    }

    bool goalMet = false;
    std::printf("half-open connections   legitimate call answered in (worst of 5)\n");
    for (const int count : {8, 20, goalConnections}) {
        std::vector<int> sockets;
        for (int i = 0; i < count; ++i) {
            const int fd = halfOpenConnection(service.port());
            if (fd >= 0)
                sockets.push_back(fd);
        }
        // Every connection has reached the service before the calls.
        for (int wait = 0; wait < 2000 && service.connectionCounts().waiting < int(sockets.size()); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        double worst = 0;
        for (int call = 0; call < 5; ++call) {
            const double seconds = legitimateCall(service);
            worst = seconds < 0 || worst < 0 ? -1.0 : std::max(worst, seconds);
        }
        const int stillOpen = service.connectionCounts().open;
        std::printf("%22d   %s (%d connections open after the calls)\n", int(sockets.size()),
                    worst < 0 ? "NO ANSWER" : qPrintable(QStringLiteral("%1 s").arg(worst, 0, 'f', 3)), stillOpen);
        if (count == goalConnections)
            goalMet = worst >= 0 && worst < 2.0 && int(sockets.size()) == count;
        for (const int fd : sockets)
            close(fd);
    }
    std::printf("goal: with %d half-open connections a legitimate call answers in under 2 s: %s\n", goalConnections,
                goalMet ? "met" : "NOT met");
    service.stop();
    return goalMet ? 0 : 1;
}
