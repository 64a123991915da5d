#include "KSEraserNetwork.h"

#include "CommLog.h"
#include "CommPassport.h"
#include "KSAFNetworking.h"
#include "KSCurlSession.h"
#include "KSMainQueue.h"
#include "KSStringExtension.h"
#include "KSTempFile.h"
#include "KSUserDefaultKit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QUrl>
#include <QUuid>

#include <cmath>
#include <memory>

Q_LOGGING_CATEGORY(lcProtocol, "cutora.protocol")

namespace {

QString defaultServiceURL;
QMutex defaultServiceURLMutex;

const QString kFlowError = QStringLiteral("抠图流程出错：");

KSNetError clientError(int code, const QString &text)
{
    return {KSNetError::urlDomain(), code, text};
}

// The service address joined with a path, or none (with an error line) when
// no usable address is set: https, or http to this machine only, since the
// requests carry the account's token.
std::optional<QString> serviceEndpoint(const QString &path)
{
    QString base = KSEraserNetwork::serviceURL().trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    const QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https")
                        || (scheme == QLatin1String("http") && KSCurlSession::isLoopbackHost(url.host()));
    if (base.isEmpty() || !KSCurlSession::isWebUrl(base) || !secure) {
        CommLog::E(kFlowError + QStringLiteral("服务地址无效 \"%1\"").arg(base));
        return std::nullopt;
    }
    return base + path;
}

std::optional<QString> accountToken()
{
    const QString token = CommPassport::apiToken();
    if (token.isEmpty()) {
        CommLog::E(kFlowError + QStringLiteral("没有登录，缺少账号令牌"));
        return std::nullopt;
    }
    return token;
}

QVariantMap bearer(const QString &token)
{
    return {{QStringLiteral("Authorization"), QStringLiteral("Bearer ") + token}};
}

struct Target
{
    QString token;
    QString url;
};

// The token and the address of a request to the path. When either is
// missing, the failure is run instead, on another thread as a reply would be.
std::optional<Target> requestTarget(const QString &path, std::function<void()> failure)
{
    const std::optional<QString> token = accountToken();
    const std::optional<QString> url = serviceEndpoint(path);
    if (!token || !url) {
        KSCurlSession::run(std::move(failure));
        return std::nullopt;
    }
    return Target{*token, *url};
}

std::function<void()> failureOf(const KSEraserNetwork::AuthCompletion &completion)
{
    return [completion] {
        if (completion)
            completion(false, std::nullopt);
    };
}

// The envelope's verdict. A status that is missing or not text is a fault of
// the service that the log must show; any other text than 1 is the
// service's own "no".
bool envelopeSucceeded(const QVariantMap &reply, const QString &step)
{
    const QVariant status = reply.value(QStringLiteral("status"));
    if (status.typeId() != QMetaType::QString) {
        CommLog::E(kFlowError + step + QStringLiteral(" 回复的status缺失或不是文本"));
        return false;
    }
    return KSEraserNetwork::isSuccessStatus(status);
}

std::optional<QVariantMap> objectAt(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value.toMap();
}

std::optional<QString> textAt(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

// A JSON integer as the poll's data.status must be: a number without a
// fraction. Text, booleans and fractions are of another type.
std::optional<qint64> integerAt(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == double(qint64(number)))
            return qint64(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

void printDebug(const char *prefix, const QVariant &reply)
{
    qCDebug(lcProtocol).noquote() << prefix << KSEraserNetwork::describe(reply);
}

QVariant masked(const QVariant &value)
{
    static const QStringList secrets{QStringLiteral("access_secret"), QStringLiteral("security_token"),
                                     QStringLiteral("api_token")};
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = secrets.contains(it.key()) ? QVariant(QStringLiteral("***")) : masked(it.value());
        return map;
    }
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list = value.toList();
        for (QVariant &item : list)
            item = masked(item);
        return list;
    }
    return value;
}

QMutex lastEngineMutex;
QString lastEngine;

void setLastMaskEngine(const QString &engine)
{
    QMutexLocker lock(&lastEngineMutex);
    lastEngine = engine;
}

void failTask(const KSEraserNetwork::TaskReport &report)
{
    if (report)
        report(false, std::nullopt, -1.0);
}

void downloadMask(const QUrl &url, const KSEraserNetwork::TaskReport &report)
{
    const QString maskPath = KSTempFile::reserve(QStringLiteral(".png"));
    if (maskPath.isEmpty()) {
        CommLog::E(kFlowError + QStringLiteral("mask图片下载失败 无法在临时文件夹中建立文件"));
        failTask(report);
        return;
    }
    KSAFNetworking::downloadFile(url.toString(QUrl::FullyEncoded), maskPath,
                                 [maskPath, report](float fraction, bool finished, const std::optional<KSNetError> &error) {
                                     if (finished) {
                                         if (report)
                                             report(true, maskPath, 1.0);
                                     } else if (error) {
                                         CommLog::E(kFlowError + QStringLiteral("mask图片下载失败 ")
                                                    + error->localizedDescription);
                                         QFile::remove(maskPath);
                                         failTask(report);
                                     } else {
                                         const double progress = KSEraserNetwork::downloadProgress(fraction);
                                         qCDebug(lcProtocol) << "progress " << progress;
                                         if (report)
                                             report(false, std::nullopt, progress);
                                     }
                                 });
}

void handleTaskResult(const QString &taskId, const QElapsedTimer &sinceSent,
                      const std::optional<KSNetError> &error, const QVariant &reply,
                      const KSEraserNetwork::TaskReport &report)
{
    const QString step = QStringLiteral("遍历任务结果失败");
    if (error) {
        CommLog::E(kFlowError + step + QStringLiteral(" 请求出错 ") + error->localizedDescription);
        failTask(report);
        return;
    }
    if (reply.typeId() != QMetaType::QVariantMap) {
        CommLog::E(kFlowError + step + QStringLiteral(" 回复不是字典"));
        failTask(report);
        return;
    }
    const QVariantMap dictionary = reply.toMap();
    const std::optional<QVariantMap> data = objectAt(dictionary, QStringLiteral("data"));
    const std::optional<qint64> status = data ? integerAt(*data, QStringLiteral("status")) : std::nullopt;
    printDebug("responseDic ", reply);
    if (!data || !status) {
        CommLog::E(kFlowError + step + QStringLiteral(" data或data.status缺失或类型不对"));
        failTask(report);
        return;
    }
    if (*status == -1) {
        CommLog::E(QStringLiteral("抠图流程出错：遍历任务结果失败 status为-1"));
        failTask(report);
        return;
    }
    if (*status == 2) {
        const std::optional<QString> text = textAt(*data, QStringLiteral("mask_file_url"));
        const QUrl url(text.value_or(QString()), QUrl::StrictMode);
        if (!text || text->isEmpty() || !url.isValid() || url.isRelative()) {
            CommLog::E(QStringLiteral("抠图流程出错：遍历任务结果失败 没有获取到mask图片的URL"));
            failTask(report);
            return;
        }
        // Only web addresses: a file: or other URL from the service must not
        // make the client read or fetch anything else.
        if (!KSCurlSession::isWebUrl(*text)) {
            CommLog::E(kFlowError + QStringLiteral("mask图片的URL不是http或https，拒绝下载 ") + *text);
            failTask(report);
            return;
        }
        setLastMaskEngine(textAt(*data, QStringLiteral("engine")).value_or(QString()));
        CommLog::I(QStringLiteral("获取结构化图片的URL成功 ") + url.toString());
        downloadMask(url, report);
        return;
    }
    // Still pending: the next poll goes out at least 1 s after this one was sent.
    const double elapsed = double(sinceSent.elapsed()) / 1000.0;
    if (elapsed < 1.0)
        KSMainQueue::after(1.0 - elapsed, [taskId, report] { KSEraserNetwork::getTaskResult(taskId, report); });
    else
        KSEraserNetwork::getTaskResult(taskId, report);
}

} // namespace

QString KSEraserNetwork::lastMaskEngine()
{
    QMutexLocker lock(&lastEngineMutex);
    return lastEngine;
}

KSEraserNetwork *KSEraserNetwork::shared()
{
    static KSEraserNetwork *instance = new KSEraserNetwork;
    return instance;
}

void KSEraserNetwork::getAuthentications(AuthCompletion completion)
{
    const std::function<void()> fail = failureOf(completion);
    const std::optional<Target> target = requestTarget(QStringLiteral("/api/authentications"), fail);
    if (!target)
        return;
    KSAFNetworking::GETtWithUrl(target->url, {}, bearer(target->token),
                                [completion, fail](const std::optional<KSNetError> &error, const QVariant &reply) {
                                    if (error || reply.typeId() != QMetaType::QVariantMap) {
                                        fail();
                                        return;
                                    }
                                    const QVariantMap dictionary = reply.toMap();
                                    if (!envelopeSucceeded(dictionary, QStringLiteral("获取临时凭证失败"))) {
                                        fail();
                                        return;
                                    }
                                    const std::optional<QVariantMap> data = objectAt(dictionary, QStringLiteral("data"));
                                    if (!data) {
                                        CommLog::E(kFlowError + QStringLiteral("获取临时凭证失败 回复没有data对象"));
                                        fail();
                                        return;
                                    }
                                    if (completion)
                                        completion(true, data);
                                    printDebug("responseDict ", *data);
                                });
}

void KSEraserNetwork::uploadImage(const QString &path, ProgressClosure progress, UploadCompletion completion)
{
    getAuthentications([path, progress, completion](bool success, const std::optional<QVariantMap> &payload) {
        if (!success || !payload) {
            if (progress)
                progress(-1.0);
            return;
        }
        if (progress)
            progress(0.05);
        ByteProgress bytes;
        if (progress) {
            bytes = [progress](qint64, qint64 totalSent, qint64 totalExpected) {
                KSMainQueue::async([progress, totalSent, totalExpected] {
                    progress(KSEraserNetwork::uploadProgress(totalSent, totalExpected));
                });
            };
        }
        putImage(path, *payload, bytes, completion);
    });
}

void KSEraserNetwork::putImage(const QString &path, const QVariantMap &payload, ByteProgress byteProgress,
                               UploadCompletion completion)
{
    const auto complete = [completion](const std::optional<KSNetError> &error, const std::optional<QVariantMap> &result) {
        if (completion)
            completion(error, result);
    };

    const QStringList textFields{QStringLiteral("endpoint"), QStringLiteral("access_id"), QStringLiteral("access_secret"),
                                 QStringLiteral("security_token"), QStringLiteral("bucket")};
    QStringList missing;
    for (const QString &field : textFields)
        if (!textAt(payload, field))
            missing.append(field);
    const std::optional<QVariantMap> locations = objectAt(payload, QStringLiteral("path"));
    const std::optional<QString> prefix = locations ? textAt(*locations, QStringLiteral("images")) : std::nullopt;
    if (!prefix)
        missing.append(QStringLiteral("path.images"));
    const std::optional<QVariantMap> callback = objectAt(payload, QStringLiteral("callback"));
    if (!callback)
        missing.append(QStringLiteral("callback"));
    if (!missing.isEmpty()) {
        const QString text = QStringLiteral("临时凭证缺少字段 ") + missing.join(QStringLiteral(", "));
        CommLog::E(kFlowError + text);
        KSCurlSession::run([complete, text] { complete(clientError(CredentialsIncomplete, text), std::nullopt); });
        return;
    }

    const QString endpoint = payload.value(QStringLiteral("endpoint")).toString();
    const OSSStsTokenCredentialProvider credentials(payload.value(QStringLiteral("access_id")).toString(),
                                                    payload.value(QStringLiteral("access_secret")).toString(),
                                                    payload.value(QStringLiteral("security_token")).toString());
    OSSClientConfiguration configuration;
    configuration.setMaxRetryCount(2);
    configuration.setTimeoutIntervalForRequest(20.0);
    configuration.setTimeoutIntervalForResource(30.0);
    // An endpoint that names its scheme keeps it; a bare host is reached over http.
    const QString clientEndpoint = endpoint.contains(QLatin1String("://")) ? endpoint : QStringLiteral("http://") + endpoint;
    auto client = std::make_shared<OSSClient>(clientEndpoint, credentials, configuration);

    OSSPutObjectRequest request;
    {
        KSEraserNetwork *instance = shared();
        QMutexLocker lock(&instance->m_mutex);
        instance->ossClient = client;
        instance->ossPut.setBucketName(payload.value(QStringLiteral("bucket")).toString());
        instance->ossPut.setObjectKey(newObjectKey(*prefix));
        instance->ossPut.setUploadingFileURL(QUrl::fromLocalFile(path));
        instance->ossPut.setCallbackParam(*callback);
        instance->ossPut.setUploadProgress(byteProgress ? OSSPutObjectRequest::UploadProgress(byteProgress) : nullptr);
        request = instance->ossPut;
    }

    client->putObject(request, [complete](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
        if (error) {
            complete(error, std::nullopt);
            return;
        }
        const std::optional<QVariantMap> reply = dictionaryWithJsonString(result.serverReturnJsonString);
        if (!reply) {
            CommLog::E(kFlowError + QStringLiteral("上传图片失败 存储回调的回复不是JSON对象"));
            complete(clientError(CallbackReplyFailed, QStringLiteral("callback reply is no JSON object")), std::nullopt);
            return;
        }
        if (!envelopeSucceeded(*reply, QStringLiteral("上传图片失败"))) {
            complete(clientError(CallbackReplyFailed, QStringLiteral("callback reply is no success")), std::nullopt);
            return;
        }
        const std::optional<QVariantMap> data = objectAt(*reply, QStringLiteral("data"));
        const std::optional<QVariantMap> resource = data ? objectAt(*data, QStringLiteral("resource")) : std::nullopt;
        const std::optional<QString> resourceId = resource ? textAt(*resource, QStringLiteral("resource_id")) : std::nullopt;
        if (!resourceId) {
            CommLog::E(kFlowError + QStringLiteral("上传图片失败 存储回调的回复没有resource_id"));
            complete(clientError(CallbackReplyFailed, QStringLiteral("callback reply names no resource")), std::nullopt);
            return;
        }
        postResources(*resourceId, [complete](bool success, const std::optional<QVariantMap> &payload) {
            if (success)
                complete(std::nullopt, payload);
            else
                complete(clientError(RegistrationFailed, QStringLiteral("resource registration failed")), std::nullopt);
        });
    });
}

void KSEraserNetwork::postResources(const QString &resourceId, RegistrationCompletion completion)
{
    const std::function<void()> fail = failureOf(completion);
    const std::optional<Target> target = requestTarget(QStringLiteral("/api/resources"), fail);
    if (!target)
        return;
    const QVariantMap parameters{{QStringLiteral("api_token"), target->token}, {QStringLiteral("resource_id"), resourceId}};
    KSAFNetworking::POSTWithUrl(target->url, parameters, {}, [completion, fail](const std::optional<KSNetError> &error, const QVariant &reply) {
        if (error) {
            fail();
            return;
        }
        const std::optional<QVariantMap> dictionary = KSAFNetworking::responseToDictionary(reply);
        const std::optional<QVariantMap> data = dictionary ? objectAt(*dictionary, QStringLiteral("data")) : std::nullopt;
        if (!dictionary || !data) {
            CommLog::E(kFlowError + QStringLiteral("登记资源失败 回复不是字典或没有data对象"));
            fail();
            return;
        }
        if (!envelopeSucceeded(*dictionary, QStringLiteral("登记资源失败"))) {
            fail();
            return;
        }
        if (completion)
            completion(true, data);
        printDebug("responseDict ", reply);
    });
}

void KSEraserNetwork::createTask(const QString &fileId, KSEraserType type, TaskReport report)
{
    const std::optional<Target> target =
        requestTarget(QStringLiteral("/api/tasks/") + KSEraserTypeRawValue(type), [report] { failTask(report); });
    if (!target)
        return;
    KSAFNetworking::POSTWithUrl(target->url, {{QStringLiteral("file_id"), fileId}}, bearer(target->token),
                                [report](const std::optional<KSNetError> &error, const QVariant &reply) {
                                    const std::optional<QVariantMap> dictionary =
                                        error ? std::nullopt : KSAFNetworking::responseToDictionary(reply);
                                    const std::optional<QVariantMap> data =
                                        dictionary ? objectAt(*dictionary, QStringLiteral("data")) : std::nullopt;
                                    const std::optional<QString> taskId =
                                        data ? textAt(*data, QStringLiteral("task_id")) : std::nullopt;
                                    if (!taskId || !envelopeSucceeded(*dictionary, QStringLiteral("创建任务失败"))) {
                                        failTask(report);
                                        return;
                                    }
                                    printDebug("responseDict ", reply);
                                    getTaskResult(*taskId, report);
                                });
}

void KSEraserNetwork::getTaskResult(const QString &taskId, TaskReport report)
{
    // The id goes into the path encoded, so it cannot step to another route.
    const std::optional<Target> target = requestTarget(
        QStringLiteral("/api/tasks/") + QString::fromLatin1(QUrl::toPercentEncoding(taskId)), [report] { failTask(report); });
    if (!target)
        return;
    auto sinceSent = std::make_shared<QElapsedTimer>();
    sinceSent->start();
    KSAFNetworking::GETtWithUrl(target->url, {}, bearer(target->token),
                                [taskId, sinceSent, report](const std::optional<KSNetError> &error, const QVariant &reply) {
                                    handleTaskResult(taskId, *sinceSent, error, reply, report);
                                });
}

QString KSEraserNetwork::serviceURL()
{
    const QString configured = configuredServiceURL();
    if (!configured.isEmpty())
        return configured;
    QMutexLocker lock(&defaultServiceURLMutex);
    return defaultServiceURL;
}

QString KSEraserNetwork::configuredServiceURL()
{
    const QString environment = qEnvironmentVariable(kServiceURLEnvironment).trimmed();
    if (!environment.isEmpty())
        return environment;
    return KSUserDefaultKit::getFromUserDefaults_NSString(kServiceURLKey, QString()).trimmed();
}

void KSEraserNetwork::setDefaultServiceURL(const QString &url)
{
    QMutexLocker lock(&defaultServiceURLMutex);
    defaultServiceURL = url.trimmed();
}

bool KSEraserNetwork::isSuccessStatus(const QVariant &status)
{
    if (status.typeId() != QMetaType::QString)
        return false;
    const QString text = status.toString();
    qsizetype i = 0;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    if (i == text.size())
        return false;
    const bool negative = text.startsWith(u'-');
    for (qsizetype j = i; j < text.size(); ++j)
        if (text.at(j) < u'0' || text.at(j) > u'9')
            return false;
    // Leading zeros do not change the value; a long number is no 1.
    const QString digits = text.mid(i);
    qsizetype first = 0;
    while (first < digits.size() - 1 && digits.at(first) == u'0')
        ++first;
    return !negative && digits.mid(first) == QLatin1String("1");
}

double KSEraserNetwork::uploadProgress(qint64 totalBytesSent, qint64 totalBytesExpected)
{
    if (totalBytesExpected <= 0)
        return 0.05;
    const float share = float(totalBytesSent) / float(totalBytesExpected);
    return 0.05 + double(share * 0.65f);
}

double KSEraserNetwork::downloadProgress(float fraction)
{
    return 0.8 + 0.2 * double(fraction);
}

QString KSEraserNetwork::describe(const QVariant &reply)
{
    const QVariant safe = masked(reply);
    if (safe.typeId() == QMetaType::QVariantMap || safe.typeId() == QMetaType::QVariantList)
        return QString::fromUtf8(QJsonDocument::fromVariant(safe).toJson(QJsonDocument::Compact));
    return safe.toString();
}

QString KSEraserNetwork::newObjectKey(const QString &prefix)
{
    return prefix + QUuid::createUuid().toString(QUuid::Id128).toLower() + QStringLiteral(".jpg");
}
