#include "KSGuardedServer.h"

#include <sys/socket.h>
#include <unistd.h>

namespace {
// Set by the logger, which runs on the serving thread after each reply.
thread_local bool replyClosesConnection = false;
} // namespace

// cpp-httplib hands every accepted socket to its task queue; this queue
// passes it straight to the gate (through process_and_close_socket) and owns
// the gate for as long as the server listens.
class KSGuardedServer::GateQueue : public httplib::TaskQueue
{
public:
    GateQueue(KSGuardedServer &server)
        : m_server(server)
        , m_gate(server.m_limits, [&server](KSConnectionStream &stream, bool last) { return server.serve(stream, last); })
    {
        m_server.m_gate = &m_gate;
    }
    ~GateQueue() override { shutdown(); }

    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override
    {
        m_server.m_gate = nullptr;
        m_gate.stop();
    }

    KSConnectionGate &gate() { return m_gate; }

private:
    KSGuardedServer &m_server;
    KSConnectionGate m_gate;
};

KSGuardedServer::KSGuardedServer(KSConnectionGate::Limits limits)
    : m_limits(limits)
{
    new_task_queue = [this] { return new GateQueue(*this); };
    set_logger([](const httplib::Request &, const httplib::Response &res) {
        replyClosesConnection = res.get_header_value("Connection") == "close";
    });
}

KSGuardedServer::~KSGuardedServer() = default;

int KSGuardedServer::bindTo(const std::string &host, int port)
{
    const int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
    if (bound > 0)
        ::listen(svr_sock_, SOMAXCONN);
    return bound;
}

bool KSGuardedServer::serve(httplib::Stream &stream, bool last)
{
    replyClosesConnection = false;
    bool connectionClosed = false;
    const bool replied = process_request(stream, last, connectionClosed, nullptr);
    return replied && !connectionClosed && !replyClosesConnection;
}

bool KSGuardedServer::process_and_close_socket(socket_t sock)
{
    KSConnectionGate *gate = m_gate.load();
    if (!gate) {
        close(sock);
        return false;
    }
    gate->admit(sock);
    return true;
}

KSConnectionGate::Counts KSGuardedServer::connectionCounts() const
{
    const KSConnectionGate *gate = m_gate.load();
    return gate ? gate->counts() : KSConnectionGate::Counts();
}
