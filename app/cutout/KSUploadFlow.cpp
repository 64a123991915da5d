#include "KSUploadFlow.h"

#include "CommLog.h"
#include "KSAFNetworking.h"
#include "KSCurlSession.h"
#include "KSMainQueue.h"
#include "KSProtocolDebug.h"
#include "KSProtocolPaths.h"
#include "KSReplyEnvelope.h"
#include "KSServiceRequest.h"
#include "KSStringExtension.h"

#include <QUrl>
#include <QUuid>

using KSReplyEnvelope::objectAt;
using KSReplyEnvelope::textAt;
using KSServiceRequest::kFlowError;

namespace {

KSNetError clientError(int code, const QString &text)
{
    return {KSNetError::urlDomain(), code, text};
}

std::function<void()> failureOf(const std::function<void(bool, const std::optional<QVariantMap> &)> &completion)
{
    return [completion] {
        if (completion)
            completion(false, std::nullopt);
    };
}

// The fields of the credentials a put needs; the names of those missing.
QStringList missingCredentialFields(const QVariantMap &payload)
{
    QStringList missing;
    for (const char *field : {"endpoint", "access_id", "access_secret", "security_token", "bucket"})
        if (!textAt(payload, QLatin1String(field)))
            missing.append(QLatin1String(field));
    const std::optional<QVariantMap> locations = objectAt(payload, QStringLiteral("path"));
    if (!(locations ? textAt(*locations, QStringLiteral("images")) : std::nullopt))
        missing.append(QStringLiteral("path.images"));
    if (!objectAt(payload, QStringLiteral("callback")))
        missing.append(QStringLiteral("callback"));
    return missing;
}

std::shared_ptr<OSSClient> storageClientFor(const QVariantMap &payload)
{
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
    return std::make_shared<OSSClient>(clientEndpoint, credentials, configuration);
}

// The resource the storage's callback reply names, then its registration.
void registerUploaded(const OSSPutObjectResult &result, const KSEraserNetwork::UploadCompletion &complete)
{
    const std::optional<QVariantMap> reply = dictionaryWithJsonString(result.serverReturnJsonString);
    if (!reply) {
        CommLog::E(kFlowError + QStringLiteral("上传图片失败 存储回调的回复不是JSON对象"));
        complete(clientError(KSEraserNetwork::CallbackReplyFailed, QStringLiteral("callback reply is no JSON object")),
                 std::nullopt);
        return;
    }
    if (!KSServiceRequest::envelopeSucceeded(*reply, QStringLiteral("上传图片失败"))) {
        complete(clientError(KSEraserNetwork::CallbackReplyFailed, QStringLiteral("callback reply is no success")),
                 std::nullopt);
        return;
    }
    const std::optional<QVariantMap> data = objectAt(*reply, QStringLiteral("data"));
    const std::optional<QVariantMap> resource = data ? objectAt(*data, QStringLiteral("resource")) : std::nullopt;
    const std::optional<QString> resourceId = resource ? textAt(*resource, QStringLiteral("resource_id")) : std::nullopt;
    if (!resourceId) {
        CommLog::E(kFlowError + QStringLiteral("上传图片失败 存储回调的回复没有resource_id"));
        complete(clientError(KSEraserNetwork::CallbackReplyFailed, QStringLiteral("callback reply names no resource")),
                 std::nullopt);
        return;
    }
    KSUploadFlow::postResources(*resourceId, [complete](bool success, const std::optional<QVariantMap> &payload) {
        if (success)
            complete(std::nullopt, payload);
        else
            complete(clientError(KSEraserNetwork::RegistrationFailed, QStringLiteral("resource registration failed")),
                     std::nullopt);
    });
}

} // namespace

void KSUploadFlow::getAuthentications(KSEraserNetwork::AuthCompletion completion, KSEraserNetwork::FailureNote note)
{
    const std::function<void()> fail = failureOf(completion);
    const auto failWith = [fail, note](const KSEraserFailure &failure) {
        if (note)
            note(failure);
        fail();
    };
    const auto target = KSServiceRequest::target(QLatin1String(KSProtocolPaths::authentications),
                                                 [failWith, failure = KSServiceRequest::missingTarget()] {
                                                     failWith(failure);
                                                 });
    if (!target)
        return;
    KSAFNetworking::GETtWithUrl(target->url, {}, KSServiceRequest::bearer(target->token),
                                [completion, failWith](const std::optional<KSNetError> &error, const QVariant &reply) {
                                    const KSEraserFailure answered{KSEraserFailure::Kind::serviceError};
                                    if (error) {
                                        failWith(KSEraserFailure::forNetError(*error));
                                        return;
                                    }
                                    if (reply.typeId() != QMetaType::QVariantMap) {
                                        failWith(answered);
                                        return;
                                    }
                                    const QVariantMap dictionary = reply.toMap();
                                    if (!KSServiceRequest::envelopeSucceeded(dictionary, QStringLiteral("获取临时凭证失败"))) {
                                        failWith(answered);
                                        return;
                                    }
                                    const std::optional<QVariantMap> data = objectAt(dictionary, QStringLiteral("data"));
                                    if (!data) {
                                        CommLog::E(kFlowError + QStringLiteral("获取临时凭证失败 回复没有data对象"));
                                        failWith(answered);
                                        return;
                                    }
                                    if (completion)
                                        completion(true, data);
                                    KSProtocolDebug::print("responseDict ", *data);
                                });
}

void KSUploadFlow::uploadImage(const QString &path, KSEraserNetwork::ProgressClosure progress,
                               KSEraserNetwork::UploadCompletion completion, KSEraserNetwork::FailureNote note)
{
    getAuthentications([path, progress, completion](bool success, const std::optional<QVariantMap> &payload) {
        if (!success || !payload) {
            if (progress)
                progress(-1.0);
            return;
        }
        if (progress)
            progress(0.05);
        KSEraserNetwork::ByteProgress bytes;
        if (progress) {
            bytes = [progress](qint64, qint64 totalSent, qint64 totalExpected) {
                KSMainQueue::async([progress, totalSent, totalExpected] {
                    progress(uploadProgress(totalSent, totalExpected));
                });
            };
        }
        putImage(path, *payload, bytes, completion);
    }, std::move(note));
}

void KSUploadFlow::putImage(const QString &path, const QVariantMap &payload, KSEraserNetwork::ByteProgress byteProgress,
                            KSEraserNetwork::UploadCompletion completion)
{
    const auto complete = [completion](const std::optional<KSNetError> &error, const std::optional<QVariantMap> &result) {
        if (completion)
            completion(error, result);
    };

    const QStringList missing = missingCredentialFields(payload);
    if (!missing.isEmpty()) {
        const QString text = QStringLiteral("临时凭证缺少字段 ") + missing.join(QStringLiteral(", "));
        CommLog::E(kFlowError + text);
        KSCurlSession::run([complete, text] {
            complete(clientError(KSEraserNetwork::CredentialsIncomplete, text), std::nullopt);
        });
        return;
    }

    const std::shared_ptr<OSSClient> client = storageClientFor(payload);
    OSSPutObjectRequest request;
    request.setBucketName(payload.value(QStringLiteral("bucket")).toString());
    request.setObjectKey(newObjectKey(objectAt(payload, QStringLiteral("path"))->value(QStringLiteral("images")).toString()));
    request.setUploadingFileURL(QUrl::fromLocalFile(path));
    request.setCallbackParam(*objectAt(payload, QStringLiteral("callback")));
    request.setUploadProgress(byteProgress ? OSSPutObjectRequest::UploadProgress(byteProgress) : nullptr);
    KSEraserNetwork::shared()->holdUpload(client, request);

    client->putObject(request, [complete](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
        if (error)
            complete(error, std::nullopt);
        else
            registerUploaded(result, complete);
    });
}

void KSUploadFlow::postResources(const QString &resourceId, KSEraserNetwork::RegistrationCompletion completion)
{
    const std::function<void()> fail = failureOf(completion);
    const auto target = KSServiceRequest::target(QLatin1String(KSProtocolPaths::resources), fail);
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
        if (!KSServiceRequest::envelopeSucceeded(*dictionary, QStringLiteral("登记资源失败"))) {
            fail();
            return;
        }
        if (completion)
            completion(true, data);
        KSProtocolDebug::print("responseDict ", reply);
    });
}

double KSUploadFlow::uploadProgress(qint64 totalBytesSent, qint64 totalBytesExpected)
{
    if (totalBytesExpected <= 0)
        return 0.05;
    const float share = float(totalBytesSent) / float(totalBytesExpected);
    return 0.05 + double(share * 0.65f);
}

QString KSUploadFlow::newObjectKey(const QString &prefix)
{
    return prefix + QUuid::createUuid().toString(QUuid::Id128).toLower() + QStringLiteral(".jpg");
}
