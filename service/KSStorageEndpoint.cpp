#include "KSStorageEndpoint.h"

#include "KSDataFolder.h"
#include "KSDataFolderFull.h"
#include "KSObjectStorage.h"
#include "KSProtocolPaths.h"
#include "KSServiceHttp.h"
#include "KSServiceLog.h"
#include "KSServiceStore.h"
#include "KSStorageSignature.h"
#include "KSWriteFailure.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

using KSServiceHttp::header;
using KSServiceHttp::text;

namespace {

// Storage errors keep the storage's own XML form.
void storageError(httplib::Response &res, int httpStatus, const char *code, const QString &message)
{
    res.status = httpStatus;
    const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>%1</Code>"
                                       "<Message>%2</Message></Error>\n")
                            .arg(QLatin1String(code), message.toHtmlEscaped());
    res.set_content(xml.toStdString(), "application/xml");
}

KSStorageSignature::Headers signedHeaders(const httplib::Request &req)
{
    KSStorageSignature::Headers headers;
    for (const auto &[name, value] : req.headers)
        headers.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
    return headers;
}

QString fromBase64Json(const std::string &bytes, QJsonObject *object)
{
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(bytes),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QStringLiteral("not Base64");
    const QJsonDocument document = QJsonDocument::fromJson(*decoded);
    if (!document.isObject())
        return QStringLiteral("not a JSON object");
    *object = document.object();
    return {};
}

QString percentEncoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

std::function<bool(std::function<bool(const char *, size_t)>)> bodyOf(const httplib::ContentReader &reader)
{
    return [&reader](std::function<bool(const char *, size_t)> receive) {
        return reader([&receive](const char *data, size_t length) { return receive(data, length); });
    };
}

} // namespace

QByteArray KSStorageEndpoint::callbackSignature(const QByteArray &secret, const QString &accessId, const QString &bucket,
                                                const QString &key, const QByteArray &body)
{
    return KSStorageSignature::signature(secret, accessId.toUtf8() + '\n' + bucket.toUtf8() + '\n' + key.toUtf8()
                                                     + '\n' + body);
}

KSStorageEndpoint::KSStorageEndpoint(Context context)
    : m_context(std::move(context))
{
}

void KSStorageEndpoint::install(httplib::Server &server)
{
    // Path-style storage address: "/<bucket>/<key>". The body is read by the
    // handler itself, after the request has proved its credentials.
    server.Put(R"(/([^/]*)/(.*))", [this](const httplib::Request &req, httplib::Response &res,
                                          const httplib::ContentReader &reader) {
        const QString bucket = hostBucket(req);
        putObject(req, res, bucket.isEmpty() ? text(req.matches[1]) : bucket,
                  bucket.isEmpty() ? text(req.matches[2]) : text(req.path.substr(1)), bodyOf(reader));
    });
    // Any other PUT: the server would read its body before answering 404.
    server.Put(".*", [this](const httplib::Request &req, httplib::Response &res, const httplib::ContentReader &reader) {
        if (const QString bucket = hostBucket(req); !bucket.isEmpty() && req.path.size() > 1) {
            putObject(req, res, bucket, text(req.path.substr(1)), bodyOf(reader));
            return;
        }
        storageError(res, 404, "NoSuchKey", QStringLiteral("The address names no bucket and key."));
        res.set_header("Connection", "close");
    });
}

QString KSStorageEndpoint::hostBucket(const httplib::Request &req) const
{
    if (m_context.virtualHost.isEmpty())
        return {};
    QString host = header(req, "Host").toLower();
    if (const qsizetype colon = host.lastIndexOf(QLatin1Char(':')); colon > 0 && !host.endsWith(QLatin1Char(']')))
        host.truncate(colon);
    const QString suffix = QLatin1Char('.') + m_context.virtualHost.toLower();
    if (!host.endsWith(suffix))
        return {};
    const QString bucket = host.left(host.size() - suffix.size());
    return KSObjectStorage::isValidBucket(bucket) ? bucket : QString();
}

bool KSStorageEndpoint::refuseWhenFull(httplib::Response &res, const QString &path, const QString &error) const
{
    // Asked while the failed write still takes its room.
    if (!KSWriteFailure::isDiskFull(path))
        return false;
    const QString folder = QFileInfo(m_context.objects->root()).path();
    KSServiceLog::E(QStringLiteral("storing an upload failed: %1 (%2)").arg(KSDataFolderFull::message(folder), error));
    storageError(res, KSDataFolderFull::kHttpStatus, KSDataFolderFull::kStorageCode,
                 QStringLiteral("%1: the object cannot be stored.").arg(KSDataFolderFull::message(folder)));
    return true;
}

std::optional<QString> KSStorageEndpoint::authorizePut(const httplib::Request &req, httplib::Response &res,
                                                       const QString &bucket, const QString &key)
{
    const QByteArray authorization = QByteArray::fromStdString(req.get_header_value("Authorization"));
    const auto parsed = KSStorageSignature::parseAuthorization(authorization);
    if (!parsed) {
        storageError(res, 403, "AccessDenied", QStringLiteral("The request is not signed."));
        return std::nullopt;
    }
    const auto credential = m_context.store->credential(QString::fromLatin1(parsed->first));
    if (!credential) {
        storageError(res, 403, "InvalidAccessKeyId", QStringLiteral("The access key id does not exist."));
        return std::nullopt;
    }
    const qint64 now = m_context.nowMs();
    if (now >= credential->expiresAt) {
        storageError(res, 403, "SecurityTokenExpired", QStringLiteral("The credentials have expired."));
        return std::nullopt;
    }
    if (!KSStorageSignature::sameBytes(QByteArray::fromStdString(req.get_header_value("x-oss-security-token")),
                                       credential->securityToken.toLatin1())) {
        storageError(res, 403, "InvalidSecurityToken", QStringLiteral("The security token is wrong."));
        return std::nullopt;
    }
    const QDateTime date = KSStorageSignature::parseHttpDate(header(req, "Date"));
    if (!date.isValid() || std::abs(date.toMSecsSinceEpoch() - now) > allowedClockSkewMs) {
        storageError(res, 403, "RequestTimeTooSkewed",
                     QStringLiteral("The request's Date is missing or too far from the service's time."));
        return std::nullopt;
    }
    const QByteArray verb = QByteArray::fromStdString(req.method);
    const KSStorageSignature::Headers headers = signedHeaders(req);
    const QByteArray resource = KSStorageSignature::canonicalResource(bucket, key);
    if (!KSStorageSignature::verify(authorization, credential->accessSecret.toLatin1(), verb, headers, resource)) {
        // The signed text is no secret and tells a client author what differs.
        const QByteArray toSign = KSStorageSignature::stringToSign(verb, headers, resource);
        storageError(res, 403, "SignatureDoesNotMatch",
                     QStringLiteral("The request signature does not match. The text signed was: %1")
                         .arg(QString::fromUtf8(toSign).replace(QLatin1Char('\n'), QLatin1String("\\n"))));
        return std::nullopt;
    }
    if (bucket != credential->bucket || !key.startsWith(credential->prefix)) {
        storageError(res, 403, "AccessDenied", QStringLiteral("The credentials do not cover this key."));
        return std::nullopt;
    }
    return credential->accessId;
}

void KSStorageEndpoint::putObject(const httplib::Request &req, httplib::Response &res, const QString &bucket,
                                  const QString &key, const BodyReader &readBody)
{
    // A refusal comes from the head alone and ends the connection: the body
    // of a request that has not proved itself is never read, so that sending
    // it slowly holds no worker. The gate reads and drops what still comes
    // for a moment, and the client sees the answer rather than a reset.
    const auto refuseUnread = [&res] { res.set_header("Connection", "close"); };
    if (m_context.objects->pathFor(bucket, key).isEmpty()) {
        storageError(res, 400, "InvalidObjectName", QStringLiteral("The bucket or object key is refused."));
        refuseUnread();
        return;
    }
    const std::optional<QString> accessId = authorizePut(req, res, bucket, key);
    if (!accessId) {
        refuseUnread();
        return;
    }

    const QString staged = m_context.objects->stagingPath();
    QFile file(staged);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, KSDataFolder::kFileMode)) {
        if (!refuseWhenFull(res, staged, file.errorString()))
            storageError(res, 500, "InternalError", QStringLiteral("Cannot store the object."));
        refuseUnread();
        return;
    }
    QCryptographicHash md5(QCryptographicHash::Md5);
    qint64 size = 0;
    bool written = true;
    bool tooLarge = false;
    // The limit holds while the body streams in, whatever its transfer
    // encoding: a chunked body declares no length to check beforehand.
    const bool complete = readBody([&](const char *data, size_t length) {
        size += qint64(length);
        tooLarge = size > m_context.maxObjectBytes;
        if (tooLarge)
            return false;
        md5.addData(QByteArrayView(data, qsizetype(length)));
        written = written && file.write(data, qint64(length)) == qint64(length);
        return written;
    });
    written = file.flush() && written;
    const auto discard = [&staged] { QFile::remove(staged); };
    if (!complete || !written || tooLarge) {
        // Asked while the staged part still takes its room.
        const QString writeFailure = written ? QString() : KSWriteFailure::describe(staged, file.errorString());
        const bool fullFolder = !written && !tooLarge && refuseWhenFull(res, staged, file.errorString());
        file.close();
        discard();
        if (tooLarge || res.status == 413) {
            storageError(res, 413, "EntityTooLarge", QStringLiteral("The object is larger than the service accepts."));
            // The rest of the body is not read: the connection ends after the reply.
            res.set_header("Connection", "close");
        } else if (!written) {
            if (!fullFolder) {
                KSServiceLog::E(QStringLiteral("storing an upload failed: %1").arg(writeFailure));
                storageError(res, 500, "InternalError", QStringLiteral("The object could not be stored."));
            }
        } else {
            storageError(res, 400, "IncompleteBody", QStringLiteral("The object could not be received."));
        }
        return;
    }
    file.close();
    const QByteArray digest = md5.result();
    const QByteArray contentMd5 = QByteArray::fromStdString(req.get_header_value("Content-MD5"));
    if (!contentMd5.isEmpty() && contentMd5 != digest.toBase64()) {
        discard();
        storageError(res, 400, "InvalidDigest", QStringLiteral("The Content-MD5 does not match the body."));
        return;
    }
    QString error;
    if (!m_context.objects->commit(staged, bucket, key, &error)) {
        discard();
        KSServiceLog::E(QStringLiteral("storing %1 failed: %2").arg(key, error));
        storageError(res, 500, "InternalError", QStringLiteral("Cannot store the object."));
        return;
    }
    const QByteArray etag = '"' + digest.toHex().toUpper() + '"';
    res.set_header("ETag", etag.toStdString());
    if (!req.has_header("x-oss-callback")) {
        res.status = 200;
        return;
    }
    if (!runCallback(req, res, *accessId, bucket, key, size, etag))
        m_context.objects->remove(bucket, key);
}

bool KSStorageEndpoint::runCallback(const httplib::Request &req, httplib::Response &res, const QString &accessId,
                                    const QString &bucket, const QString &key, qint64 size, const QByteArray &etag)
{
    QJsonObject callback;
    QJsonObject variables;
    QString problem = fromBase64Json(req.get_header_value("x-oss-callback"), &callback);
    if (problem.isEmpty() && req.has_header("x-oss-callback-var"))
        problem = fromBase64Json(req.get_header_value("x-oss-callback-var"), &variables);
    if (!problem.isEmpty()) {
        storageError(res, 400, "InvalidArgument", QStringLiteral("The callback parameters are %1.").arg(problem));
        return false;
    }
    // The storage calls back only this service: an upload cannot make it
    // send requests anywhere else.
    const QUrl target(callback.value(QStringLiteral("callbackUrl")).toString());
    const QUrl own(m_context.baseUrl + QLatin1String(KSProtocolPaths::storageCallback));
    if (target.scheme() != own.scheme() || target.host() != own.host() || target.port(80) != own.port(80)
        || target.path() != own.path()) {
        storageError(res, 400, "InvalidArgument", QStringLiteral("The callback address is not this service."));
        return false;
    }

    QString body = callback.value(QStringLiteral("callbackBody")).toString();
    const QString mimeType = header(req, "Content-Type");
    const std::pair<const char *, QString> values[] = {
        {"${bucket}", bucket},
        {"${object}", key},
        {"${size}", QString::number(size)},
        {"${etag}", QString::fromLatin1(etag.mid(1, etag.size() - 2))},
        {"${mimeType}", mimeType.isEmpty() ? QStringLiteral("application/octet-stream") : mimeType},
    };
    for (const auto &[name, value] : values)
        body.replace(QLatin1String(name), percentEncoded(value));
    for (auto it = variables.begin(); it != variables.end(); ++it) {
        if (it.key().startsWith(QLatin1String("x:")))
            body.replace(QStringLiteral("${%1}").arg(it.key()), percentEncoded(it.value().toString()));
    }

    httplib::Request call;
    call.method = "POST";
    call.path = KSProtocolPaths::storageCallback;
    call.body = body.toStdString();
    call.set_header("Content-Type",
                    callback.value(QStringLiteral("callbackBodyType"))
                        .toString(QStringLiteral("application/x-www-form-urlencoded"))
                        .toStdString());
    call.set_header(kCallbackAccessIdHeader, accessId.toStdString());
    call.set_header(kCallbackBucketHeader, bucket.toStdString());
    call.set_header(kCallbackKeyHeader, key.toStdString());
    call.set_header(kCallbackSignatureHeader,
                    callbackSignature(m_context.callbackSecret, accessId, bucket, key, body.toUtf8()).toStdString());
    httplib::Response reply;
    m_context.deliverCallback(call, reply);
    if (reply.status != 200) {
        KSServiceLog::E(QStringLiteral("the storage callback for %1 answered %2").arg(key).arg(reply.status));
        storageError(res, 203, "CallbackFailed",
                     QStringLiteral("The callback answered %1: %2").arg(reply.status).arg(text(reply.body)));
        return false;
    }
    res.status = 200;
    res.set_content(reply.body, "application/json");
    return true;
}
