#pragma once

#include "KSEraserType.h"
#include "KSNetError.h"
#include "OSSClient.h"
#include "OSSPutObjectRequest.h"

#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

// Client of the cut-out web service: temporary storage credentials, upload
// of the prepared picture with the service's callback, resource registration,
// task creation, polling at least 1 s apart, and the mask download into the
// temporary folder. All operations are asynchronous and report once through
// the closure given (progress reports aside).
//
// The service address: CUTORA_SERVICE_URL when set, else the setting
// "kServiceURL", else the default set at run time (the built-in service).
// It must be https, or http to this machine. The account token is
// CommPassport::apiToken(), read anew for every request.
//
// The replies it prints for debugging (secrets and tokens masked) go to the
// logging category "cutora.protocol".
class KSEraserNetwork
{
public:
    static inline const QString kServiceURLKey = QStringLiteral("kServiceURL");
    static inline const char *const kServiceURLEnvironment = "CUTORA_SERVICE_URL";

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

    // The one instance; it holds the storage client of the last upload.
    static KSEraserNetwork *shared();

    // GET "/api/authentications": (true, credentials payload) or (false, none).
    static void getAuthentications(AuthCompletion completion);

    // Authenticates and uploads the file: progress 0.05, then 0.05..0.70 on
    // the main queue while the bytes go out. The completion gets (none,
    // registration payload) or (error, none). When authentication fails only
    // the progress closure is called, with -1.0.
    static void uploadImage(const QString &path, ProgressClosure progress, UploadCompletion completion);

    // Puts the file into storage with the payload's credentials and callback
    // (key: path.images + 32 lower-case hex digits + ".jpg"), then registers
    // the resource the callback reply names.
    static void putImage(const QString &path, const QVariantMap &payload, ByteProgress byteProgress,
                         UploadCompletion completion);

    // POST "/api/resources" with api_token and resource_id.
    static void postResources(const QString &resourceId, RegistrationCompletion completion);

    // POST "/api/tasks/<type>" with file_id, then polls and downloads: task
    // reports end with the result or one failure.
    static void createTask(const QString &fileId, KSEraserType type, TaskReport report);
    static void getTaskResult(const QString &taskId, TaskReport report);

    // The address requests go to; empty when none is known.
    [[nodiscard]] static QString serviceURL();
    // The address the user configured (environment or setting), without the
    // run-time default: empty means the built-in service should serve.
    [[nodiscard]] static QString configuredServiceURL();
    // The address used when nothing is configured; empty clears it.
    static void setDefaultServiceURL(const QString &url);

    // Whether an envelope's status means success: a text holding a decimal
    // integer equal to 1 (sign and leading zeros allowed, nothing else).
    [[nodiscard]] static bool isSuccessStatus(const QVariant &status);
    // Overall progress at a share of the upload: 0.05 + 0.65 x sent/expected,
    // the quotient and the product in single precision.
    [[nodiscard]] static double uploadProgress(qint64 totalBytesSent, qint64 totalBytesExpected);
    // Overall progress at a fraction of the mask download: 0.8 + 0.2 x f.
    [[nodiscard]] static double downloadProgress(float fraction);
    // A reply as text for the debug output, storage secrets and tokens masked.
    [[nodiscard]] static QString describe(const QVariant &reply);
    // A fresh object key under the prefix.
    [[nodiscard]] static QString newObjectKey(const QString &prefix);
    // The engine the service named (data.engine) for the last task that
    // ended with a mask; empty when it named none.
    [[nodiscard]] static QString lastMaskEngine();

    std::shared_ptr<OSSClient> ossClient;
    OSSPutObjectRequest ossPut;

private:
    KSEraserNetwork() = default;
    QMutex m_mutex; // guards the two fields above between uploads
};
