#include "KSServiceApi.h"

#include "KSEraserType.h"
#include "KSObjectStorage.h"
#include "KSProtocolPaths.h"
#include "KSServiceHttp.h"
#include "KSServiceLog.h"
#include "KSServiceRandom.h"
#include "KSServiceStore.h"
#include "KSStorageEndpoint.h"
#include "KSStorageSignature.h"
#include "KSTaskProgress.h"
#include "KSTaskSignal.h"
#include "KSTaskWorkerPool.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QUrlQuery>

#include <httplib.h>

namespace {
using KSServiceHttp::header;
using KSServiceHttp::refuse;
using KSServiceHttp::succeed;
using KSServiceHttp::text;

// A parameter wherever the client's HTTP layer put it: query, form, multipart or JSON body.
QString parameter(const httplib::Request &req, const char *name)
{
    if (req.has_param(name))
        return text(req.get_param_value(name));
    if (req.has_file(name))
        return text(req.get_file_value(name).content);
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

// The web API's bodies are small forms or JSON; only the storage endpoint's
// PUT carries pictures. A larger body is refused before it is read, and so
// is one of unknown length, which would be read until the client stops.
constexpr size_t kMaxApiBodyBytes = 1024 * 1024;

// The account token in the request's head: the bearer token, or an
// "api_token" in the address. One in the body alone is not looked at: a
// body is read only for a request that has proved itself by its head.
QString headToken(const httplib::Request &req)
{
    const QString authorization = header(req, "Authorization");
    if (authorization.startsWith(QLatin1String("Bearer "), Qt::CaseInsensitive)) {
        if (const QString token = authorization.mid(7).trimmed(); !token.isEmpty())
            return token;
    }
    const size_t query = req.target.find('?');
    if (query == std::string::npos)
        return {};
    return QUrlQuery(text(req.target.substr(query + 1))).queryItemValue(QStringLiteral("api_token"), QUrl::FullyDecoded);
}

// A route of the API followed by one path segment, captured.
std::string withSegment(const char *route)
{
    return std::string(route) + "([^/]+)";
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
    server.Get(KSProtocolPaths::authentications, bind(&KSServiceApi::getAuthentications));
    server.Post(KSProtocolPaths::resources, bind(&KSServiceApi::postResources));
    server.Post(withSegment(KSProtocolPaths::tasks), bind(&KSServiceApi::createTask));
    server.Get(withSegment(KSProtocolPaths::tasks), bind(&KSServiceApi::getTask));
    server.Post(withSegment(KSProtocolPaths::tasks) + KSProtocolPaths::taskCancel, bind(&KSServiceApi::cancelTask));
    server.Get(withSegment(KSProtocolPaths::masks), bind(&KSServiceApi::getMask));
    server.Post(KSProtocolPaths::storageCallback, bind(&KSServiceApi::storageCallback));

    server.set_pre_routing_handler([this](const Request &req, Response &res) {
        return admitBody(req, res) ? Server::HandlerResponse::Unhandled : Server::HandlerResponse::Handled;
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
        KSServiceLog::E(QStringLiteral("%1 %2 failed: %3").arg(text(req.method), text(req.path), what));
        refuse(res, 500, QStringLiteral("internal error"));
    });
}

bool KSServiceApi::admitBody(const httplib::Request &req, httplib::Response &res)
{
    // The methods whose body the server reads before routing; the storage
    // endpoint's PUT reads its own, once its signature has been checked.
    const bool carriesBody = req.method == "POST" || req.method == "PATCH" || req.method == "DELETE" || req.method == "PRI";
    if (!carriesBody)
        return true;
    const std::string length = req.get_header_value("Content-Length");
    if (req.has_header("Transfer-Encoding") || length.empty()) {
        refuse(res, 411, QStringLiteral("a request body needs a Content-Length"));
    } else if (bool ok = false; QByteArray::fromStdString(length).toULongLong(&ok) > kMaxApiBodyBytes || !ok) {
        refuse(res, 413, QStringLiteral("the request is too large"));
    } else if (req.path == KSProtocolPaths::storageCallback ? callbackNamesCredential(req, res) : account(req, res).has_value()) {
        return true;
    }
    // Refused before the body: the client cannot keep a worker by sending it slowly.
    res.set_header("Connection", "close");
    return false;
}

bool KSServiceApi::callbackNamesCredential(const httplib::Request &req, httplib::Response &res)
{
    // The signature covers the body and is checked once it is read; a
    // callback that does not even name live credentials is not read.
    const bool named = req.has_header(KSStorageEndpoint::kCallbackSignatureHeader)
                       && m_context.store->credential(header(req, KSStorageEndpoint::kCallbackAccessIdHeader));
    if (!named)
        refuse(res, 403, QStringLiteral("the callback is not signed by the storage"));
    return named;
}

std::optional<qint64> KSServiceApi::account(const httplib::Request &req, httplib::Response &res)
{
    const QString token = headToken(req);
    const auto accountId = m_context.store->accountForToken(token);
    if (!accountId)
        refuse(res, 401, token.isEmpty() ? QStringLiteral("no account token in the Authorization header or the address")
                                         : QStringLiteral("unknown account token"));
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
        {QStringLiteral("callbackUrl"), m_context.baseUrl + QLatin1String(KSProtocolPaths::storageCallback)},
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
    const auto type = KSEraserTypeFromRawValue(text(req.matches[1]));
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
    task.type = KSEraserTypeRawValue(*type);
    task.createdAt = now;
    task.updatedAt = now;
    // One task per upload and type: a client whose reply was lost sends the
    // creation again, and gets the task already made.
    const auto added = m_context.store->addTaskOnce(task);
    if (!added) {
        refuse(res, 500, QStringLiteral("cannot create the task"));
        return;
    }
    if (added->created)
        m_context.pool->wake();
    else
        KSServiceLog::I(QStringLiteral("task %1 asked for again").arg(added->task.id));
    succeed(res, {{QStringLiteral("task_id"), added->task.id}, {QStringLiteral("status"), added->task.status}});
}

void KSServiceApi::getTask(const httplib::Request &req, httplib::Response &res)
{
    const auto accountId = account(req, res);
    if (!accountId)
        return;
    const QString taskId = text(req.matches[1]);
    auto task = m_context.store->task(taskId);
    if (!task || task->accountId != *accountId) {
        refuse(res, 404, QStringLiteral("unknown task"));
        return;
    }
    const auto ended = [](const KSServiceStore::Task &t) {
        return t.status == KSTaskStatus::done || t.status == KSTaskStatus::failed;
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
    if (task->status == KSTaskStatus::done) {
        // A signed address, so that a client whose download sends no token
        // fetches it while it is young; the account's token fetches it too.
        const auto owner = m_context.store->maskOwner(task->maskName);
        const qint64 expires = (m_context.nowMs() + m_context.credentialLifetimeMs) / 1000;
        const QByteArray signature = owner ? maskSignature(owner->signingKey, task->maskName, expires) : QByteArray();
        data.insert(QStringLiteral("mask_file_url"),
                    m_context.baseUrl + QLatin1String(KSProtocolPaths::masks) + task->maskName
                        + QStringLiteral(".png?expires=%1&signature=%2").arg(expires).arg(QLatin1String(signature)));
    }
    if (task->status == KSTaskStatus::failed)
        data.insert(QStringLiteral("error"), task->error);
    // How far the task has come, 0..1, while it waits or runs, and once done.
    if (task->status == KSTaskStatus::waiting)
        data.insert(QStringLiteral("progress"), 0.0);
    else if (task->status == KSTaskStatus::running)
        data.insert(QStringLiteral("progress"),
                    m_context.progress ? m_context.progress->progress(taskId, m_context.nowMs()).value_or(0.0) : 0.0);
    else if (task->status == KSTaskStatus::done)
        data.insert(QStringLiteral("progress"), 1.0);
    succeed(res, data);
}

void KSServiceApi::cancelTask(const httplib::Request &req, httplib::Response &res)
{
    const auto accountId = account(req, res);
    if (!accountId)
        return;
    const QString taskId = text(req.matches[1]);
    const auto task = m_context.store->task(taskId);
    if (!task || task->accountId != *accountId) {
        refuse(res, 404, QStringLiteral("unknown task"));
        return;
    }
    // A waiting task is never claimed now; a running one finishes into
    // nothing, its mask dropped by the runner. An ended task stays as it is.
    // The upload is deleted at once rather than by the daily purge: the
    // user was told Cancel deletes the job's files.
    KSServiceStore::Files dropped;
    if (m_context.store->cancelTask(taskId, m_context.nowMs(), &dropped)) {
        for (const auto &[bucket, key] : dropped.objects)
            m_context.objects->remove(bucket, key);
        for (const QString &mask : dropped.masks)
            QFile::remove(m_context.masksDir + QLatin1Char('/') + mask + QStringLiteral(".png"));
        KSServiceLog::I(QStringLiteral("task %1 cancelled; %2 upload(s) deleted").arg(taskId).arg(dropped.objects.size()));
        if (m_context.taskSignal)
            m_context.taskSignal->notify();
    }
    const auto now = m_context.store->task(taskId);
    succeed(res, {{QStringLiteral("task_id"), taskId}, {QStringLiteral("status"), now ? now->status : task->status}});
}

QByteArray KSServiceApi::maskSignature(const QByteArray &key, const QString &maskName, qint64 expires)
{
    const QByteArray text = QByteArray(KSProtocolPaths::masks) + maskName.toLatin1() + ".png\n" + QByteArray::number(expires);
    return QMessageAuthenticationCode::hash(text, key, QCryptographicHash::Sha256).toHex();
}

void KSServiceApi::getMask(const httplib::Request &req, httplib::Response &res)
{
    // The name is 256 random bits; only names of that form are looked up.
    static const QRegularExpression pattern(QStringLiteral("^([0-9a-f]{64})\\.png$"));
    const QRegularExpressionMatch name = pattern.match(text(req.matches[1]));
    const auto owner = name.hasMatch() ? m_context.store->maskOwner(name.captured(1)) : std::nullopt;
    QFile file(m_context.masksDir + QLatin1Char('/') + name.captured(0));
    if (!owner || !file.open(QIODevice::ReadOnly)) {
        refuse(res, 404, QStringLiteral("unknown mask"));
        return;
    }
    // A mask is its account's: the account's token or an address it signed
    // and that has not expired fetches it, the name alone does not.
    if (req.has_param("signature")) {
        bool ok = false;
        const qint64 expires = text(req.get_param_value("expires")).toLongLong(&ok);
        const bool allowed = ok && expires * 1000 > m_context.nowMs()
                  && KSStorageSignature::sameBytes(QByteArray::fromStdString(req.get_param_value("signature")),
                                                   maskSignature(owner->signingKey, name.captured(1), expires));
        if (!allowed) {
            refuse(res, 403, QStringLiteral("the mask's address is expired or not signed by the service"));
            return;
        }
    } else {
        const auto accountId = account(req, res);
        if (!accountId)
            return;
        if (*accountId != owner->accountId) {
            refuse(res, 404, QStringLiteral("unknown mask"));
            return;
        }
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(file.readAll().toStdString(), "image/png");
}

void KSServiceApi::storageCallback(const httplib::Request &req, httplib::Response &res)
{
    const QByteArray body = QByteArray::fromStdString(req.body);
    const QString accessId = header(req, KSStorageEndpoint::kCallbackAccessIdHeader);
    const QString uploadedBucket = header(req, KSStorageEndpoint::kCallbackBucketHeader);
    const QString uploadedKey = header(req, KSStorageEndpoint::kCallbackKeyHeader);
    const QByteArray signature = QByteArray::fromStdString(req.get_header_value(KSStorageEndpoint::kCallbackSignatureHeader));
    if (!KSStorageSignature::sameBytes(signature, KSStorageEndpoint::callbackSignature(m_context.callbackSecret, accessId,
                                                                                      uploadedBucket, uploadedKey, body))) {
        refuse(res, 403, QStringLiteral("the callback is not signed by the storage"));
        return;
    }
    const QUrlQuery form(QString::fromUtf8(body));
    const QString bucket = form.queryItemValue(QStringLiteral("bucket"), QUrl::FullyDecoded);
    const QString key = form.queryItemValue(QStringLiteral("object"), QUrl::FullyDecoded);
    // The client writes the callback body: it may name only the object it
    // has just stored, which becomes a resource of the account whose
    // credentials stored it.
    if (bucket != uploadedBucket || key != uploadedKey) {
        refuse(res, 403, QStringLiteral("the callback names another object than the upload"));
        return;
    }
    const auto credential = m_context.store->credential(accessId);
    const QString path = m_context.objects->pathFor(bucket, key);
    if (!credential || credential->bucket != bucket || !key.startsWith(credential->prefix) || path.isEmpty()
        || !QFile::exists(path)) {
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
