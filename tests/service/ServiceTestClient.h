#pragma once

// A local service in a temporary folder and a small protocol client for the
// service tests: requests are made with cpp-httplib, signed as a storage
// client signs them.

#include "KSDataFolder.h"
#include "KSLocalService.h"
#include "KSStorageSignature.h"
#include "PostgresTestServer.h"

#include <QBuffer>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <httplib.h>

#include <atomic>
#include <memory>

class ServiceTestClient
{
public:
    // The service's clock runs this far ahead of the real one.
    std::shared_ptr<std::atomic<qint64>> clockOffsetMs = std::make_shared<std::atomic<qint64>>(0);
    KSLocalService service;

    KSLocalService::Options options(const QString &dataDir, int workers = 1) const
    {
        KSLocalService::Options o;
        o.dataDir = dataDir;
        o.workers = workers;
        o.clock = [offset = clockOffsetMs] { return QDateTime::currentDateTimeUtc().addMSecs(offset->load()); };
        // The same tests against a team's store: a database per data folder,
        // which keeps its records across a restart as the folder's SQLite does.
        if (usesPostgres()) {
            o.database = PostgresTestServer::shared().databaseFor(KSDataFolder::resolve(dataDir));
            o.replaceTeamAccount = true;
        }
        return o;
    }

    // Whether the tests run against PostgreSQL (CUTORA_TEST_STORE=postgresql).
    static bool usesPostgres() { return qEnvironmentVariable("CUTORA_TEST_STORE") == QLatin1String("postgresql"); }

    bool start(const QString &dataDir, int workers = 1) { return service.start(options(dataDir, workers)); }

    QDateTime serviceNow() const { return QDateTime::currentDateTimeUtc().addMSecs(clockOffsetMs->load()); }

    // Set: requests go to a service of another process on this port.
    quint16 otherPort = 0;

    std::unique_ptr<httplib::Client> client() const
    {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", otherPort ? otherPort : service.port());
        c->set_url_encode(false);
        c->set_read_timeout(30, 0);
        return c;
    }

    static QJsonObject json(const httplib::Result &result)
    {
        return result ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object() : QJsonObject();
    }
    static QJsonObject data(const httplib::Result &result) { return json(result).value(QStringLiteral("data")).toObject(); }

    httplib::Result get(const std::string &path, const QString &token) const
    {
        httplib::Headers headers;
        if (!token.isNull())
            headers.emplace("Authorization", "Bearer " + token.toStdString());
        return client()->Get(path.c_str(), headers);
    }

    // A form-encoded POST, parameters as the client's HTTP layer sends them.
    httplib::Result post(const std::string &path, const httplib::Params &params, const QString &bearer = {}) const
    {
        httplib::Headers headers;
        if (!bearer.isNull())
            headers.emplace("Authorization", "Bearer " + bearer.toStdString());
        return client()->Post(path.c_str(), headers, params);
    }

    QJsonObject credentials(const QString &token) const { return data(get("/api/authentications", token)); }

    static std::string rfc1123(const QDateTime &time)
    {
        return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toStdString();
    }

    struct Upload
    {
        std::string key;          // empty: the credentials' prefix + "picture.jpg"
        std::string encodedPath;  // empty: "/" + bucket + "/" + key
        QByteArray secret;        // empty: the credentials' secret
        std::string securityToken;
        std::string date;         // empty: the service's now
        std::string contentMd5;
        bool callback = true;
        std::string callbackJson; // empty: the credentials' callback
        bool chunked = false;     // sent with Transfer-Encoding: chunked, in 64 KiB chunks
        // Changes a header after signing.
        std::function<void(httplib::Headers &)> afterSigning;
    };

    // A signed storage put of bytes with the given credentials.
    httplib::Result put(const QJsonObject &credentials, const std::string &bytes) const
    {
        return put(credentials, bytes, Upload());
    }
    httplib::Result put(const QJsonObject &credentials, const std::string &bytes, Upload upload) const
    {
        const std::string bucket = credentials.value(QStringLiteral("bucket")).toString().toStdString();
        if (upload.key.empty())
            upload.key = credentials.value(QStringLiteral("path")).toObject().value(QStringLiteral("images")).toString().toStdString()
                         + "picture.jpg";
        if (upload.encodedPath.empty())
            upload.encodedPath = "/" + bucket + "/" + upload.key;
        if (upload.secret.isEmpty())
            upload.secret = credentials.value(QStringLiteral("access_secret")).toString().toLatin1();
        if (upload.securityToken.empty())
            upload.securityToken = credentials.value(QStringLiteral("security_token")).toString().toStdString();
        if (upload.date.empty())
            upload.date = rfc1123(serviceNow());

        httplib::Headers headers{{"Date", upload.date}, {"Content-Type", "image/jpeg"},
                                 {"x-oss-security-token", upload.securityToken}};
        if (!upload.contentMd5.empty())
            headers.emplace("Content-MD5", upload.contentMd5);
        if (upload.callback) {
            const QByteArray callback = upload.callbackJson.empty()
                                            ? QJsonDocument(credentials.value(QStringLiteral("callback")).toObject()).toJson(QJsonDocument::Compact)
                                            : QByteArray::fromStdString(upload.callbackJson);
            headers.emplace("x-oss-callback", callback.toBase64().toStdString());
        }
        KSStorageSignature::Headers list;
        for (const auto &[name, value] : headers)
            list.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
        const QByteArray authorization = KSStorageSignature::authorization(
            credentials.value(QStringLiteral("access_id")).toString().toLatin1(), upload.secret, "PUT", list,
            QByteArray::fromStdString("/" + bucket + "/" + upload.key));
        headers.emplace("Authorization", authorization.toStdString());
        if (upload.afterSigning)
            upload.afterSigning(headers);
        if (upload.chunked) {
            return client()->Put(upload.encodedPath, headers, [&bytes](size_t offset, httplib::DataSink &sink) {
                if (offset >= bytes.size()) {
                    sink.done();
                    return true;
                }
                return sink.write(bytes.data() + offset, std::min<size_t>(64 * 1024, bytes.size() - offset));
            }, "image/jpeg");
        }
        return client()->Put(upload.encodedPath.c_str(), headers, bytes, "image/jpeg");
    }

    // Upload and registration, as the application does them; returns the
    // resource id or an empty text.
    QString registeredUpload(const QString &token, const QByteArray &picture) const
    {
        const QJsonObject stored = json(put(credentials(token), picture.toStdString()));
        const QString resourceId = stored.value(QStringLiteral("data")).toObject().value(QStringLiteral("resource"))
                                       .toObject().value(QStringLiteral("resource_id")).toString();
        const QJsonObject registered = data(post("/api/resources", {{"api_token", token.toStdString()},
                                                                    {"resource_id", resourceId.toStdString()}},
                                                 token));
        return registered.value(QStringLiteral("resource_id")).toString();
    }

    // The creation of a task for the resource; returns the task id or an empty text.
    QString taskFor(const QString &token, const QString &resourceId, const char *type = "person") const
    {
        return data(post(std::string("/api/tasks/") + type, {{"file_id", resourceId.toStdString()}}, token))
            .value(QStringLiteral("task_id"))
            .toString();
    }

    // Upload, registration and task creation; returns the task id or an empty text.
    QString createTask(const QString &token, const QByteArray &picture, const char *type = "person") const
    {
        return taskFor(token, registeredUpload(token, picture), type);
    }

    // Polls until the task is done or failed, for a minute at most.
    QJsonObject waitForTask(const QString &token, const QString &taskId) const
    {
        QJsonObject reply;
        for (QDeadlineTimer deadline(60000); !deadline.hasExpired();) {
            reply = data(get("/api/tasks/" + taskId.toStdString(), token));
            const int status = reply.value(QStringLiteral("status")).toInt(0);
            if (status == 2 || status == -1)
                break;
            QThread::msleep(20);
        }
        return reply;
    }
};

// A studio-like photo: a dark subject on a light, slightly uneven backdrop,
// encoded as the application uploads it.
inline QByteArray studioPicture(int width = 320, int height = 240, const char *format = "TIFF")
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 60, 140));
    painter.drawEllipse(QRectF(width * 0.3, height * 0.15, width * 0.4, height * 0.6));
    painter.setBrush(QColor(160, 40, 40));
    painter.drawRect(QRectF(width * 0.2, height * 0.7, width * 0.6, height * 0.3));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}
