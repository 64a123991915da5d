#pragma once

#include "KSConnectionStream.h"
#include "KSPeerIdentity.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Stands between accepted connections and the threads that serve requests,
// so that one client cannot stall the service: a connection gets a worker
// only once its whole request head has arrived (one thread watches every
// waiting connection), a head must arrive within a short time, each client
// (a local user, or a remote address) may hold only so many connections and
// workers at once, and a worker returns a kept-alive connection to the gate
// between requests instead of waiting on it. The data folder's owner keeps
// workers of its own: other local users get a small share between them,
// and the owner's requests are served first.
class KSConnectionGate
{
public:
    struct Limits
    {
        // A request's line and headers must arrive within this time of the
        // connection's start or of the previous reply.
        std::chrono::milliseconds headTimeout{5000};
        size_t maxHeadBytes = 16 * 1024;
        KSConnectionStream::Limits body;
        // Open connections of one client and of all; past them the client's
        // (or anyone's) connection that has waited longest for its head goes.
        int maxConnectionsPerClient = 128;
        int maxConnections = 512;
        // Requests served at once: of one client, and of all (the workers).
        // Twice the one below the other, so another client always finds a
        // worker free.
        int maxServedPerClient = 12;
        int workers = 24;
        // Clients other than the owner: what they may hold together, and
        // each. The rest of the workers is the owner's alone, so a user who
        // cannot read the data folder's token cannot delay its owner.
        int maxServedByOthers = 6;
        int maxServedPerOther = 3;
        // The user whose requests are the owner's; unset: this process's.
        std::optional<uid_t> ownerUid;
        // Who is at the other end of an accepted socket; empty:
        // KSPeerIdentity::of. Tests and benchmarks play other users with it.
        std::function<KSPeerIdentity(int socket)> identify;
        int maxRequestsPerConnection = 100;
        // After the last reply, the client's remaining bytes are read and
        // dropped this long, so that it sees the reply rather than a reset.
        std::chrono::milliseconds linger{1000};
        // On stop, requests being served have this long to finish.
        std::chrono::milliseconds stopGrace{2000};
    };

    // Serves one request; `last` asks the server to close after it. Returns
    // whether the connection may carry another request.
    using Serve = std::function<bool(KSConnectionStream &stream, bool last)>;

    struct Counts
    {
        int open = 0;
        int waiting = 0; // for a request head
        int served = 0;
    };

    KSConnectionGate(Limits limits, Serve serve);
    ~KSConnectionGate();
    KSConnectionGate(const KSConnectionGate &) = delete;
    KSConnectionGate &operator=(const KSConnectionGate &) = delete;

    // Takes an accepted socket over; returns at once.
    void admit(int socket);
    // Closes every connection and ends the threads; requests being served
    // are cut short.
    void stop();

    [[nodiscard]] Counts counts() const;

private:
    struct Connection;
    using ConnectionList = std::list<std::unique_ptr<Connection>>;

    void watch();
    void work();
    // Under the lock: the next connection with a head whose client may be
    // served, the owner's first, then the one ready longest.
    [[nodiscard]] Connection *nextReady();
    // Under the lock: whether a worker may take a request of this client now.
    [[nodiscard]] bool mayServe(const Connection &connection) const;
    // Under the lock: makes room for one more connection of client; false
    // when nothing can give way.
    [[nodiscard]] bool makeRoomFor(const std::string &client, bool owner);
    void afterRequest(Connection &connection, bool keep);
    void wakeWatcher() const;

    const Limits m_limits;
    const Serve m_serve;
    mutable std::mutex m_mutex;
    std::condition_variable m_readyChanged;
    ConnectionList m_connections;
    std::map<std::string, int> m_servedPerClient;
    int m_servedForOthers = 0;
    uid_t m_ownerUid;
    bool m_stopping = false;
    int m_wakeFd = -1;
    std::thread m_watcher;
    std::vector<std::thread> m_workers;
};
