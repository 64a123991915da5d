#include "ScriptedHttpServer.h"

#include <QElapsedTimer>
#include <QThread>

#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QMap<QString, QString> decodeForm(const QByteArray &text)
{
    QMap<QString, QString> params;
    for (const QByteArray &pair : text.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        QByteArray key = eq < 0 ? pair : pair.left(eq);
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        key.replace('+', ' ');
        value.replace('+', ' ');
        params.insert(QString::fromUtf8(QByteArray::fromPercentEncoding(key)),
                      QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return params;
}

// The server's socket of the connection from the peer's port: httplib does
// not hand it to a handler.
int connectionSocket(int serverPort, int peerPort)
{
    for (int fd = 0; fd < 4096; ++fd) {
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localLength = sizeof(local);
        socklen_t peerLength = sizeof(peer);
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength) == 0 && local.sin_family == AF_INET
            && ntohs(local.sin_port) == serverPort
            && getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) == 0
            && ntohs(peer.sin_port) == peerPort)
            return fd;
    }
    return -1;
}

// Ends the connection without a reply. A reset comes of disconnecting the
// socket (Linux sends RST), which leaves the descriptor to httplib to close.
void cutConnection(int fd, ScriptedReply::Cut how)
{
    if (how == ScriptedReply::Cut::reset) {
        sockaddr unspecified{};
        unspecified.sa_family = AF_UNSPEC;
        ::connect(fd, &unspecified, sizeof(unspecified));
    } else {
        ::shutdown(fd, SHUT_RDWR);
    }
}

} // namespace

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

ScriptedReply ScriptedReply::json(const QByteArray &body, int status)
{
    ScriptedReply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

ScriptedReply ScriptedReply::bytes(const QByteArray &body, const QByteArray &contentType, int status)
{
    ScriptedReply reply;
    reply.status = status;
    reply.body = body;
    reply.contentType = contentType;
    return reply;
}

ScriptedReply ScriptedReply::cutOff(Cut how)
{
    ScriptedReply reply;
    reply.cut = how;
    return reply;
}

ScriptedHttpServer::ScriptedHttpServer(const QString &certPath, const QString &keyPath)
    : m_start(std::chrono::steady_clock::now())
{
    if (!certPath.isEmpty()) {
        m_server = std::make_unique<httplib::SSLServer>(certPath.toLocal8Bit().constData(), keyPath.toLocal8Bit().constData());
        m_tls = true;
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    if (!m_server->is_valid())
        return;
    // Finished connections must not hold the server's threads when it stops.
    m_server->set_keep_alive_timeout(1);
    const auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        dispatch(request, response);
    };
    m_server->Get(".*", handler);
    m_server->Post(".*", handler);
    m_server->Put(".*", handler);
    m_server->Delete(".*", handler);
    const int port = m_server->bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    QElapsedTimer waited;
    waited.start();
    while (!m_server->is_running() && waited.elapsed() < 5000)
        QThread::msleep(1);
    if (m_server->is_running())
        m_port = port;
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

QString ScriptedHttpServer::baseUrl() const
{
    return (m_tls ? QStringLiteral("https://") : QStringLiteral("http://")) + hostAndPort();
}

QString ScriptedHttpServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void ScriptedHttpServer::script(const QByteArray &method, const QString &pathPattern, QList<ScriptedReply> replies)
{
    auto queue = std::make_shared<QList<ScriptedReply>>(std::move(replies));
    auto mutex = std::make_shared<QMutex>();
    script(method, pathPattern, [queue, mutex](const RecordedRequest &) {
        QMutexLocker lock(mutex.get());
        if (queue->isEmpty())
            return ScriptedReply::json("{}", 500);
        return queue->size() > 1 ? queue->takeFirst() : queue->first();
    });
}

void ScriptedHttpServer::script(const QByteArray &method, const QString &pathPattern, Handler handler)
{
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(pathPattern));
    QMutexLocker lock(&m_mutex);
    m_routes.erase(std::remove_if(m_routes.begin(), m_routes.end(),
                                  [&](const Route &route) {
                                      return route.method == method && route.pattern.pattern() == pattern.pattern();
                                  }),
                   m_routes.end());
    m_routes.prepend({method, pattern, std::move(handler)});
}

QList<RecordedRequest> ScriptedHttpServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QList<RecordedRequest> ScriptedHttpServer::requests(const QByteArray &method, const QString &pathPattern) const
{
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(pathPattern));
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : requests())
        if (request.method == method && pattern.match(QString::fromUtf8(request.path)).hasMatch())
            matching.append(request);
    return matching;
}

bool ScriptedHttpServer::waitForRequests(int count, int timeoutMs) const
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs) {
        if (requests().size() >= count)
            return true;
        QThread::msleep(5);
    }
    return requests().size() >= count;
}

void ScriptedHttpServer::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

double ScriptedHttpServer::now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void ScriptedHttpServer::dispatch(const httplib::Request &request, httplib::Response &response)
{
    RecordedRequest recorded;
    recorded.receivedAt = now();
    recorded.method = QByteArray::fromStdString(request.method);
    const QByteArray target = QByteArray::fromStdString(request.target);
    const qsizetype question = target.indexOf('?');
    recorded.path = question < 0 ? target : target.left(question);
    recorded.query = question < 0 ? QByteArray() : target.mid(question + 1);
    for (const auto &[name, value] : request.headers)
        recorded.headers.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
    recorded.body = QByteArray::fromStdString(request.body);
    recorded.params = decodeForm(recorded.query);
    if (recorded.header("Content-Type").startsWith("application/x-www-form-urlencoded"))
        recorded.params.insert(decodeForm(recorded.body));

    Handler handler;
    {
        QMutexLocker lock(&m_mutex);
        for (const Route &route : std::as_const(m_routes)) {
            if (route.method == recorded.method
                && route.pattern.match(QString::fromUtf8(QByteArray::fromPercentEncoding(recorded.path))).hasMatch()) {
                handler = route.handler;
                break;
            }
        }
    }
    const ScriptedReply reply = handler ? handler(recorded) : ScriptedReply::json(R"({"error":"not scripted"})", 404);
    if (reply.delayMs > 0)
        QThread::msleep(ulong(reply.delayMs));
    recorded.repliedAt = now();
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(recorded);
    }

    if (reply.cut != ScriptedReply::Cut::none) {
        if (const int fd = connectionSocket(m_port, request.remote_port); fd >= 0)
            cutConnection(fd, reply.cut);
        return;
    }
    response.status = reply.status;
    for (const auto &[name, value] : reply.headers)
        response.set_header(name.toStdString(), value.toStdString());
    if (reply.splitAt < 0) {
        response.set_content(reply.body.toStdString(), reply.contentType.toStdString());
        return;
    }
    const std::string body = reply.body.toStdString();
    const size_t split = size_t(qMin(reply.splitAt, reply.body.size()));
    const int pauseMs = reply.pauseMs;
    const bool drop = reply.dropAfterSplit;
    response.set_content_provider(body.size(), reply.contentType.toStdString(),
                                  [body, split, pauseMs, drop](size_t offset, size_t, httplib::DataSink &sink) {
                                      if (offset < split)
                                          return sink.write(body.data() + offset, split - offset);
                                      QThread::msleep(ulong(pauseMs));
                                      if (drop)
                                          return false;
                                      return sink.write(body.data() + offset, body.size() - offset);
                                  });
}
