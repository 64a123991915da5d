#pragma once

// A raw TCP connection to a server on this machine for the tests of the
// service's connection gate: it sends what a test says, as slowly as the
// test says, and reads what comes back.

#include "KSPeerIdentity.h"

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

class RawConnection
{
public:
    // from: the local address to connect from (any of 127.0.0.0/8), or the default.
    explicit RawConnection(int port, const char *from = nullptr)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        if (from) {
            inet_pton(AF_INET, from, &address.sin_addr);
            if (bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
                close(m_fd);
                m_fd = -1;
                return;
            }
        }
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~RawConnection()
    {
        stopTrickle();
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

    // Sends one byte every `every` from another thread until the server
    // stops taking them or the connection goes.
    void trickle(std::chrono::milliseconds every)
    {
        m_trickling = true;
        m_trickle = std::thread([this, every] {
            for (auto next = std::chrono::steady_clock::now(); m_trickling; next += every) {
                std::this_thread::sleep_until(next);
                if (!m_trickling || ::send(m_fd, "x", 1, MSG_NOSIGNAL) != 1)
                    return;
            }
        });
    }
    void stopTrickle()
    {
        m_trickling = false;
        if (m_trickle.joinable())
            m_trickle.join();
    }

    // Everything until the server closes, or what came within the wait.
    std::string readUntilClosed(std::chrono::milliseconds wait = std::chrono::seconds(10))
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

    // Whether the server has answered or closed (without waiting).
    bool heardFromServer() const
    {
        pollfd watched{m_fd, POLLIN, 0};
        return poll(&watched, 1, 0) > 0;
    }

    bool closed() const { return m_closed; }

private:
    int m_fd = -1;
    bool m_closed = false;
    std::atomic<bool> m_trickling = false;
    std::thread m_trickle;
};

// Plays other local users on one machine and one account: a peer connecting
// from 127.0.0.N (N > 1) is taken for the user 50000 + N, one from
// 127.0.0.1 is who it is.
inline KSPeerIdentity otherUsersByAddress(int socket)
{
    KSPeerIdentity peer = KSPeerIdentity::of(socket);
    const auto lastDot = peer.address.rfind('.');
    if (peer.address.rfind("127.", 0) == 0 && peer.address != "127.0.0.1" && lastDot != std::string::npos)
        peer.uid = uid_t(50000 + std::stoi(peer.address.substr(lastDot + 1)));
    return peer;
}
