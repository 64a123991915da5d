#pragma once

#include "KSEraserFailure.h"
#include "KSEraserType.h"
#include "KSNetError.h"
#include "KSReconnect.h"
#include "OSSClient.h"
#include "OSSPutObjectRequest.h"

#include <QMutex>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

// Client of the cut-out web service, under the protocol's names: temporary
// storage credentials, upload of the prepared picture with the service's
// callback, resource registration, task creation, polling at least 1 s
// apart (KSTaskFlow::setPollInterval changes that), and the mask download
// into the temporary folder. All operations
// are asynchronous and report once through the closure given (progress
// reports aside). The steps live in KSUploadFlow and KSTaskFlow; the address
// in KSServiceAddress; the account token is CommPassport::apiToken(), read
// anew for every request.
class KSEraserNetwork
{
public:
    // Codes of KSNetError::urlDomain() errors made by this client.
    enum ErrorCode {
        CallbackReplyFailed = 100,   // the storage's callback reply is no success
        RegistrationFailed = 101,    // the resource could not be registered
        CredentialsIncomplete = 102, // a field of the credentials is missing
    };

    using AuthCompletion = std::function<void(bool success, const std::optional<QVariantMap> &payload)>;
    using ProgressClosure = std::function<void(double progress)>;
    using UploadCompletion = std::function<void(const std::optional<KSNetError> &error,
                                                const std::optional<QVariantMap> &payload)>;
    using ByteProgress = std::function<void(qint64 bytesSent, qint64 totalBytesSent, qint64 totalBytesExpectedToSend)>;
    using RegistrationCompletion = std::function<void(bool success, const std::optional<QVariantMap> &payload)>;
    // (false, none, p) progress, (false, none, -1.0) failure, (true, mask path, 1.0) result.
    using TaskReport = std::function<void(bool success, const std::optional<QString> &maskPath, double progress)>;
    // Why a step failed, told just before its failure report, on that thread.
    using FailureNote = std::function<void(const KSEraserFailure &failure)>;
    // The service's id of a task just created, before its first poll.
    using TaskCreated = std::function<void(const QString &taskId)>;

    // The one instance; it holds the storage client of the last upload.
    static KSEraserNetwork *shared();

    // GET "/api/authentications": (true, credentials payload) or (false, none).
    static void getAuthentications(AuthCompletion completion);

    // Authenticates and uploads the file: progress 0.05, then 0.05..0.70 on
    // the main queue while the bytes go out. The completion gets (none,
    // registration payload) or (error, none). When authentication fails only
    // the progress closure is called, with -1.0, after `note` heard why.
    // A step that lost its service is sent again (KSReconnect) while
    // `wanted` says so; a put starts again from the credentials, since the
    // service that took over may store elsewhere.
    static void uploadImage(const QString &path, ProgressClosure progress, UploadCompletion completion,
                            FailureNote note = {}, KSReconnect::StillWanted wanted = {});

    // Puts the file into storage with the payload's credentials and callback
    // (key: path.images + 32 lower-case hex digits + ".jpg"), then registers
    // the resource the callback reply names.
    static void putImage(const QString &path, const QVariantMap &payload, ByteProgress byteProgress,
                         UploadCompletion completion);

    // POST "/api/resources" with api_token and resource_id.
    static void postResources(const QString &resourceId, RegistrationCompletion completion);

    // POST "/api/tasks/<type>" with file_id, then polls and downloads: task
    // reports end with the result or one failure, `note` hearing why first.
    // While the task waits or runs, a poll's data.progress (0..1, when the
    // service sends it) is reported as 0.70 + 0.10 x progress. A step that
    // lost its service is sent again (KSReconnect); the creation only while
    // `wanted` says so, and polls until the task is cancelled.
    static void createTask(const QString &fileId, KSEraserType type, TaskReport report, FailureNote note = {},
                           TaskCreated created = {}, KSReconnect::StillWanted wanted = {});
    static void getTaskResult(const QString &taskId, TaskReport report, FailureNote note = {});
    // Stops polling the task, drops any mask still on its way, and asks the
    // service to drop the task (POST "/api/tasks/<id>/cancel"; its answer is
    // only logged). Nothing more is reported for it.
    static void cancelTask(const QString &taskId);

    // Keeps the storage client and the request of the upload under way.
    void holdUpload(std::shared_ptr<OSSClient> client, const OSSPutObjectRequest &request);

    std::shared_ptr<OSSClient> ossClient;
    OSSPutObjectRequest ossPut;

private:
    KSEraserNetwork() = default;
    QMutex m_mutex; // guards the two fields above between uploads
};
