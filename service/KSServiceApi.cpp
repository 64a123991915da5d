#include "KSServiceApi.h"

#include "KSCutoutType.h"
#include "KSObjectStorage.h"
#include "KSServiceLog.h"
#include "KSServiceRandom.h"
#include "KSServiceStore.h"
#include "KSStorageSignature.h"
#include "KSTaskSignal.h"
#include "KSTaskWorkerPool.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <httplib.h>

namespace {
QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

void sendJson(httplib::Response &res, int httpStatus, const QJsonObject &object)
{
    res.status = httpStatus;
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

// The envelope: "status" is text, "1" for success.
void succeed(httplib::Response &res, const QJsonObject &data)
{
    sendJson(res, 200,
             {{QStringLiteral("status"), QStringLiteral("1")},
              {QStringLiteral("message"), QStringLiteral("ok")},
              {QStringLiteral("data"), data}});
}

void refuse(httplib::Response &res, int httpStatus, const QString &message)
{
    sendJson(res, httpStatus,
             {{QStringLiteral("status"), QStringLiteral("0")}, {QStringLiteral("message"), message}});
}

// Storage errors keep the storage's own XML form.
void storageError(httplib::Response &res, int httpStatus, const char *code, const QString &message)
{
    res.status = httpStatus;
    const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>%1</Code>"
                                       "<Message>%2</Message></Error>\n")
                            .arg(QLatin1String(code), message.toHtmlEscaped());
    res.set_content(xml.toStdString(), "application/xml");
}

QString headerText(const httplib::Request &req, const char *name)
{
    return qs(req.get_header_value(name));
}

// A parameter wherever the client's HTTP layer put it: query, form, multipart or JSON body.
QString parameter(const httplib::Request &req, const char *name)
{
    if (req.has_param(name))
        return qs(req.get_param_value(name));
    if (req.has_file(name))
        return qs(req.get_file_value(name).content);
    if (req.get_header_value("Content-Type").rfind("application/json", 0) == 0) {
        const QJsonValue value = QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).object().value(
            QLatin1String(name));
        if (value.isString())
            return value.toString();
        if (value.isDouble())
            return QString::number(value.toDouble(), 'g', 17);
    }
    return {};
}

KSStorageSignature::HeaderList signedHeaders(const httplib::Request &req)
{
    KSStorageSignature::HeaderList headers;
    for (const auto &[name, value] : req.headers)
        headers.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
    return headers;
}

QString fromBase64Json(const std::string &text, QJsonObject *object)
{
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QStringLiteral("not Base64");
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*decoded, &parseError);
    if (!document.isObject())
        return QStringLiteral("not a JSON object");
    *object = document.object();
    return {};
}

// "Wed, 28 Dec 2022 10:27:41 GMT", or RFC 2822 with a numeric zone.
QDateTime httpDate(const QString &text)
{
    QDateTime date = QLocale::c().toDateTime(text.trimmed(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    if (date.isValid()) {
        date.setTimeSpec(Qt::UTC);
        return date;
    }
    return QDateTime::fromString(text.trimmed(), Qt::RFC2822Date);
}

QString percentEncoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}
} // namespace

KSServiceApi::KSServiceApi(Context context)
    : m_context(std::move(context))
{
}

void KSServiceApi::install(httplib::Server &server)
{
    using namespace httplib;
    auto bind = [this](void (KSServiceApi::*handler)(const Request &, Response &)) {
        return [this, handler](const Request &req, Response &res) { (this->*handler)(req, res); };
    };
    server.Get("/api/authentications", bind(&KSServiceApi::getAuthentications));
    server.Post("/api/resources", bind(&KSServiceApi::postResources));
    server.Post(R"(/api/tasks/([^/]+))", bind(&KSServiceApi::createTask));
    server.Get(R"(/api/tasks/([^/]+))", bind(&KSServiceApi::getTask));
    server.Get(R"(/api/masks/([^/]+))", bind(&KSServiceApi::getMask));
    server.Post(callbackPath, bind(&KSServiceApi::storageCallback));
    // Path-style storage address: "/<bucket>/<key>". The body is read by the
    // handler itself, after the request has proved its credentials.
    server.Put(R"(/([^/]*)/(.*))", [this](const Request &req, Response &res, const ContentReader &reader) {
        putObject(req, res, [&reader](std::function<bool(const char *, size_t)> receive) {
            return reader([&receive](const char *data, size_t length) { return receive(data, length); });
        });
    });

    server.set_error_handler([](const Request &, Response &res) {
        if (!res.body.empty())
            return;
        switch (res.status) {
        case 404: refuse(res, 404, QStringLiteral("not found")); break;
        case 413: refuse(res, 413, QStringLiteral("the request is too large")); break;
        default: refuse(res, res.status, QStringLiteral("the request was refused")); break;
        }
    });
    server.set_exception_handler([](const Request &req, Response &res, std::exception_ptr error) {
        QString what = QStringLiteral("unknown error");
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const std::exception &e) {
            what = QString::fromUtf8(e.what());
        } catch (...) {
        }
        KSServiceLog::E(QStringLiteral("%1 %2 failed: %3").arg(qs(req.method), qs(req.path), what));
        refuse(res, 500, QStringLiteral("internal error"));
    });
}

std::optional<qint64> KSServiceApi::account(const httplib::Request &req, httplib::Response &res)
{
    QString token;
    const QString authorization = headerText(req, "Authorization");
    if (authorization.startsWith(QLatin1String("Bearer "), Qt::CaseInsensitive))
        token = authorization.mid(7).trimmed();
    if (token.isEmpty())
        token = parameter(req, "api_token");
    const auto accountId = m_context.store->accountForToken(token);
    if (!accountId)
        refuse(res, 401, token.isEmpty() ? QStringLiteral("no account token") : QStringLiteral("unknown account token"));
    return accountId;
}

void KSServiceApi::getAuthentications(const httplib::Request &req, httplib::Response &res)
{
    const auto accountId = account(req, res);
    if (!accountId)
        return;
    KSServiceStore::Credential credential;
    credential.accessId = QStringLiteral("LOCAL") + KSServiceRandomHex(10).toUpper();
    credential.accessSecret = KSServiceRandomHex(20);
    credential.securityToken = KSServiceRandomHex(32);
    credential.accountId = *accountId;
    credential.bucket = m_context.bucket;
    // One key prefix per credential ties every upload to its account.
    credential.prefix = QStringLiteral("images/") + KSServiceRandomHex(16) + QLatin1Char('/');
    credential.expiresAt = m_context.nowMs() + m_context.credentialLifetimeMs;
    if (!m_context.store->addCredential(credential)) {
        refuse(res, 500, QStringLiteral("cannot issue credentials"));
        return;
    }
    const QJsonObject callback{
        {QStringLiteral("callbackUrl"), m_context.baseUrl + QLatin1String(callbackPath)},
        {QStringLiteral("callbackBody"),
         QStringLiteral("bucket=${bucket}&object=${object}&size=${size}&mimeType=${mimeType}&etag=${etag}")},
        {QStringLiteral("callbackBodyType"), QStringLiteral("application/x-www-form-urlencoded")},
    };
    succeed(res, {
                     {QStringLiteral("endpoint"), m_context.storageEndpoint},
                     {QStringLiteral("access_id"), credential.accessId},
                     {QStringLiteral("access_secret"), credential.accessSecret},
                     {QStringLiteral("security_token"), credential.securityToken},
                     {QStringLiteral("bucket"), credential.bucket},
                     {QStringLiteral("expiration"),
                      QDateTime::fromMSecsSinceEpoch(credential.expiresAt, Qt::UTC).toString(Qt::ISODate)},
                     {QStringLiteral("path"), QJsonObject{{QStringLiteral("images"), credential.prefix}}},
                     {QStringLiteral("callback"), callback},
                 });
}

void KSServiceApi::postResources(const httplib::Request &req, httplib::Response &res)
{
    const auto accountId = account(req, res);
    if (!accountId)
        return;
    const auto resource = m_context.store->resource(parameter(req, "resource_id"));
    if (!resource || resource->accountId != *accountId) {
        refuse(res, 404, QStringLiteral("unknown resource"));
        return;
    }
    m_context.store->markRegistered(resource->id);
    succeed(res, {{QStringLiteral("resource_id"), resource->id},
                  {QStringLiteral("object"), resource->objectKey},
                  {QStringLiteral("size"), double(resource->size)}});
}

void KSServiceApi::createTask(const httplib::Request &req, httplib::Response &res)
{
    const auto accountId = account(req, res);
    if (!accountId)
        return;
    const auto type = KSCutoutTypeFromRawValue(qs(req.matches[1]));
    if (!type) {
        refuse(res, 404, QStringLiteral("unknown cut-out type"));
        return;
    }
    const auto resource = m_context.store->resource(parameter(req, "file_id"));
    if (!resource || resource->accountId != *accountId) {
        refuse(res, 404, QStringLiteral("unknown file"));
        return;
    }
    const qint64 now = m_context.nowMs();
    KSServiceStore::Task task;
    task.id = KSServiceRandomHex(16);
    task.accountId = *accountId;
    task.resourceId = resource->id;
    task.type = KSCutoutTypeRawValue(*type);
    task.createdAt = now;
    task.updatedAt = now;
    if (!m_context.store->addTask(task)) {
        refuse(res, 500, QStringLiteral("cannot create the task"));
        return;
    }
    m_context.pool->enqueue(task.id);
    succeed(res, {{QStringLiteral("task_id"), task.id}, {QStringLiteral("status"), task.status}});
}

void KSServiceApi::getTask(const httplib::Request &req, httplib::Response &res)
{
    const auto accountId = account(req, res);
    if (!accountId)
        return;
    const QString taskId = qs(req.matches[1]);
    auto task = m_context.store->task(taskId);
    if (!task || task->accountId != *accountId) {
        refuse(res, 404, QStringLiteral("unknown task"));
        return;
    }
    const auto ended = [](const KSServiceStore::Task &t) {
        return t.status == KSServiceStore::done || t.status == KSServiceStore::failed;
    };
    if (!ended(*task) && m_context.taskSignal && m_context.pollHoldMs > 0) {
        m_context.taskSignal->waitFor(
            [&] {
                if (auto latest = m_context.store->task(taskId))
                    task = std::move(latest);
                return ended(*task);
            },
            std::chrono::milliseconds(m_context.pollHoldMs));
    }
    QJsonObject data{{QStringLiteral("task_id"), task->id},
                     {QStringLiteral("status"), task->status},
                     {QStringLiteral("type"), task->type}};
    if (!task->engine.isEmpty())
        data.insert(QStringLiteral("engine"), task->engine);
    if (task->status == KSServiceStore::done)
        data.insert(QStringLiteral("mask_file_url"),
                    m_context.baseUrl + QStringLiteral("/api/masks/") + task->maskName + QStringLiteral(".png"));
    if (task->status == KSServiceStore::failed)
        data.insert(QStringLiteral("error"), task->error);
    succeed(res, data);
}

void KSServiceApi::getMask(const httplib::Request &req, httplib::Response &res)
{
    // The name is 256 random bits; only names of that form are looked up.
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{64}\\.png$"));
    const QString name = qs(req.matches[1]);
    QFile file(m_context.masksDir + QLatin1Char('/') + name);
    if (!pattern.match(name).hasMatch() || !file.open(QIODevice::ReadOnly)) {
        refuse(res, 404, QStringLiteral("unknown mask"));
        return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(file.readAll().toStdString(), "image/png");
}

void KSServiceApi::storageCallback(const httplib::Request &req, httplib::Response &res)
{
    const QByteArray body = QByteArray::fromStdString(req.body);
    const QByteArray signature = QByteArray::fromStdString(req.get_header_value("X-Cutora-Callback-Signature"));
    if (!KSStorageSignature::sameBytes(signature, KSStorageSignature::sign(m_context.callbackSecret, body))) {
        refuse(res, 403, QStringLiteral("the callback is not signed by the storage"));
        return;
    }
    const QUrlQuery form(QString::fromUtf8(body));
    const QString bucket = form.queryItemValue(QStringLiteral("bucket"), QUrl::FullyDecoded);
    const QString key = form.queryItemValue(QStringLiteral("object"), QUrl::FullyDecoded);
    const auto credential = m_context.store->credentialForObject(bucket, key);
    const QString path = m_context.objects->pathFor(bucket, key);
    if (!credential || path.isEmpty() || !QFile::exists(path)) {
        refuse(res, 404, QStringLiteral("unknown object"));
        return;
    }
    KSServiceStore::Resource resource;
    resource.id = KSServiceRandomHex(16);
    resource.accountId = credential->accountId;
    resource.bucket = bucket;
    resource.objectKey = key;
    resource.size = QFileInfo(path).size();
    resource.createdAt = m_context.nowMs();
    if (!m_context.store->addResource(resource)) {
        refuse(res, 500, QStringLiteral("cannot record the upload"));
        return;
    }
    succeed(res, {{QStringLiteral("resource"),
                   QJsonObject{{QStringLiteral("resource_id"), resource.id},
                               {QStringLiteral("object"), key},
                               {QStringLiteral("size"), double(resource.size)}}}});
}

bool KSServiceApi::authorizePut(const httplib::Request &req, httplib::Response &res, const QString &bucket,
                                const QString &key)
{
    QByteArray accessId, signature;
    if (!KSStorageSignature::parseAuthorization(QByteArray::fromStdString(req.get_header_value("Authorization")),
                                                &accessId, &signature)) {
        storageError(res, 403, "AccessDenied", QStringLiteral("The request is not signed."));
        return false;
    }
    const auto credential = m_context.store->credential(QString::fromLatin1(accessId));
    if (!credential) {
        storageError(res, 403, "InvalidAccessKeyId", QStringLiteral("The access key id does not exist."));
        return false;
    }
    const qint64 now = m_context.nowMs();
    if (now >= credential->expiresAt) {
        storageError(res, 403, "SecurityTokenExpired", QStringLiteral("The credentials have expired."));
        return false;
    }
    if (!KSStorageSignature::sameBytes(QByteArray::fromStdString(req.get_header_value("x-oss-security-token")),
                                       credential->securityToken.toLatin1())) {
        storageError(res, 403, "InvalidSecurityToken", QStringLiteral("The security token is wrong."));
        return false;
    }
    const QDateTime date = httpDate(headerText(req, "Date"));
    if (!date.isValid() || std::abs(date.toMSecsSinceEpoch() - now) > allowedClockSkewMs) {
        storageError(res, 403, "RequestTimeTooSkewed",
                     QStringLiteral("The request's Date is missing or too far from the service's time."));
        return false;
    }
    const QByteArray resource = "/" + bucket.toUtf8() + "/" + key.toUtf8();
    const QByteArray toSign =
        KSStorageSignature::stringToSign(QByteArray::fromStdString(req.method), signedHeaders(req), resource);
    if (!KSStorageSignature::sameBytes(signature, KSStorageSignature::sign(credential->accessSecret.toLatin1(), toSign))) {
        // The signed text is no secret and tells a client author what differs.
        storageError(res, 403, "SignatureDoesNotMatch",
                     QStringLiteral("The request signature does not match. The text signed was: %1")
                         .arg(QString::fromUtf8(toSign).replace(QLatin1Char('\n'), QLatin1String("\\n"))));
        return false;
    }
    if (bucket != credential->bucket || !key.startsWith(credential->prefix)) {
        storageError(res, 403, "AccessDenied", QStringLiteral("The credentials do not cover this key."));
        return false;
    }
    return true;
}

void KSServiceApi::putObject(const httplib::Request &req, httplib::Response &res,
                             const std::function<bool(std::function<bool(const char *, size_t)>)> &readBody)
{
    const QString bucket = qs(req.matches[1]);
    const QString key = qs(req.matches[2]);
    // Whatever is refused, the body is read and dropped, so that the client
    // sees the answer rather than a reset connection.
    const auto drain = [&readBody] { readBody([](const char *, size_t) { return true; }); };
    if (m_context.objects->pathFor(bucket, key).isEmpty()) {
        drain();
        storageError(res, 400, "InvalidObjectName", QStringLiteral("The bucket or object key is refused."));
        return;
    }
    if (!authorizePut(req, res, bucket, key)) {
        drain();
        return;
    }

    const QString staged = m_context.objects->stagingPath();
    QFile file(staged);
    if (!file.open(QIODevice::WriteOnly)) {
        drain();
        storageError(res, 500, "InternalError", QStringLiteral("Cannot store the object."));
        return;
    }
    QCryptographicHash md5(QCryptographicHash::Md5);
    qint64 size = 0;
    bool written = true;
    const bool complete = readBody([&](const char *data, size_t length) {
        md5.addData(QByteArrayView(data, qsizetype(length)));
        size += qint64(length);
        written = written && file.write(data, qint64(length)) == qint64(length);
        return written;
    });
    file.close();
    const auto discard = [&staged] { QFile::remove(staged); };
    if (!complete || !written) {
        discard();
        if (res.status == 413)
            storageError(res, 413, "EntityTooLarge", QStringLiteral("The object is larger than the service accepts."));
        else
            storageError(res, written ? 400 : 500, written ? "IncompleteBody" : "InternalError",
                         QStringLiteral("The object could not be received."));
        return;
    }
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
    if (!runCallback(req, res, bucket, key, size, etag))
        m_context.objects->remove(bucket, key);
}

bool KSServiceApi::runCallback(const httplib::Request &req, httplib::Response &res, const QString &bucket,
                               const QString &key, qint64 size, const QByteArray &etag)
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
    const QUrl own(m_context.baseUrl + QLatin1String(callbackPath));
    if (target.scheme() != own.scheme() || target.host() != own.host() || target.port(80) != own.port(80)
        || target.path() != own.path()) {
        storageError(res, 400, "InvalidArgument", QStringLiteral("The callback address is not this service."));
        return false;
    }

    QString body = callback.value(QStringLiteral("callbackBody")).toString();
    const QString mimeType = headerText(req, "Content-Type");
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
    call.path = callbackPath;
    call.body = body.toStdString();
    call.set_header("Content-Type",
                    callback.value(QStringLiteral("callbackBodyType"))
                        .toString(QStringLiteral("application/x-www-form-urlencoded"))
                        .toStdString());
    call.set_header("X-Cutora-Callback-Signature",
                    KSStorageSignature::sign(m_context.callbackSecret, body.toUtf8()).toStdString());
    httplib::Response reply;
    storageCallback(call, reply);
    if (reply.status != 200) {
        KSServiceLog::E(QStringLiteral("the storage callback for %1 answered %2").arg(key).arg(reply.status));
        storageError(res, 203, "CallbackFailed",
                     QStringLiteral("The callback answered %1: %2").arg(reply.status).arg(qs(reply.body)));
        return false;
    }
    res.status = 200;
    res.set_content(reply.body, "application/json");
    return true;
}
