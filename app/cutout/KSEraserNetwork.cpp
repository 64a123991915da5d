#include "KSEraserNetwork.h"

#include "KSTaskFlow.h"
#include "KSUploadFlow.h"

KSEraserNetwork *KSEraserNetwork::shared()
{
    static KSEraserNetwork *instance = new KSEraserNetwork;
    return instance;
}

void KSEraserNetwork::getAuthentications(AuthCompletion completion)
{
    KSUploadFlow::getAuthentications(std::move(completion));
}

void KSEraserNetwork::uploadImage(const QString &path, ProgressClosure progress, UploadCompletion completion,
                                  FailureNote note, KSReconnect::StillWanted wanted)
{
    KSUploadFlow::uploadImage(path, std::move(progress), std::move(completion), std::move(note), std::move(wanted));
}

void KSEraserNetwork::putImage(const QString &path, const QVariantMap &payload, ByteProgress byteProgress,
                               UploadCompletion completion)
{
    KSUploadFlow::putImage(path, payload, std::move(byteProgress), std::move(completion));
}

void KSEraserNetwork::postResources(const QString &resourceId, RegistrationCompletion completion)
{
    KSUploadFlow::postResources(resourceId, std::move(completion));
}

void KSEraserNetwork::createTask(const QString &fileId, KSEraserType type, TaskReport report, FailureNote note,
                                 TaskCreated created, KSReconnect::StillWanted wanted)
{
    KSTaskFlow::createTask(fileId, type, std::move(report), std::move(note), std::move(created), std::move(wanted));
}

void KSEraserNetwork::getTaskResult(const QString &taskId, TaskReport report, FailureNote note)
{
    KSTaskFlow::getTaskResult(taskId, std::move(report), std::move(note));
}

void KSEraserNetwork::cancelTask(const QString &taskId)
{
    KSTaskFlow::cancelTask(taskId);
}

void KSEraserNetwork::holdUpload(std::shared_ptr<OSSClient> client, const OSSPutObjectRequest &request)
{
    QMutexLocker lock(&m_mutex);
    ossClient = std::move(client);
    ossPut = request;
}
