#pragma once

#include "KSConnectionGate.h"

#include <httplib.h>

#include <atomic>

// The HTTP server of the service: cpp-httplib's routing and request parsing
// behind a KSConnectionGate, which decides when a connection gets a worker
// and for how long. cpp-httplib alone gives each accepted connection a
// thread of a small pool, which a few clients that send half a request can
// hold for the whole read time-out.
//
// A handler that answers without reading the whole body sets
// "Connection: close", and the connection ends after its reply. The server
// installs a logger to learn that: do not replace it.
class KSGuardedServer : public httplib::Server
{
public:
    explicit KSGuardedServer(KSConnectionGate::Limits limits);
    ~KSGuardedServer() override;

    // Binds as bind_to_port() does (port 0: any free one); the port, or -1.
    // The kernel may then queue many connections for accept: cpp-httplib
    // asks for five, and a client opening connections in a burst would have
    // the kernel drop the handshakes of others, which retry only a second
    // or more later.
    int bindTo(const std::string &host, int port);

    // Serves one request read from stream and writes its reply there;
    // whether the connection may carry another. The gate's workers call
    // it, and so can anything that has the bytes of a request.
    bool serve(httplib::Stream &stream, bool last);

    // Connections the gate holds now; empty figures when not listening.
    [[nodiscard]] KSConnectionGate::Counts connectionCounts() const;

private:
    class GateQueue;

    bool process_and_close_socket(socket_t sock) override;

    KSConnectionGate::Limits m_limits;
    std::atomic<KSConnectionGate *> m_gate{nullptr};
};
