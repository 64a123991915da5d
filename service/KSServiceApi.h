#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

class KSServiceStore;
class KSObjectStorage;
class KSTaskWorkerPool;
class KSTaskSignal;

// The web API and the storage endpoint of the local service, as routes of
// one HTTP server. Every call but the mask download (whose address is the
// secret) proves an account: a bearer token, an "api_token" parameter, or a
// storage signature made with that account's short-lived credentials.
class KSServiceApi
{
public:
    struct Context
    {
        KSServiceStore *store = nullptr;
        KSObjectStorage *objects = nullptr;
        KSTaskWorkerPool *pool = nullptr;
        KSTaskSignal *taskSignal = nullptr;
        qint64 pollHoldMs = 0; // how long a poll may wait for its task to end
        QString masksDir;
        QString baseUrl;         // "http://host:port", where this server is reached
        QString storageEndpoint; // "host:port", what a storage client puts after "http://"
        QString bucket;
        QByteArray callbackSecret; // signs the storage callback
        qint64 credentialLifetimeMs = 0;
        std::function<qint64()> nowMs;
    };

    // How far a storage request's Date may be from the service's clock.
    static constexpr qint64 allowedClockSkewMs = 15 * 60 * 1000;
    static constexpr const char *callbackPath = "/api/storage/callback";

    explicit KSServiceApi(Context context);

    void install(httplib::Server &server);

private:
    void getAuthentications(const httplib::Request &req, httplib::Response &res);
    void postResources(const httplib::Request &req, httplib::Response &res);
    void createTask(const httplib::Request &req, httplib::Response &res);
    void getTask(const httplib::Request &req, httplib::Response &res);
    void getMask(const httplib::Request &req, httplib::Response &res);
    void storageCallback(const httplib::Request &req, httplib::Response &res);
    void putObject(const httplib::Request &req, httplib::Response &res,
                   const std::function<bool(std::function<bool(const char *, size_t)>)> &readBody);

    // The account the request's token names, or refuses the request.
    [[nodiscard]] std::optional<qint64> account(const httplib::Request &req, httplib::Response &res);
    // Checks signature, security token, expiry, clock and key scope; on
    // failure sets the storage error and returns false.
    [[nodiscard]] bool authorizePut(const httplib::Request &req, httplib::Response &res, const QString &bucket,
                                    const QString &key);
    // Calls the callback the upload carries; false with the error set when
    // the upload must be undone.
    [[nodiscard]] bool runCallback(const httplib::Request &req, httplib::Response &res, const QString &bucket,
                                   const QString &key, qint64 size, const QByteArray &etag);

    Context m_context;
};
