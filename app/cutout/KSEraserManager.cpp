#include "KSEraserManager.h"

#include "CommLog.h"
#include "KSAsync.h"
#include "KSBookmark.h"
#include "KSEraserNetwork.h"
#include "KSFileConst.h"
#include "KSImageLoader.h"
#include "KSJobProgress.h"
#include "KSMainQueue.h"
#include "KSMatteRefine.h"
#include "KSPhotoRenderTools.h"
#include "KSTempFile.h"
#include "KSTiffEncoder.h"
#include "KSWriteFailure.h"
#include "ToolFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageWriter>
#include <QMutex>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

const QString kFlowError = QStringLiteral("cut-out failed: ");
using Kind = KSEraserFailure::Kind;
// A photo above this is read again for the compositing rather than held
// while the service cuts it out: the built-in service's engine needs its
// own few hundred megabytes meanwhile, and a second decode costs less than
// holding both on a photo near the pixel limit.
constexpr qint64 kMaxHeldPhotoPixels = 50'000'000;

// Everything one job needs travels in this record, shared by the closures of
// its steps; the job ends when the last of them is gone.
struct Job
{
    KSEraserManager::JobId id = 0;
    QString filePath;
    KSEraserType type = KSEraserType::person;
    KSEraserManager::Report closure;
    KSEraserManager::FailureClosure failed;
    QImage fullImage; // null while the service works when the photo is read again
    QSize fullSize;
    std::atomic<bool> ended{false};
    bool finalDelivered = false; // main thread only
    double shownProgress = 0.0;  // main thread only

    // Set by several threads; the mutex guards them.
    QMutex mutex;
    bool cancelled = false;
    KSEraserFailure failure;
    QString uploadPath;
    QString taskId;
};
using JobPtr = std::shared_ptr<Job>;

// The jobs that may still be cancelled, by id.
QMutex jobsMutex;
QHash<KSEraserManager::JobId, std::weak_ptr<Job>> runningJobs;
std::atomic<KSEraserManager::JobId> lastJobId{0};

void forgetJob(const JobPtr &job)
{
    QMutexLocker lock(&jobsMutex);
    runningJobs.remove(job->id);
}

bool isCancelled(const JobPtr &job)
{
    QMutexLocker lock(&job->mutex);
    return job->cancelled;
}

// A step waiting for its service is not sent again once the job was cancelled.
KSReconnect::StillWanted stillWanted(const JobPtr &job)
{
    return [weak = std::weak_ptr<Job>(job)] {
        const JobPtr alive = weak.lock();
        return alive && !isCancelled(alive);
    };
}

// A file the job made: kept for the job, or deleted at once when the job
// was cancelled meanwhile. False in that case.
bool keepFile(const JobPtr &job, const QString &path)
{
    QMutexLocker lock(&job->mutex);
    if (!job->cancelled)
        return true;
    QFile::remove(path);
    return false;
}

void deliver(const JobPtr &job, bool success, const std::optional<QString> &path, double progress, bool final)
{
    auto hand = [job, success, path, progress, final] {
        // Reports reach the main queue from several threads; none may follow
        // the final one, and a cancelled job reports nothing.
        if (job->finalDelivered || isCancelled(job)) {
            if (success && path && final)
                QFile::remove(*path);
            return;
        }
        job->finalDelivered = final;
        // The bar never falls back: an upload sent again from its start
        // reports its early shares again.
        const double shown = progress < 0.0 || final ? progress : std::max(progress, job->shownProgress);
        job->shownProgress = shown;
        if (final && !success && job->failed) {
            QMutexLocker lock(&job->mutex);
            const KSEraserFailure failure = job->failure;
            lock.unlock();
            job->failed(failure);
        }
        if (job->closure)
            job->closure(success, path, shown);
    };
    if (KSMainQueue::isMainThread())
        hand();
    else
        KSMainQueue::async(std::move(hand));
}

void progress(const JobPtr &job, double value)
{
    if (!job->ended.load())
        deliver(job, false, std::nullopt, value, false);
}

void finish(const JobPtr &job, bool success, const std::optional<QString> &path)
{
    if (job->ended.exchange(true))
        return;
    forgetJob(job);
    deliver(job, success, path, success ? 1.0 : -1.0, true);
}

// The first cause a step names is the one the user hears.
void noteFailure(const JobPtr &job, const KSEraserFailure &failure)
{
    QMutexLocker lock(&job->mutex);
    if (job->failure.kind == Kind::unknown)
        job->failure = failure;
}

void fail(const JobPtr &job, Kind kind = Kind::unknown)
{
    if (kind != Kind::unknown)
        noteFailure(job, {kind});
    finish(job, false, std::nullopt);
}

void removeUploadFile(const JobPtr &job)
{
    QMutexLocker lock(&job->mutex);
    if (!job->uploadPath.isEmpty())
        QFile::remove(std::exchange(job->uploadPath, QString()));
}

QByteArray tiffData(const QImage &image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(image))
        return {};
    return data;
}

bool loadPhoto(const JobPtr &job);

void composite(const JobPtr &job, const QString &maskPath)
{
    const KSImageLoader::Result mask = KSImageLoader::load(maskPath);
    QFile::remove(maskPath);
    if (!mask.ok()) {
        CommLog::E(kFlowError + QStringLiteral("cannot read the mask ") + mask.error);
        fail(job, Kind::serviceError);
        return;
    }
    if (job->fullImage.isNull()) {
        if (!loadPhoto(job))
            return;
        if (job->fullImage.size() != job->fullSize) {
            CommLog::E(kFlowError + QStringLiteral("the photo changed during the cut-out ") + job->filePath);
            fail(job);
            return;
        }
    }
    // The mask refined at the photo's own size, and the subject's own colours
    // estimated along its edge, so that no rim of the old backdrop shows. A
    // photo near the pixel limit is held once only: its pixels become the
    // cut-out's, and the cut-out streams into its file.
    progress(job, KSJobProgress::kDownloaded);
    CommLog::I(QStringLiteral("mask received, applying it to the photo"));
    const QImage cutout = KSMatteRefine::cutout(std::exchange(job->fullImage, QImage()), mask.image);
    CommLog::I(QStringLiteral("mask applied"));
    if (cutout.isNull()) {
        CommLog::E(kFlowError + QStringLiteral("applying the mask failed"));
        fail(job, Kind::pictureTooLarge);
        return;
    }
    progress(job, KSJobProgress::kCutDone);
    const QString resultPath = KSEraserManager::resultPathFor(job->filePath);
    QSaveFile result(resultPath);
    if (!result.open(QIODevice::WriteOnly) || !KSTiffEncoder::write(cutout, result) || !result.flush()
        || !result.commit()) {
        CommLog::E(kFlowError + QStringLiteral("writing the cut-out failed: ")
                   + KSWriteFailure::describe(resultPath.isEmpty() ? KSTempAppPathDirector() : resultPath,
                                              result.errorString(), cutout.sizeInBytes()));
        result.cancelWriting();
        QFile::remove(resultPath);
        fail(job, Kind::cannotWrite);
        return;
    }
    if (!keepFile(job, resultPath))
        return;
    CommLog::I(QStringLiteral("cut-out written"));
    finish(job, true, resultPath);
}

void handleTaskReport(const JobPtr &job, bool success, const std::optional<QString> &maskPath, double value)
{
    if (success && maskPath) {
        if (keepFile(job, *maskPath))
            composite(job, *maskPath);
        return;
    }
    if (value < 0)
        fail(job);
    else
        progress(job, value);
}

void taskCreated(const JobPtr &job, const QString &taskId)
{
    QMutexLocker lock(&job->mutex);
    job->taskId = taskId;
    if (job->cancelled)
        KSEraserNetwork::cancelTask(taskId);
}

void handleUploadCompletion(const JobPtr &job, const std::optional<KSNetError> &error,
                            const std::optional<QVariantMap> &payload)
{
    removeUploadFile(job);
    if (isCancelled(job))
        return;
    if (error || !payload) {
        if (error)
            noteFailure(job, KSEraserFailure::forNetError(*error));
        fail(job, Kind::serviceError);
        return;
    }
    const QVariant resourceId = payload->value(QStringLiteral("resource_id"));
    if (resourceId.typeId() != QMetaType::QString || resourceId.toString().isEmpty()) {
        CommLog::E(kFlowError + QStringLiteral("the registration's reply has no resource_id"));
        fail(job, Kind::serviceError);
        return;
    }
    CommLog::I(QStringLiteral("creating the cut-out task"));
    KSEraserNetwork::createTask(
        resourceId.toString(), job->type,
        [job](bool success, const std::optional<QString> &maskPath, double value) {
            handleTaskReport(job, success, maskPath, value);
        },
        [job](const KSEraserFailure &failure) { noteFailure(job, failure); },
        [job](const QString &taskId) { taskCreated(job, taskId); }, stillWanted(job));
}

// The photo as the job needs it, or why not.
bool loadPhoto(const JobPtr &job)
{
    KSBookmark *bookmarks = KSBookmark::defaultShareBookmark();
    const bool access = bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(job->filePath);
    KSImageLoader::Result loaded = KSImageLoader::load(job->filePath);
    if (access)
        bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(job->filePath);
    if (!loaded.ok()) {
        CommLog::E(kFlowError + QStringLiteral("cannot read the photo ") + job->filePath + u' ' + loaded.error);
        fail(job, KSEraserFailure::forPhoto(job->filePath, loaded.failure).kind);
        return false;
    }
    const QSize size = loaded.image.size();
    if (std::min(size.width(), size.height()) < KSEraserFailure::kMinPhotoSide) {
        CommLog::E(kFlowError + QStringLiteral("the photo is too small, %1 x %2: ").arg(size.width()).arg(size.height()) + job->filePath);
        fail(job, Kind::pictureTooSmall);
        return false;
    }
    job->fullImage = std::move(loaded.image);
    return true;
}

// On a worker: reads the photo and writes the copy to upload; false when
// the job has failed or was cancelled.
bool prepare(const JobPtr &job)
{
    if (isCancelled(job) || !loadPhoto(job))
        return false;

    job->fullSize = job->fullImage.size();
    const QImage reduced = KSPhotoRenderTools::zipInputImage(job->fullImage, QSizeF(KSEraserManager::kMaxUploadSide,
                                                                                    KSEraserManager::kMaxUploadSide));
    if (qint64(job->fullSize.width()) * job->fullSize.height() > kMaxHeldPhotoPixels)
        job->fullImage = QImage();
    // Every byte of the copy is checked: a copy cut short by a full disk
    // would be uploaded and fail on the service as an unreadable picture.
    const QString uploadPath = KSTempFile::reserve(QStringLiteral(".tif"));
    const QByteArray data = tiffData(reduced);
    QFile upload(uploadPath);
    if (uploadPath.isEmpty() || data.isEmpty() || !upload.open(QIODevice::WriteOnly)
        || upload.write(data) != data.size() || !upload.flush()) {
        CommLog::E(kFlowError + QStringLiteral("cannot write the copy to upload: ")
                   + KSWriteFailure::describe(uploadPath.isEmpty() ? KSTempAppPathDirector() : uploadPath,
                                              upload.errorString(), data.size()));
        upload.close();
        if (!uploadPath.isEmpty())
            QFile::remove(uploadPath);
        fail(job, data.isEmpty() ? Kind::pictureTooLarge : Kind::cannotWrite);
        return false;
    }
    upload.close();
    {
        QMutexLocker lock(&job->mutex);
        job->uploadPath = uploadPath;
    }
    return keepFile(job, uploadPath);
}

void upload(const JobPtr &job)
{
    QString uploadPath;
    {
        // A cancel since the copy was written has deleted it.
        QMutexLocker lock(&job->mutex);
        if (job->cancelled)
            return;
        uploadPath = job->uploadPath;
    }
    KSEraserNetwork::uploadImage(
        uploadPath,
        [job](double value) {
            if (value < 0) {
                // Authentication failed: the upload's completion never comes.
                removeUploadFile(job);
                fail(job);
                return;
            }
            progress(job, value);
        },
        [job](const std::optional<KSNetError> &error, const std::optional<QVariantMap> &payload) {
            handleUploadCompletion(job, error, payload);
        },
        [job](const KSEraserFailure &failure) { noteFailure(job, failure); }, stillWanted(job));
}

} // namespace

KSEraserManager::JobId KSEraserManager::startEraser(const QString &filePath, KSEraserType type, Report closure,
                                                    FailureClosure failed)
{
    auto job = std::make_shared<Job>();
    job->id = ++lastJobId;
    job->filePath = filePath;
    job->type = type;
    job->closure = std::move(closure);
    job->failed = std::move(failed);
    {
        QMutexLocker lock(&jobsMutex);
        runningJobs.insert(job->id, job);
    }
    // The application's end drops an upload not started yet.
    KSAsync::run(QCoreApplication::instance(), [job] { return prepare(job); }, [job](bool prepared) {
        if (prepared)
            upload(job);
    });
    return job->id;
}

bool KSEraserManager::cancelEraser(JobId id)
{
    JobPtr job;
    {
        QMutexLocker lock(&jobsMutex);
        job = runningJobs.take(id).lock();
    }
    if (!job || job->ended.exchange(true))
        return false;
    QMutexLocker lock(&job->mutex);
    job->cancelled = true;
    // Files made from now on are deleted by the step that makes them.
    if (!job->uploadPath.isEmpty())
        QFile::remove(std::exchange(job->uploadPath, QString()));
    if (!job->taskId.isEmpty())
        KSEraserNetwork::cancelTask(job->taskId);
    CommLog::I(QStringLiteral("cut-out of %1 cancelled").arg(job->filePath));
    return true;
}

qint64 KSEraserManager::temporaryBytesFor(const QSize &photoSize)
{
    const qint64 uploadAndMask = 2 * 4 * qint64(kMaxUploadSide) * kMaxUploadSide;
    return uploadAndMask + 4 * qint64(photoSize.width()) * photoSize.height();
}

QString KSEraserManager::resultPathFor(const QString &filePath)
{
    const QFileInfo info(filePath);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    // The cut-out is written through a temporary name of 7 more bytes: a
    // photo's name as long as a name can be must leave room for them.
    constexpr qsizetype kMaxBytes = ToolFile::kMaxNameBytes - 7;
    return KSTempFile::reserveFirstFree([&](int n) {
        const QString tail = n == 1 ? suffix : QStringLiteral("(%1)%2").arg(n - 1).arg(suffix);
        return ToolFile::fittedFileName(info.completeBaseName(), tail, kMaxBytes);
    });
}
