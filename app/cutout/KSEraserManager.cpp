#include "KSEraserManager.h"

#include "CommLog.h"
#include "KSBookmark.h"
#include "KSEraserNetwork.h"
#include "KSFileConst.h"
#include "KSImageExtension.h"
#include "KSImageLoader.h"
#include "KSMainQueue.h"
#include "KSPictureLimits.h"
#include "KSPhotoRenderTools.h"
#include "KSTempFile.h"
#include "KSTiffEncoder.h"
#include "KSWriteFailure.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace {

const QString kFlowError = QStringLiteral("抠图流程出错：");
// A photo above this is read again for the compositing rather than held
// while the service cuts it out: the built-in service's engine needs its
// own few hundred megabytes meanwhile, and a second decode costs less than
// holding both on a photo near the pixel limit.
constexpr qint64 kMaxHeldPhotoPixels = 50'000'000;

// Everything one job needs travels in this record, shared by the closures of
// its steps; the job ends when the last of them is gone.
struct Job
{
    QString filePath;
    KSEraserType type = KSEraserType::person;
    KSEraserManager::Report closure;
    QImage fullImage; // null while the service works when the photo is read again
    QSize fullSize;
    QString uploadPath;
    std::atomic<bool> ended{false};
    bool finalDelivered = false; // main thread only
};
using JobPtr = std::shared_ptr<Job>;

void deliver(const JobPtr &job, bool success, const std::optional<QString> &path, double progress, bool final)
{
    auto hand = [job, success, path, progress, final] {
        // Reports reach the main queue from several threads; none may follow
        // the final one.
        if (job->finalDelivered)
            return;
        job->finalDelivered = final;
        if (job->closure)
            job->closure(success, path, progress);
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
    deliver(job, success, path, success ? 1.0 : -1.0, true);
}

void fail(const JobPtr &job)
{
    finish(job, false, std::nullopt);
}

void removeUploadFile(const JobPtr &job)
{
    if (!job->uploadPath.isEmpty())
        QFile::remove(job->uploadPath);
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

bool readPhoto(const JobPtr &job);

void composite(const JobPtr &job, const QString &maskPath)
{
    const KSImageLoader::Result mask = KSImageLoader::load(maskPath);
    QFile::remove(maskPath);
    if (!mask.ok()) {
        CommLog::E(kFlowError + QStringLiteral("无法读取mask图片 ") + mask.error);
        fail(job);
        return;
    }
    if (job->fullImage.isNull() && (!readPhoto(job) || job->fullImage.size() != job->fullSize)) {
        CommLog::E(kFlowError + QStringLiteral("图片在抠图期间已改变或无法再读取 ") + job->filePath);
        fail(job);
        return;
    }
    // A photo near the pixel limit is held once only: the mask goes in at
    // its own size (the compositing stretches it row by row), the photo's
    // pixels become the cut-out's, and the cut-out streams into its file.
    CommLog::I(QStringLiteral("抠图成功开始合成图片"));
    const QImage cutout = KSPhotoRenderTools::cutoutImage(std::exchange(job->fullImage, QImage()), mask.image);
    CommLog::I(QStringLiteral("抠图成功开始合成完成"));
    if (cutout.isNull()) {
        CommLog::E(kFlowError + QStringLiteral("合成图片失败"));
        fail(job);
        return;
    }
    const QString resultPath = KSEraserManager::resultPathFor(job->filePath);
    QSaveFile result(resultPath);
    if (!result.open(QIODevice::WriteOnly) || !KSTiffEncoder::write(cutout, result) || !result.flush()
        || !result.commit()) {
        CommLog::E(kFlowError + QStringLiteral("写入抠图结果失败 ")
                   + KSWriteFailure::describe(resultPath.isEmpty() ? KSTempAppPathDirector() : resultPath,
                                              result.errorString(), cutout.sizeInBytes()));
        result.cancelWriting();
        QFile::remove(resultPath);
        fail(job);
        return;
    }
    CommLog::I(QStringLiteral("写入成功"));
    finish(job, true, resultPath);
}

void handleTaskReport(const JobPtr &job, bool success, const std::optional<QString> &maskPath, double value)
{
    if (success && maskPath) {
        composite(job, *maskPath);
        return;
    }
    if (value < 0)
        fail(job);
    else
        progress(job, value);
}

void handleUploadCompletion(const JobPtr &job, const std::optional<KSNetError> &error,
                            const std::optional<QVariantMap> &payload)
{
    removeUploadFile(job);
    if (error || !payload) {
        fail(job);
        return;
    }
    const QVariant resourceId = payload->value(QStringLiteral("resource_id"));
    if (resourceId.typeId() != QMetaType::QString || resourceId.toString().isEmpty()) {
        CommLog::E(kFlowError + QStringLiteral("登记资源的回复没有resource_id"));
        fail(job);
        return;
    }
    CommLog::I(QStringLiteral("开始抠图"));
    KSEraserNetwork::createTask(resourceId.toString(), job->type,
                                [job](bool success, const std::optional<QString> &maskPath, double value) {
                                    handleTaskReport(job, success, maskPath, value);
                                });
}

// The user's photo at full size, read under its bookmark's access; false
// (logged) when it cannot be read.
bool readPhoto(const JobPtr &job)
{
    KSBookmark *bookmarks = KSBookmark::defaultShareBookmark();
    const bool access = bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(job->filePath);
    KSImageLoader::Result loaded = KSImageLoader::load(job->filePath);
    if (access)
        bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(job->filePath);
    if (!loaded.ok()) {
        CommLog::E(kFlowError + QStringLiteral("无法读取图片 ") + job->filePath + u' ' + loaded.error);
        return false;
    }
    job->fullImage = std::move(loaded.image);
    return true;
}

void prepare(const JobPtr &job)
{
    if (!readPhoto(job)) {
        fail(job);
        return;
    }
    job->fullSize = job->fullImage.size();
    if (!KSEraserManager::isLargeEnough(job->fullImage.size())) {
        CommLog::E(kFlowError + QStringLiteral("图片太小，无法抠图 %1 x %2").arg(job->fullImage.width()).arg(job->fullImage.height()));
        fail(job);
        return;
    }

    const QImage reduced = KSPhotoRenderTools::zipInputImage(job->fullImage, QSizeF(KSEraserManager::kMaxUploadSide,
                                                                                    KSEraserManager::kMaxUploadSide));
    if (qint64(job->fullSize.width()) * job->fullSize.height() > kMaxHeldPhotoPixels)
        job->fullImage = QImage();
    // Every byte of the copy is checked: a copy cut short by a full disk
    // would be uploaded and fail on the service as an unreadable picture.
    job->uploadPath = KSTempFile::reserve(QStringLiteral(".png"));
    const QByteArray data = tiffData(reduced);
    QString problem;
    if (job->uploadPath.isEmpty()) {
        problem = KSWriteFailure::describe(KSTempAppPathDirector(), QStringLiteral("no new file can be made there"));
    } else if (data.isEmpty()) {
        problem = QStringLiteral("无法编码上传的图片");
    } else {
        QFile upload(job->uploadPath);
        if (!upload.open(QIODevice::WriteOnly) || upload.write(data) != data.size() || !upload.flush())
            problem = KSWriteFailure::describe(job->uploadPath, upload.errorString(), data.size());
    }
    if (!problem.isEmpty()) {
        CommLog::E(kFlowError + QStringLiteral("无法写入上传的图片 ") + problem);
        removeUploadFile(job);
        fail(job);
        return;
    }

    KSEraserNetwork::uploadImage(
        job->uploadPath,
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
        });
}

} // namespace

void KSEraserManager::startEraser(const QString &filePath, KSEraserType type, Report closure)
{
    auto job = std::make_shared<Job>();
    job->filePath = filePath;
    job->type = type;
    job->closure = std::move(closure);
    QThreadPool::globalInstance()->start([job] { prepare(job); });
}

bool KSEraserManager::isLargeEnough(const QSize &photoSize)
{
    const QSize upload = KSImageExtension::pixelSize(
        KSPhotoRenderTools::zipSize(QSizeF(photoSize), QSizeF(kMaxUploadSide, kMaxUploadSide)));
    return upload.width() >= KSPictureLimits::kMinSide && upload.height() >= KSPictureLimits::kMinSide;
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
    return KSTempFile::reserveFirstFree([&](int n) {
        return n == 1 ? info.fileName() : QStringLiteral("%1(%2)%3").arg(info.completeBaseName()).arg(n - 1).arg(suffix);
    });
}
