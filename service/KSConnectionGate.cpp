#include "KSConnectionGate.h"

#include "KSPeerIdentity.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

using Clock = std::chrono::steady_clock;

struct KSConnectionGate::Connection
{
    enum class State {
        Waiting,   // for a whole request head; watched by the gate
        Ready,     // head received, waiting for a worker
        Served,    // a worker has it
        Lingering, // replies done: the client's last bytes are read and dropped
        Closing,   // to be closed by the gate
    };

    int socket = -1;
    std::string client;
    bool owner = false; // of the data folder's own user
    State state = State::Waiting;
    std::string pending; // received and not yet read by the server
    size_t headLength = 0;
    Clock::time_point since;    // when it began waiting or lingering
    Clock::time_point deadline; // of the wait or the lingering
    int requests = 0;
    std::string farewell; // a reply sent before lingering
};

namespace {

constexpr size_t kChunk = 16 * 1024;

// The length of the request head at the start of bytes (through the blank
// line), or 0 while it is incomplete.
size_t headLength(const std::string &bytes)
{
    const size_t end = bytes.find("\r\n\r\n");
    return end == std::string::npos ? 0 : end + 4;
}

std::string refusal(int status, const char *reason, const char *message)
{
    const std::string body = std::string(R"({"status":"0","message":")") + message + "\"}";
    return "HTTP/1.1 " + std::to_string(status) + ' ' + reason
           + "\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: "
           + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace

KSConnectionGate::KSConnectionGate(Limits limits, Serve serve)
    : m_limits(std::move(limits))
    , m_serve(std::move(serve))
    , m_ownerUid(m_limits.ownerUid.value_or(geteuid()))
{
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_watcher = std::thread([this] { watch(); });
    for (int i = 0; i < std::max(1, m_limits.workers); ++i)
        m_workers.emplace_back([this] { work(); });
}

KSConnectionGate::~KSConnectionGate()
{
    stop();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

void KSConnectionGate::wakeWatcher() const
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof(one));
}

void KSConnectionGate::admit(int socket)
{
    const KSPeerIdentity peer = m_limits.identify ? m_limits.identify(socket) : KSPeerIdentity::of(socket);
    const bool owner = peer.uid && *peer.uid == m_ownerUid;
    const int flags = fcntl(socket, F_GETFL, 0);
    fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    // Replies go out as the server writes them, without waiting for acks.
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));

    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->client = peer.key();
    connection->owner = owner;
    connection->since = Clock::now();
    connection->deadline = connection->since + m_limits.headTimeout;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            close(socket);
            return;
        }
        if (!makeRoomFor(connection->client, owner)) {
            connection->state = Connection::State::Closing;
            connection->farewell = refusal(503, "Service Unavailable", "too many connections");
        }
        m_connections.push_back(std::move(connection));
    }
    wakeWatcher();
}

bool KSConnectionGate::makeRoomFor(const std::string &client, bool owner)
{
    using S = Connection::State;
    const auto open = [](const Connection &c) { return c.state != S::Closing; };
    // What may give way: a lingering connection first, then the one that has
    // waited longest for its head; for the owner, also another client's
    // request still waiting for a worker.
    const auto victim = [this, owner](const auto &inScope) -> Connection * {
        Connection *chosen = nullptr;
        for (const auto &c : m_connections) {
            const bool idle = c->state == S::Waiting || c->state == S::Lingering;
            const bool queuedOther = owner && !c->owner && c->state == S::Ready;
            if (!inScope(*c) || !(idle || queuedOther))
                continue;
            const bool better = !chosen || (c->state == S::Lingering && chosen->state != S::Lingering)
                                || (c->state == chosen->state && c->since < chosen->since);
            if (better)
                chosen = c.get();
        }
        return chosen;
    };
    const auto ofClient = [&client](const Connection &c) { return c.client == client; };
    const auto others = [](const Connection &c) { return !c.owner; };
    const auto anyone = [](const Connection &) { return true; };

    int clientCount = 0;
    int total = 0;
    for (const auto &c : m_connections) {
        if (!open(*c))
            continue;
        ++total;
        clientCount += ofClient(*c) ? 1 : 0;
    }
    if (clientCount >= m_limits.maxConnectionsPerClient) {
        Connection *old = victim(ofClient);
        if (!old)
            return false;
        old->state = S::Closing;
        --total;
    }
    if (total >= m_limits.maxConnections) {
        // Other clients never push the owner's connections out.
        Connection *old = victim(others);
        if (!old && owner)
            old = victim(anyone);
        if (!old)
            return false;
        if (old->state == S::Ready)
            old->farewell = refusal(503, "Service Unavailable", "too many connections");
        old->state = S::Closing;
    }
    return true;
}

void KSConnectionGate::watch()
{
    using S = Connection::State;
    std::vector<pollfd> polled;
    std::vector<ConnectionList::iterator> watched;
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        const Clock::time_point now = Clock::now();
        Clock::time_point next = now + std::chrono::seconds(60);
        polled.clear();
        watched.clear();
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            Connection &c = **it;
            const bool watchedState = c.state == S::Waiting || c.state == S::Lingering;
            if (watchedState && now >= c.deadline) {
                // A head begun and not finished hears why it ends.
                if (c.state == S::Waiting && !c.pending.empty())
                    c.farewell = refusal(408, "Request Timeout", "the request took too long to arrive");
                c.state = S::Closing;
            }
            if (c.state == S::Closing && !c.farewell.empty()) {
                [[maybe_unused]] const ssize_t sent =
                    send(c.socket, c.farewell.data(), c.farewell.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                c.farewell.clear();
                shutdown(c.socket, SHUT_WR);
                c.state = S::Lingering;
                c.since = now;
                c.deadline = now + m_limits.linger;
            }
            if (c.state == S::Closing) {
                close(c.socket);
                it = m_connections.erase(it);
                continue;
            }
            if (c.state == S::Waiting || c.state == S::Lingering) {
                polled.push_back({c.socket, POLLIN, 0});
                watched.push_back(it);
                next = std::min(next, c.deadline);
            }
            ++it;
        }
        polled.push_back({m_wakeFd, POLLIN, 0});
        lock.unlock();

        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
        poll(polled.data(), polled.size(), int(std::max<long long>(0, wait)));
        std::uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t drained = ::read(m_wakeFd, &wakes, sizeof(wakes));

        lock.lock();
        bool anyReady = false;
        for (size_t i = 0; i < watched.size(); ++i) {
            Connection &c = **watched[i];
            if (!polled[i].revents || (c.state != S::Waiting && c.state != S::Lingering))
                continue;
            const bool lingering = c.state == S::Lingering;
            bool ended = false;
            char chunk[kChunk];
            for (;;) {
                const size_t room = lingering ? kChunk : std::min(kChunk, m_limits.maxHeadBytes + 1 - c.pending.size());
                const ssize_t received = room ? recv(c.socket, chunk, room, MSG_DONTWAIT) : 0;
                if (received > 0) {
                    if (!lingering)
                        c.pending.append(chunk, size_t(received));
                    if (!lingering && c.pending.size() > m_limits.maxHeadBytes)
                        break;
                    continue;
                }
                if (received < 0 && errno == EINTR)
                    continue;
                ended = received == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
                break;
            }
            if (lingering) {
                if (ended)
                    c.state = S::Closing;
                continue;
            }
            // A client may send its request and then close its side.
            if (const size_t head = headLength(c.pending)) {
                c.headLength = head;
                c.since = Clock::now();
                c.state = S::Ready;
                anyReady = true;
            } else if (c.pending.size() > m_limits.maxHeadBytes) {
                c.farewell = refusal(431, "Request Header Fields Too Large", "the request head is too large");
                c.state = S::Closing;
            } else if (ended) {
                c.state = S::Closing;
            }
        }
        if (anyReady)
            m_readyChanged.notify_all();
    }
}

bool KSConnectionGate::mayServe(const Connection &c) const
{
    const auto found = m_servedPerClient.find(c.client);
    const int served = found == m_servedPerClient.end() ? 0 : found->second;
    if (c.owner)
        return served < m_limits.maxServedPerClient;
    return served < std::min(m_limits.maxServedPerClient, m_limits.maxServedPerOther)
           && m_servedForOthers < m_limits.maxServedByOthers;
}

KSConnectionGate::Connection *KSConnectionGate::nextReady()
{
    Connection *chosen = nullptr;
    for (const auto &c : m_connections) {
        if (c->state != Connection::State::Ready || !mayServe(*c))
            continue;
        const bool first = !chosen || (c->owner != chosen->owner ? c->owner : c->since < chosen->since);
        if (first)
            chosen = c.get();
    }
    return chosen;
}

void KSConnectionGate::work()
{
    for (;;) {
        Connection *connection = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_readyChanged.wait(lock, [&] { return m_stopping || (connection = nextReady()) != nullptr; });
            if (m_stopping)
                return;
            connection->state = Connection::State::Served;
            ++m_servedPerClient[connection->client];
            m_servedForOthers += connection->owner ? 0 : 1;
        }
        // Served: no other thread touches the connection until it comes back.
        bool keep = false;
        {
            KSConnectionStream stream(connection->socket, connection->pending, connection->headLength, m_limits.body);
            const bool last = connection->requests + 1 >= m_limits.maxRequestsPerConnection;
            keep = m_serve(stream, last) && !last && !stream.brokeOff();
        }
        ++connection->requests;
        afterRequest(*connection, keep);
    }
}

void KSConnectionGate::afterRequest(Connection &c, bool keep)
{
    using S = Connection::State;
    {
        std::lock_guard lock(m_mutex);
        const auto served = m_servedPerClient.find(c.client);
        if (served != m_servedPerClient.end() && --served->second <= 0)
            m_servedPerClient.erase(served);
        m_servedForOthers -= c.owner ? 0 : 1;
        const Clock::time_point now = Clock::now();
        c.since = now;
        if (m_stopping) {
            c.state = S::Closing;
        } else if (keep) {
            // A pipelined request may already be here whole.
            c.headLength = headLength(c.pending);
            c.state = c.headLength ? S::Ready : S::Waiting;
            c.deadline = now + m_limits.headTimeout;
        } else {
            shutdown(c.socket, SHUT_WR);
            c.pending.clear();
            c.state = S::Lingering;
            c.deadline = now + m_limits.linger;
        }
    }
    m_readyChanged.notify_all();
    wakeWatcher();
}

void KSConnectionGate::stop()
{
    {
        std::unique_lock lock(m_mutex);
        if (m_stopping && !m_watcher.joinable())
            return;
        m_stopping = true;
        // Requests being served may finish their replies for a moment; then
        // they end at their next read or write.
        const auto served = [this] {
            return std::any_of(m_connections.begin(), m_connections.end(),
                               [](const auto &c) { return c->state == Connection::State::Served; });
        };
        m_readyChanged.wait_for(lock, m_limits.stopGrace, [&] { return !served(); });
        for (const auto &c : m_connections) {
            if (c->state == Connection::State::Served)
                shutdown(c->socket, SHUT_RDWR);
        }
    }
    m_readyChanged.notify_all();
    wakeWatcher();
    if (m_watcher.joinable())
        m_watcher.join();
    for (std::thread &worker : m_workers)
        worker.join();
    m_workers.clear();
    std::lock_guard lock(m_mutex);
    for (const auto &c : m_connections)
        close(c->socket);
    m_connections.clear();
}

KSConnectionGate::Counts KSConnectionGate::counts() const
{
    std::lock_guard lock(m_mutex);
    Counts counts;
    for (const auto &c : m_connections) {
        if (c->state == Connection::State::Closing)
            continue;
        ++counts.open;
        counts.waiting += c->state == Connection::State::Waiting ? 1 : 0;
        counts.served += c->state == Connection::State::Served ? 1 : 0;
    }
    return counts;
}
