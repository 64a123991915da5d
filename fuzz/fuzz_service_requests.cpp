// The local service's request handling on any bytes. The first byte picks
// what the rest is:
//   0  a raw request for the HTTP server's parser and every route (JSON and
//      form bodies, tokens, task ids, mask names); "@T" stands for the
//      account's token, "@P" for the key prefix of valid storage
//      credentials and "@I" for their access id;
//   1  a storage PUT signed with valid credentials, whose key, headers,
//      callback and body come from the input;
//   2  the storage's callback with a valid signature and any body;
//   3  the signature, date and object key parsers on their own.
// Tasks are accepted and dropped: no engine runs.
#include "KSGuardedServer.h"
#include "KSObjectStorage.h"
#include "KSServiceApi.h"
#include "KSSqliteServiceStore.h"
#include "KSStorageEndpoint.h"
#include "KSStorageSignature.h"
#include "KSTaskSignal.h"
#include "KSTaskWorkerPool.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

#include <fuzzer/FuzzedDataProvider.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using namespace std::chrono_literals;

struct Service
{
    QTemporaryDir dir;
    KSSqliteServiceStore store;
    std::unique_ptr<KSObjectStorage> objects;
    KSTaskWorkerPool pool;
    KSTaskSignal taskSignal;
    std::unique_ptr<KSServiceApi> api;
    std::unique_ptr<KSStorageEndpoint> storage;
    std::unique_ptr<KSGuardedServer> server;
    QByteArray callbackSecret = "fuzz-callback-secret";
    QString token = QStringLiteral("0123456789abcdef0123456789abcdef");
    QString bucket;
    QString prefix;
    QString accessId;
    QString accessSecret;
    QString securityToken;
    int inputs = 0;
};
Service *service = nullptr;

const QString kBaseUrl = QStringLiteral("http://127.0.0.1:8790");
constexpr int kMaxBodyBytes = 1 << 20;

std::string drained(int socket)
{
    std::string reply;
    char chunk[16 * 1024];
    ssize_t n;
    while ((n = recv(socket, chunk, sizeof(chunk), MSG_DONTWAIT)) > 0)
        reply.append(chunk, size_t(n));
    return reply;
}

// The request's bytes as a client sends them (pipelined requests included),
// served as the gate's workers serve them; returns the replies.
std::string exchange(std::string request)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        abort();
    shutdown(pair[1], SHUT_WR); // the client has sent everything
    KSConnectionStream::Limits limits;
    limits.idle = 50ms;
    limits.exchange = 2s;
    limits.maxBodyBytes = 2 * kMaxBodyBytes;
    std::string replies;
    for (int i = 0; i < 4 && !request.empty(); ++i) {
        const size_t end = request.find("\r\n\r\n");
        const size_t head = end == std::string::npos ? request.size() : end + 4;
        bool keep = false;
        {
            KSConnectionStream stream(pair[0], request, head, limits);
            keep = service->server->serve(stream, false);
        }
        replies += drained(pair[1]);
        if (!keep)
            break;
    }
    close(pair[0]);
    close(pair[1]);
    return replies;
}

std::string withoutLineBreaks(std::string text)
{
    for (char &c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

void replace(std::string &text, const std::string &placeholder, const QString &value)
{
    const std::string with = value.toStdString();
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + with.size()))
        text.replace(at, placeholder.size(), with);
}

std::string signedPut(FuzzedDataProvider &in)
{
    const std::string suffix = withoutLineBreaks(in.ConsumeRandomLengthString(64));
    const std::string contentType = withoutLineBreaks(in.ConsumeRandomLengthString(32));
    const int callbackKind = in.ConsumeIntegralInRange(0, 2);
    const std::string callbackText = in.ConsumeRandomLengthString(256);
    const bool withVariables = in.ConsumeBool();
    const std::string variables = in.ConsumeRandomLengthString(128);
    const int digestKind = in.ConsumeIntegralInRange(0, 2);
    const bool chunked = in.ConsumeBool();
    const std::string body = in.ConsumeRemainingBytesAsString();

    const QString key = service->prefix + QString::fromStdString(suffix);
    KSStorageSignature::Headers headers{
        {"Date", KSStorageSignature::httpDate(QDateTime::currentDateTimeUtc())},
        {"Content-Type", QByteArray::fromStdString(contentType)},
        {"x-oss-security-token", service->securityToken.toLatin1()},
    };
    if (digestKind > 0) {
        const QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(digestKind == 1 ? body : suffix),
                                                           QCryptographicHash::Md5);
        headers.append({"Content-MD5", digest.toBase64()});
    }
    if (callbackKind == 1) {
        const QJsonObject callback{{QStringLiteral("callbackUrl"), kBaseUrl + QStringLiteral("/api/storage/callback")},
                                   {QStringLiteral("callbackBody"), QString::fromStdString(callbackText)}};
        headers.append({"x-oss-callback", QJsonDocument(callback).toJson(QJsonDocument::Compact).toBase64()});
    } else if (callbackKind == 2) {
        headers.append({"x-oss-callback", QByteArray::fromStdString(withoutLineBreaks(callbackText))});
    }
    if (withVariables)
        headers.append({"x-oss-callback-var", QByteArray::fromStdString(variables).toBase64()});
    const QByteArray authorization = KSStorageSignature::authorization(
        service->accessId.toLatin1(), service->accessSecret.toLatin1(), "PUT", headers,
        KSStorageSignature::canonicalResource(service->bucket, key));

    std::string request = "PUT /" + service->bucket.toStdString() + '/'
                          + QUrl::toPercentEncoding(key, "/").toStdString() + " HTTP/1.1\r\nHost: fuzz\r\n";
    for (const auto &[name, value] : headers)
        request += name.toStdString() + ": " + value.toStdString() + "\r\n";
    request += "Authorization: " + authorization.toStdString() + "\r\n";
    if (chunked) {
        request += "Transfer-Encoding: chunked\r\n\r\n";
        char size[32];
        std::snprintf(size, sizeof(size), "%zx\r\n", body.size());
        request += (body.empty() ? std::string() : size + body + "\r\n") + "0\r\n\r\n";
    } else {
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }
    return request;
}

std::string signedCallback(FuzzedDataProvider &in)
{
    const bool fromUpload = in.ConsumeBool();
    const QString accessId = fromUpload ? service->accessId
                                        : QString::fromStdString(withoutLineBreaks(in.ConsumeRandomLengthString(40)));
    const QString bucket = fromUpload ? service->bucket
                                      : QString::fromStdString(withoutLineBreaks(in.ConsumeRandomLengthString(40)));
    const QString key = service->prefix + QString::fromStdString(withoutLineBreaks(in.ConsumeRandomLengthString(64)));
    const std::string body = in.ConsumeRemainingBytesAsString();
    const QByteArray signature = KSStorageEndpoint::callbackSignature(service->callbackSecret, accessId, bucket, key,
                                                                      QByteArray::fromStdString(body));
    return "POST /api/storage/callback HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           + std::string(KSStorageEndpoint::kCallbackAccessIdHeader) + ": " + accessId.toStdString() + "\r\n"
           + KSStorageEndpoint::kCallbackBucketHeader + ": " + bucket.toStdString() + "\r\n"
           + KSStorageEndpoint::kCallbackKeyHeader + ": " + key.toStdString() + "\r\n"
           + KSStorageEndpoint::kCallbackSignatureHeader + ": " + signature.toStdString() + "\r\n"
           + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void parsers(const QByteArray &bytes)
{
    (void)KSStorageSignature::parseAuthorization(bytes);
    const QString text = QString::fromUtf8(bytes);
    (void)KSStorageSignature::parseHttpDate(text);
    (void)KSObjectStorage::isValidBucket(text);
    const QString path = service->objects->pathFor(service->bucket, text);
    // A key never leads out of its bucket.
    if (!path.isEmpty() && !path.startsWith(service->objects->root() + QLatin1Char('/') + service->bucket + QLatin1Char('/')))
        __builtin_trap();
    KSStorageSignature::Headers headers;
    for (const QByteArray &line : bytes.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            headers.append({line.left(colon), line.mid(colon + 1)});
    }
    const QByteArray resource = KSStorageSignature::canonicalResource(service->bucket, text);
    (void)KSStorageSignature::verify(bytes, "secret", "PUT", headers, resource);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    service = new Service;
    Service &s = *service;
    QString error;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!s.dir.isValid() || !s.store.open(s.dir.filePath(QStringLiteral("service.sqlite")), &error)
        || !s.store.makeSoleAccount(QStringLiteral("fuzz"), s.token, now))
        abort();
    s.objects = std::make_unique<KSObjectStorage>(s.dir.filePath(QStringLiteral("objects")));
    s.pool.start(1, [] { return [](const KSServiceStore::Claim &) {}; }, [] { return std::optional<KSServiceStore::Claim>(); });

    KSServiceApi::Context api;
    api.store = &s.store;
    api.objects = s.objects.get();
    api.pool = &s.pool;
    api.taskSignal = &s.taskSignal;
    api.masksDir = s.dir.filePath(QStringLiteral("masks"));
    api.baseUrl = kBaseUrl;
    api.storageEndpoint = QStringLiteral("127.0.0.1:8790");
    api.bucket = QStringLiteral("cutora-local");
    api.callbackSecret = s.callbackSecret;
    api.credentialLifetimeMs = 24LL * 3600 * 1000;
    api.nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    s.api = std::make_unique<KSServiceApi>(api);
    s.server = std::make_unique<KSGuardedServer>(KSConnectionGate::Limits());
    s.server->set_payload_max_length(kMaxBodyBytes);
    s.api->install(*s.server);
    KSStorageEndpoint::Context storage;
    storage.store = &s.store;
    storage.objects = s.objects.get();
    storage.baseUrl = kBaseUrl;
    storage.callbackSecret = s.callbackSecret;
    storage.nowMs = api.nowMs;
    storage.maxObjectBytes = kMaxBodyBytes;
    storage.deliverCallback = [web = s.api.get()](const httplib::Request &req, httplib::Response &res) {
        web->storageCallback(req, res);
    };
    s.storage = std::make_unique<KSStorageEndpoint>(storage);
    s.storage->install(*s.server);

    // Credentials for the signed requests, as a client gets them.
    const std::string reply = exchange("GET /api/authentications HTTP/1.1\r\nAuthorization: Bearer "
                                       + s.token.toStdString() + "\r\n\r\n");
    const size_t body = reply.find("\r\n\r\n");
    const QJsonObject data = QJsonDocument::fromJson(QByteArray::fromStdString(reply.substr(body + 4)))
                                 .object()
                                 .value(QStringLiteral("data"))
                                 .toObject();
    s.bucket = data.value(QStringLiteral("bucket")).toString();
    s.prefix = data.value(QStringLiteral("path")).toObject().value(QStringLiteral("images")).toString();
    s.accessId = data.value(QStringLiteral("access_id")).toString();
    s.accessSecret = data.value(QStringLiteral("access_secret")).toString();
    s.securityToken = data.value(QStringLiteral("security_token")).toString();
    if (s.bucket.isEmpty() || s.prefix.isEmpty() || s.accessId.isEmpty())
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // Uploads pile up in the objects' folder: it is emptied now and then.
    if (++service->inputs % 1000 == 0)
        KSObjectStorage::purgeFilesOlderThan(service->objects->root(), QDateTime::currentDateTime().addDays(1));
    FuzzedDataProvider in(data + 1, size - 1);
    switch (data[0] % 4) {
    case 0: {
        std::string request(reinterpret_cast<const char *>(data + 1), size - 1);
        replace(request, "@T", service->token);
        replace(request, "@P", service->prefix);
        replace(request, "@I", service->accessId);
        exchange(request);
        break;
    }
    case 1:
        exchange(signedPut(in));
        break;
    case 2:
        exchange(signedCallback(in));
        break;
    default:
        parsers(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
        break;
    }
    return 0;
}
