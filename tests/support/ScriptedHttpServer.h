#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QRegularExpression>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

// One request as the server saw it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray path;   // without the query
    QByteArray query;  // raw, as sent
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Query parameters, or form parameters of a form-encoded body, decoded
    // the way servers do ('+' is a space).
    QMap<QString, QString> params;
    double receivedAt = 0; // seconds on the server's clock
    double repliedAt = 0;

    // First value of a header, case-insensitive name; null when absent.
    [[nodiscard]] QByteArray header(const QByteArray &name) const;
    [[nodiscard]] bool hasHeader(const QByteArray &name) const;
};

// A reply of the script.
struct ScriptedReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    int delayMs = 0; // wait before answering
    // With splitAt >= 0 the body is sent in two parts with pauseMs between
    // them, or the connection is dropped after the first part.
    qsizetype splitAt = -1;
    int pauseMs = 0;
    bool dropAfterSplit = false;
    // What a service that dies mid-request leaves its client: the
    // connection closed before any reply (an empty reply) or reset.
    enum class Cut { none, close, reset };
    Cut cut = Cut::none;

    static ScriptedReply json(const QByteArray &body, int status = 200);
    static ScriptedReply bytes(const QByteArray &body, const QByteArray &contentType, int status = 200);
    static ScriptedReply cutOff(Cut how);
};

// An HTTP server on 127.0.0.1 at a free port that plays scripted replies and
// records every request. Routes are method + regular expression over the whole
// path; the route scripted last wins, so a test can override one route of a
// shared script. Unscripted requests get 404.
class ScriptedHttpServer
{
public:
    using Handler = std::function<ScriptedReply(const RecordedRequest &)>;

    // With a certificate and key it serves HTTPS.
    explicit ScriptedHttpServer(const QString &certPath = {}, const QString &keyPath = {});
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer &) = delete;
    ScriptedHttpServer &operator=(const ScriptedHttpServer &) = delete;

    [[nodiscard]] bool isListening() const { return m_port > 0; }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString baseUrl() const;
    [[nodiscard]] QString hostAndPort() const;

    // The replies in order; the last one repeats.
    void script(const QByteArray &method, const QString &pathPattern, QList<ScriptedReply> replies);
    void script(const QByteArray &method, const QString &pathPattern, Handler handler);

    [[nodiscard]] QList<RecordedRequest> requests() const;
    [[nodiscard]] QList<RecordedRequest> requests(const QByteArray &method, const QString &pathPattern) const;
    // Waits (without an event loop) until that many requests have arrived.
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    void clearRequests();
    // The server's clock, in seconds.
    [[nodiscard]] double now() const;

private:
    struct Route
    {
        QByteArray method;
        QRegularExpression pattern;
        Handler handler;
    };

    void dispatch(const httplib::Request &request, httplib::Response &response);

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    bool m_tls = false;
    std::chrono::steady_clock::time_point m_start;
    mutable QMutex m_mutex;
    QList<Route> m_routes;
    QList<RecordedRequest> m_requests;
};
