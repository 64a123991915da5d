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

// The object-storage endpoint of the local service: signed PUTs of
// "/<bucket>/<key>" with the short-lived credentials the web API issued,
// answered in the storage's own XML error form. An upload that carries a
// callback is reported to the web API through `deliverCallback`, and the
// callback's reply becomes the upload's reply.
class KSStorageEndpoint
{
public:
    using Handler = std::function<void(const httplib::Request &, httplib::Response &)>;

    struct Context
    {
        KSServiceStore *store = nullptr;
        KSObjectStorage *objects = nullptr;
        QString baseUrl;           // "http://host:port", where the web API is reached
        QByteArray callbackSecret; // signs the callback, so the web API knows it came from here
        std::function<qint64()> nowMs;
        qint64 maxObjectBytes = 0; // larger objects are refused, however they are sent
        Handler deliverCallback;   // the web API's callback route
        // The host name clients were given (a team's proxy): a client puts
        // the bucket before it ("<bucket>.<host>") and the key alone in the
        // path. Empty: path-style addresses only.
        QString virtualHost;
    };

    // How far a storage request's Date may be from the service's clock.
    static constexpr qint64 allowedClockSkewMs = 15 * 60 * 1000;

    // The headers of the callback that name the upload it reports, and its
    // signature over them and the body: the web API records a resource only
    // for the object just stored, and for the account whose credentials
    // stored it, whatever the client's callback body says.
    static constexpr const char *kCallbackAccessIdHeader = "X-Cutora-Upload-Access-Id";
    static constexpr const char *kCallbackBucketHeader = "X-Cutora-Upload-Bucket";
    static constexpr const char *kCallbackKeyHeader = "X-Cutora-Upload-Key";
    static constexpr const char *kCallbackSignatureHeader = "X-Cutora-Callback-Signature";
    [[nodiscard]] static QByteArray callbackSignature(const QByteArray &secret, const QString &accessId,
                                                      const QString &bucket, const QString &key,
                                                      const QByteArray &body);

    explicit KSStorageEndpoint(Context context);

    void install(httplib::Server &server);

private:
    // Answers that the data folder is full when the file system holding
    // path has no room left; false (res untouched) otherwise.
    bool refuseWhenFull(httplib::Response &res, const QString &path, const QString &error) const;
    using BodyReader = std::function<bool(std::function<bool(const char *, size_t)>)>;

    void putObject(const httplib::Request &req, httplib::Response &res, const QString &bucket, const QString &key,
                   const BodyReader &readBody);
    // The bucket a virtual-hosted request names in its Host, or empty.
    [[nodiscard]] QString hostBucket(const httplib::Request &req) const;
    // Checks signature, security token, expiry, clock and key scope; the
    // access id of the credentials, or none with the storage error set.
    [[nodiscard]] std::optional<QString> authorizePut(const httplib::Request &req, httplib::Response &res,
                                                      const QString &bucket, const QString &key);
    // Calls the callback the upload carries; false with the error set when
    // the upload must be undone.
    [[nodiscard]] bool runCallback(const httplib::Request &req, httplib::Response &res, const QString &accessId,
                                   const QString &bucket, const QString &key, qint64 size, const QByteArray &etag);

    Context m_context;
};
