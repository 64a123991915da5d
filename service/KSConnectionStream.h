#pragma once

#include <httplib.h>

#include <chrono>
#include <string>

// One request's view of a connection for the HTTP server: first the bytes
// the gate already received (the request's head, perhaps more), then the
// socket. Reading stops when the body passes its byte limit, when no byte
// comes for the idle time, when the body takes longer than its own time or
// when the exchange outlives its deadline, so a client that trickles or
// floods a body holds a worker only so long.
class KSConnectionStream : public httplib::Stream
{
public:
    struct Limits
    {
        std::chrono::milliseconds idle{10000};     // longest wait for the next bytes in or out
        std::chrono::milliseconds exchange{120000}; // whole body read and reply written
        // The whole body read, from the moment a worker took the request: a
        // byte every few seconds keeps the idle time from ever running out.
        std::chrono::milliseconds body{30000};
        long long maxBodyBytes = 0;                 // bytes after the head
    };

    // `pending` holds received bytes not yet read; the head takes its first
    // headLength bytes. Bytes left over (a pipelined request) stay in it.
    KSConnectionStream(int socket, std::string &pending, size_t headLength, Limits limits);
    ~KSConnectionStream() override;
    KSConnectionStream(const KSConnectionStream &) = delete;
    KSConnectionStream &operator=(const KSConnectionStream &) = delete;

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char *ptr, size_t size) override;
    ssize_t write(const char *ptr, size_t size) override;
    void get_remote_ip_and_port(std::string &ip, int &port) const override;
    void get_local_ip_and_port(std::string &ip, int &port) const override;
    socket_t socket() const override;

    // Whether reading stopped on a limit or a time-out rather than the peer.
    [[nodiscard]] bool brokeOff() const { return m_brokeOff; }

private:
    // Waits for events on the socket within the idle time and the deadline.
    [[nodiscard]] bool waitFor(short events, std::chrono::steady_clock::time_point deadline) const;

    int m_socket;
    std::string &m_pending;
    size_t m_offset = 0; // bytes of m_pending already read
    long long m_headLeft;
    long long m_bodyRead = 0;
    Limits m_limits;
    std::chrono::steady_clock::time_point m_deadline;
    // Reads wait for the body only: the head came whole before a worker
    // took the request.
    std::chrono::steady_clock::time_point m_bodyDeadline;
    bool m_brokeOff = false;
};
