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
class KSTaskProgress;
class KSTaskSignal;

// The web API of the local service: credentials, resources, tasks, masks and
// the storage's callback. Every call but the callback (signed by the storage
// endpoint) proves an account with a bearer token or an "api_token" in the
// address, in the request's head: a request with a body that does not prove
// itself there is refused, and its connection closed, before the body is
// read. A mask's download may instead carry the signature its task's poll
// put into the address. The storage endpoint (KSStorageEndpoint) serves the
// uploads beside it.
class KSServiceApi
{
public:
    struct Context
    {
        KSServiceStore *store = nullptr;
        KSObjectStorage *objects = nullptr;
        KSTaskWorkerPool *pool = nullptr;
        KSTaskSignal *taskSignal = nullptr;
        KSTaskProgress *progress = nullptr; // where running tasks stand; may be none
        qint64 pollHoldMs = 0; // how long a poll may wait for its task to end
        QString masksDir;
        QString baseUrl;         // "http://host:port", where this server is reached
        QString storageEndpoint; // "host:port", what a storage client puts after "http://"
        QString bucket;
        QByteArray callbackSecret; // signs the storage callback
        qint64 credentialLifetimeMs = 0;
        std::function<qint64()> nowMs;
    };

    explicit KSServiceApi(Context context);

    void install(httplib::Server &server);

    // The storage endpoint's report of a finished upload, signed with the
    // callback secret: records the upload as a resource of the account
    // whose credentials put it.
    void storageCallback(const httplib::Request &req, httplib::Response &res);

    // The signature of a mask's address valid until `expires` (seconds
    // since the epoch), keyed by its account (KSServiceStore::MaskOwner).
    [[nodiscard]] static QByteArray maskSignature(const QByteArray &key, const QString &maskName, qint64 expires);

private:
    void getAuthentications(const httplib::Request &req, httplib::Response &res);
    void postResources(const httplib::Request &req, httplib::Response &res);
    void createTask(const httplib::Request &req, httplib::Response &res);
    void getTask(const httplib::Request &req, httplib::Response &res);
    void cancelTask(const httplib::Request &req, httplib::Response &res);
    void getMask(const httplib::Request &req, httplib::Response &res);

    // Runs before any body is read: false, with the refusal set, for a
    // request whose body is too large, of unknown length or sent without
    // proof in the head.
    [[nodiscard]] bool admitBody(const httplib::Request &req, httplib::Response &res);
    // Whether a callback's head names live credentials; refuses it if not.
    [[nodiscard]] bool callbackNamesCredential(const httplib::Request &req, httplib::Response &res);
    // The account the token in the request's head names, or refuses the request.
    [[nodiscard]] std::optional<qint64> account(const httplib::Request &req, httplib::Response &res);

    Context m_context;
};
