#include "KSConnectionStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Bytes taken from the socket at once: the server reads lines byte by byte.
constexpr size_t kReceiveChunk = 16 * 1024;

void addressOf(int socket, bool peer, std::string &ip, int &port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    const int rc = peer ? getpeername(socket, reinterpret_cast<sockaddr *>(&address), &length)
                        : getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length);
    ip.clear();
    port = 0;
    if (rc != 0)
        return;
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto &v4 = reinterpret_cast<const sockaddr_in &>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto &v6 = reinterpret_cast<const sockaddr_in6 &>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

} // namespace

KSConnectionStream::KSConnectionStream(int socket, std::string &pending, size_t headLength, Limits limits)
    : m_socket(socket)
    , m_pending(pending)
    , m_headLeft((long long)headLength)
    , m_limits(limits)
    , m_deadline(std::chrono::steady_clock::now() + limits.exchange)
    , m_bodyDeadline(std::min(m_deadline, std::chrono::steady_clock::now() + limits.body))
{
}

KSConnectionStream::~KSConnectionStream()
{
    m_pending.erase(0, m_offset);
}

bool KSConnectionStream::waitFor(short events, std::chrono::steady_clock::time_point deadline) const
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline
                                                                                - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd watched{m_socket, events, 0};
        const int rc = poll(&watched, 1, int(std::min(left, m_limits.idle).count()));
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
    }
}

bool KSConnectionStream::is_readable() const
{
    return m_offset < m_pending.size() || waitFor(POLLIN, m_bodyDeadline);
}

bool KSConnectionStream::is_writable() const
{
    return waitFor(POLLOUT, m_deadline);
}

ssize_t KSConnectionStream::read(char *ptr, size_t size)
{
    if (size == 0)
        return 0;
    while (m_offset == m_pending.size()) {
        m_pending.clear();
        m_offset = 0;
        if (!waitFor(POLLIN, m_bodyDeadline)) {
            m_brokeOff = true;
            return -1;
        }
        char chunk[kReceiveChunk];
        const ssize_t received = recv(m_socket, chunk, sizeof(chunk), MSG_DONTWAIT);
        if (received > 0)
            m_pending.append(chunk, size_t(received));
        else if (received == 0)
            return 0;
        else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
    }
    // The head was checked by the gate; past it every byte counts against
    // the body's limit.
    const long long allowed = m_headLeft + std::max(0LL, m_limits.maxBodyBytes - m_bodyRead);
    const size_t take = size_t(std::min<long long>(allowed, (long long)std::min(size, m_pending.size() - m_offset)));
    if (take == 0) {
        m_brokeOff = true;
        return -1;
    }
    std::memcpy(ptr, m_pending.data() + m_offset, take);
    m_offset += take;
    const long long fromHead = std::min<long long>(m_headLeft, (long long)take);
    m_headLeft -= fromHead;
    m_bodyRead += (long long)take - fromHead;
    return ssize_t(take);
}

ssize_t KSConnectionStream::write(const char *ptr, size_t size)
{
    size_t sent = 0;
    while (sent < size) {
        const ssize_t rc = send(m_socket, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (rc > 0) {
            sent += size_t(rc);
            continue;
        }
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(POLLOUT, m_deadline))
            continue;
        return -1;
    }
    return ssize_t(sent);
}

void KSConnectionStream::get_remote_ip_and_port(std::string &ip, int &port) const
{
    addressOf(m_socket, true, ip, port);
}

void KSConnectionStream::get_local_ip_and_port(std::string &ip, int &port) const
{
    addressOf(m_socket, false, ip, port);
}

socket_t KSConnectionStream::socket() const
{
    return m_socket;
}
