#pragma once

#include "KSEraserNetwork.h"

// The upload chain of a cut-out job: storage credentials, the signed put with
// the service's callback, and the registration of the resource the callback
// names. KSEraserNetwork offers these steps under their protocol names.
namespace KSUploadFlow {

void getAuthentications(KSEraserNetwork::AuthCompletion completion, KSEraserNetwork::FailureNote note = {});
void uploadImage(const QString &path, KSEraserNetwork::ProgressClosure progress,
                 KSEraserNetwork::UploadCompletion completion, KSEraserNetwork::FailureNote note = {},
                 KSReconnect::StillWanted wanted = {});
void putImage(const QString &path, const QVariantMap &payload, KSEraserNetwork::ByteProgress byteProgress,
              KSEraserNetwork::UploadCompletion completion);
void postResources(const QString &resourceId, KSEraserNetwork::RegistrationCompletion completion);

// Overall progress at a share of the upload (KSJobProgress::upload).
[[nodiscard]] double uploadProgress(qint64 totalBytesSent, qint64 totalBytesExpected);
// A fresh object key under the prefix: 32 lower-case hex digits + ".jpg".
[[nodiscard]] QString newObjectKey(const QString &prefix);

} // namespace KSUploadFlow
