#include "KSUploadFlow.h"

#include "KSJobProgress.h"

#include "CommLog.h"
#include "KSAFNetworking.h"
#include "KSCurlSession.h"
#include "KSMainQueue.h"
#include "KSProtocolDebug.h"
#include "KSProtocolPaths.h"
#include "KSReconnect.h"
#include "KSReplyEnvelope.h"
#include "KSServiceRequest.h"
#include "KSStringExtension.h"

#include <QUrl>
#include <QUuid>

#include <atomic>
#include <memory>

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

// Lost connections of one upload, over all its steps: the bound holds for
// the upload as a whole.
using LostCount = std::shared_ptr<std::atomic<int>>;

// Whether a step that failed with error is sent again; counts it when so.
bool retryAfterLoss(const KSNetError &error, const LostCount &lost)
{
    if (!KSReconnect::shouldRetry(error, lost->load()))
        return false;
    ++*lost;
    return true;
}

// POST "/api/resources": the same registration may be sent again, since the
// service only marks the resource.
void registerResource(const QString &resourceId, const KSEraserNetwork::UploadCompletion &complete,
                      const KSReconnect::StillWanted &wanted, const LostCount &lost)
{
    const auto registrationFailed = [complete] {
        complete(clientError(KSEraserNetwork::RegistrationFailed, QStringLiteral("resource registration failed")),
                 std::nullopt);
    };
    const auto target = KSServiceRequest::target(QLatin1String(KSProtocolPaths::resources), registrationFailed);
    if (!target)
        return;
    // The form keeps its api_token; the service reads a body only for a
    // request whose head carries the token, so the bearer header goes too.
    const QVariantMap parameters{{QStringLiteral("api_token"), target->token}, {QStringLiteral("resource_id"), resourceId}};
    KSAFNetworking::POSTWithUrl(target->url, parameters, KSServiceRequest::bearer(target->token), [resourceId, complete, wanted, lost, registrationFailed](
                                                                 const std::optional<KSNetError> &error, const QVariant &reply) {
        if (error && retryAfterLoss(*error, lost)) {
            KSReconnect::later(QStringLiteral("registering the resource"), wanted,
                               [resourceId, complete, wanted, lost] { registerResource(resourceId, complete, wanted, lost); });
            return;
        }
        if (error) {
            CommLog::E(kFlowError + QStringLiteral("registering the resource failed: request error ") + error->localizedDescription);
            // A service never reached again is told as such, not as a refusal.
            if (error->lostConnection())
                complete(error, std::nullopt);
            else
                registrationFailed();
            return;
        }
        const std::optional<QVariantMap> dictionary = KSAFNetworking::responseToDictionary(reply);
        const std::optional<QVariantMap> data = dictionary ? objectAt(*dictionary, QStringLiteral("data")) : std::nullopt;
        if (!dictionary || !data) {
            CommLog::E(kFlowError + QStringLiteral("registering the resource failed: the reply is no dictionary or has no data object"));
            registrationFailed();
            return;
        }
        if (!KSServiceRequest::envelopeSucceeded(*dictionary, QStringLiteral("registering the resource failed"))) {
            registrationFailed();
            return;
        }
        complete(std::nullopt, data);
        KSProtocolDebug::print("responseDict ", reply);
    });
}

// The resource the storage's callback reply names, then its registration.
void registerUploaded(const OSSPutObjectResult &result, const KSEraserNetwork::UploadCompletion &complete,
                      const KSReconnect::StillWanted &wanted, const LostCount &lost)
{
    const std::optional<QVariantMap> reply = dictionaryWithJsonString(result.serverReturnJsonString);
    if (!reply) {
        CommLog::E(kFlowError + QStringLiteral("uploading the picture failed: the storage callback's reply is no JSON object"));
        complete(clientError(KSEraserNetwork::CallbackReplyFailed, QStringLiteral("callback reply is no JSON object")),
                 std::nullopt);
        return;
    }
    if (!KSServiceRequest::envelopeSucceeded(*reply, QStringLiteral("uploading the picture failed"))) {
        complete(clientError(KSEraserNetwork::CallbackReplyFailed, QStringLiteral("callback reply is no success")),
                 std::nullopt);
        return;
    }
    const std::optional<QVariantMap> data = objectAt(*reply, QStringLiteral("data"));
    const std::optional<QVariantMap> resource = data ? objectAt(*data, QStringLiteral("resource")) : std::nullopt;
    const std::optional<QString> resourceId = resource ? textAt(*resource, QStringLiteral("resource_id")) : std::nullopt;
    if (!resourceId) {
        CommLog::E(kFlowError + QStringLiteral("uploading the picture failed: the storage callback's reply has no resource_id"));
        complete(clientError(KSEraserNetwork::CallbackReplyFailed, QStringLiteral("callback reply names no resource")),
                 std::nullopt);
        return;
    }
    registerResource(*resourceId, complete, wanted, lost);
}

// GET "/api/authentications", sent again while its service is lost.
void requestCredentials(const KSEraserNetwork::AuthCompletion &completion, const KSEraserNetwork::FailureNote &note,
                        const KSReconnect::StillWanted &wanted, const LostCount &lost)
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
                                [completion, note, wanted, lost, failWith](const std::optional<KSNetError> &error,
                                                                           const QVariant &reply) {
                                    const KSEraserFailure answered{KSEraserFailure::Kind::serviceError};
                                    if (error && retryAfterLoss(*error, lost)) {
                                        KSReconnect::later(QStringLiteral("getting storage credentials"), wanted,
                                                           [completion, note, wanted, lost] {
                                                               requestCredentials(completion, note, wanted, lost);
                                                           });
                                        return;
                                    }
                                    if (error) {
                                        failWith(KSEraserFailure::forNetError(*error));
                                        return;
                                    }
                                    if (reply.typeId() != QMetaType::QVariantMap) {
                                        failWith(answered);
                                        return;
                                    }
                                    const QVariantMap dictionary = reply.toMap();
                                    if (!KSServiceRequest::envelopeSucceeded(dictionary, QStringLiteral("getting storage credentials failed"))) {
                                        failWith(answered);
                                        return;
                                    }
                                    const std::optional<QVariantMap> data = objectAt(dictionary, QStringLiteral("data"));
                                    if (!data) {
                                        CommLog::E(kFlowError + QStringLiteral("getting storage credentials failed: the reply has no data object"));
                                        failWith(answered);
                                        return;
                                    }
                                    if (completion)
                                        completion(true, data);
                                    KSProtocolDebug::print("responseDict ", *data);
                                });
}

// The signed put of the file with the payload's credentials and callback;
// onPut hears how it ended, on a network thread.
void putObject(const QString &path, const QVariantMap &payload, const KSEraserNetwork::ByteProgress &byteProgress,
               const OSSClient::PutCompletion &onPut)
{
    const QStringList missing = missingCredentialFields(payload);
    if (!missing.isEmpty()) {
        const QString text = QStringLiteral("the storage credentials lack the fields ") + missing.join(QStringLiteral(", "));
        CommLog::E(kFlowError + text);
        KSCurlSession::run([onPut, text] {
            onPut(clientError(KSEraserNetwork::CredentialsIncomplete, text), {});
        });
        return;
    }
    const std::shared_ptr<OSSClient> client = storageClientFor(payload);
    OSSPutObjectRequest request;
    request.setBucketName(payload.value(QStringLiteral("bucket")).toString());
    request.setObjectKey(KSUploadFlow::newObjectKey(objectAt(payload, QStringLiteral("path"))->value(QStringLiteral("images")).toString()));
    request.setUploadingFileURL(QUrl::fromLocalFile(path));
    request.setCallbackParam(*objectAt(payload, QStringLiteral("callback")));
    request.setUploadProgress(byteProgress ? OSSPutObjectRequest::UploadProgress(byteProgress) : nullptr);
    KSEraserNetwork::shared()->holdUpload(client, request);
    client->putObject(request, onPut);
}

// One upload, kept whole so that it can start again from its credentials.
struct Upload
{
    QString path;
    KSEraserNetwork::ProgressClosure progress;
    KSEraserNetwork::UploadCompletion completion;
    KSEraserNetwork::FailureNote note;
    KSReconnect::StillWanted wanted;
    LostCount lost = std::make_shared<std::atomic<int>>(0);

    void complete(const std::optional<KSNetError> &error, const std::optional<QVariantMap> &payload) const
    {
        if (completion)
            completion(error, payload);
    }
};
using UploadPtr = std::shared_ptr<const Upload>;

void putWithCredentials(const UploadPtr &upload, const QVariantMap &payload);

void startUpload(const UploadPtr &upload)
{
    requestCredentials([upload](bool success, const std::optional<QVariantMap> &payload) {
        if (!success || !payload) {
            if (upload->progress)
                upload->progress(-1.0);
            return;
        }
        if (upload->progress)
            upload->progress(KSJobProgress::kPrepared);
        putWithCredentials(upload, *payload);
    }, upload->note, upload->wanted, upload->lost);
}

void putWithCredentials(const UploadPtr &upload, const QVariantMap &payload)
{
    KSEraserNetwork::ByteProgress bytes;
    if (const KSEraserNetwork::ProgressClosure progress = upload->progress) {
        bytes = [progress](qint64, qint64 totalSent, qint64 totalExpected) {
            KSMainQueue::async([progress, totalSent, totalExpected] {
                progress(KSUploadFlow::uploadProgress(totalSent, totalExpected));
            });
        };
    }
    putObject(upload->path, payload, bytes, [upload](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
        // The storage may answer elsewhere once the service was taken over:
        // new credentials name where. An object the lost put did store
        // stays unregistered and goes with the day's old uploads.
        if (error && retryAfterLoss(*error, upload->lost)) {
            KSReconnect::later(QStringLiteral("uploading the picture"), upload->wanted, [upload] { startUpload(upload); });
            return;
        }
        if (error) {
            upload->complete(error, std::nullopt);
            return;
        }
        registerUploaded(result, [upload](const std::optional<KSNetError> &e, const std::optional<QVariantMap> &p) {
            upload->complete(e, p);
        }, upload->wanted, upload->lost);
    });
}

} // namespace

void KSUploadFlow::getAuthentications(KSEraserNetwork::AuthCompletion completion, KSEraserNetwork::FailureNote note)
{
    requestCredentials(completion, note, {}, std::make_shared<std::atomic<int>>(0));
}

void KSUploadFlow::uploadImage(const QString &path, KSEraserNetwork::ProgressClosure progress,
                               KSEraserNetwork::UploadCompletion completion, KSEraserNetwork::FailureNote note,
                               KSReconnect::StillWanted wanted)
{
    auto upload = std::make_shared<Upload>();
    upload->path = path;
    upload->progress = std::move(progress);
    upload->completion = std::move(completion);
    upload->note = std::move(note);
    upload->wanted = std::move(wanted);
    startUpload(upload);
}

void KSUploadFlow::putImage(const QString &path, const QVariantMap &payload, KSEraserNetwork::ByteProgress byteProgress,
                            KSEraserNetwork::UploadCompletion completion)
{
    const auto complete = [completion](const std::optional<KSNetError> &error, const std::optional<QVariantMap> &result) {
        if (completion)
            completion(error, result);
    };
    putObject(path, payload, byteProgress, [complete](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
        if (error)
            complete(error, std::nullopt);
        else
            registerUploaded(result, complete, {}, std::make_shared<std::atomic<int>>(0));
    });
}

void KSUploadFlow::postResources(const QString &resourceId, KSEraserNetwork::RegistrationCompletion completion)
{
    registerResource(resourceId, [completion](const std::optional<KSNetError> &error, const std::optional<QVariantMap> &payload) {
        if (completion)
            completion(!error, error ? std::nullopt : payload);
    }, {}, std::make_shared<std::atomic<int>>(0));
}

double KSUploadFlow::uploadProgress(qint64 totalBytesSent, qint64 totalBytesExpected)
{
    if (totalBytesExpected <= 0)
        return KSJobProgress::kPrepared;
    return KSJobProgress::upload(double(totalBytesSent) / double(totalBytesExpected));
}

QString KSUploadFlow::newObjectKey(const QString &prefix)
{
    return prefix + QUuid::createUuid().toString(QUuid::Id128).toLower() + QStringLiteral(".jpg");
}
