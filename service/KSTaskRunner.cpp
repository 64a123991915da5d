#include "KSTaskRunner.h"

#include "KSDataFolder.h"
#include "KSDataFolderFull.h"
#include "KSImageLoader.h"
#include "KSObjectStorage.h"
#include "KSPictureLimits.h"
#include "KSServiceLog.h"
#include "KSServiceRandom.h"
#include "KSServiceStore.h"
#include "KSTaskProgress.h"
#include "KSTaskSignal.h"
#include "KSWriteFailure.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

KSTaskRunner::KSTaskRunner(Context context, std::unique_ptr<KSCutoutEngine> engine)
    : m_context(std::move(context))
    , m_engine(std::move(engine))
{
}

cv::Mat KSTaskRunner::decodePicture(const QString &path, qint64 maxBytes, qint64 maxPixels, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = QStringLiteral("the uploaded picture is gone");
        return {};
    }
    if (info.size() > maxBytes) {
        *error = QStringLiteral("the uploaded file has %1 bytes, more than the limit of %2").arg(info.size()).arg(maxBytes);
        return {};
    }
    // The loader's own texts name the data folder's paths: they go to the
    // log, the task's error says what is wrong without them.
    const KSImageLoader::SizeResult header = KSImageLoader::readSize(path);
    if (header.failure == KSImageLoader::Failure::TooLarge) {
        KSServiceLog::E(header.error);
        *error = QStringLiteral("the picture has more than the limit of %1 pixels").arg(maxPixels);
        return {};
    }
    if (!header.ok()) {
        KSServiceLog::E(header.error);
        *error = QStringLiteral("the uploaded file is not a picture that can be read");
        return {};
    }
    const QSize size = header.size;
    if (size.width() < KSPictureLimits::kMinSide || size.height() < KSPictureLimits::kMinSide) {
        *error = QStringLiteral("the picture has %1 x %2 pixels, too small to cut out (at least %3 x %3)")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(KSPictureLimits::kMinSide);
        return {};
    }
    if (qint64(size.width()) * size.height() > maxPixels) {
        *error = QStringLiteral("the picture has %1 x %2 pixels, more than the limit of %3 pixels")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(maxPixels);
        return {};
    }
    KSImageLoader::Result loaded = KSImageLoader::load(path);
    if (!loaded.ok()) {
        KSServiceLog::E(loaded.error);
        *error = QStringLiteral("the picture cannot be decoded");
        return {};
    }
    QImage &image = loaded.image;
    cv::Mat bgr;
    if (image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_RGBA8888);
        const cv::Mat rgba(image.height(), image.width(), CV_8UC4, image.bits(), size_t(image.bytesPerLine()));
        cv::Mat colour, alpha, weight;
        cv::cvtColor(rgba, colour, cv::COLOR_RGBA2BGR);
        cv::extractChannel(rgba, alpha, 3);
        alpha.convertTo(weight, CV_32F, 1.0 / 255.0);
        const cv::Mat white(colour.size(), CV_8UC3, cv::Scalar::all(255));
        const cv::Mat inverse = 1.0 - weight;
        cv::blendLinear(colour, white, weight, inverse, bgr);
    } else {
        image.convertTo(QImage::Format_RGB888);
        const cv::Mat rgb(image.height(), image.width(), CV_8UC3, image.bits(), size_t(image.bytesPerLine()));
        cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    }
    return bgr;
}

void KSTaskRunner::run(const KSServiceStore::Claim &claim)
{
    KSServiceStore &store = *m_context.store;
    const QString &taskId = claim.taskId;
    if (m_context.progress)
        m_context.progress->claimed(taskId, m_context.nowMs());
    QString error;
    QString maskName;
    try {
        maskName = makeMask(taskId, &error);
    } catch (const std::exception &e) {
        error = QStringLiteral("the engine stopped: %1").arg(QString::fromUtf8(e.what()));
    } catch (...) {
        error = QStringLiteral("the engine stopped");
    }
    const QString engine = QString::fromStdString(m_engine->name());
    if (maskName.isEmpty()) {
        if (store.finishTask(claim, KSTaskStatus::failed, engine, error, {}, m_context.nowMs()))
            KSServiceLog::E(QStringLiteral("task %1 failed: %2").arg(taskId, error));
    } else if (store.finishTask(claim, KSTaskStatus::done, engine, {}, maskName, m_context.nowMs())) {
        KSServiceLog::I(QStringLiteral("task %1 done by %2").arg(taskId, engine));
    } else {
        // Cancelled while the engine ran, or claimed again by another
        // service after this one's lease ran out: nobody will fetch this mask.
        QFile::remove(m_context.masksDir + QLatin1Char('/') + maskName + QStringLiteral(".png"));
        KSServiceLog::I(QStringLiteral("task %1 was cancelled or taken over; its mask is dropped").arg(taskId));
    }
    if (m_context.progress)
        m_context.progress->ended(taskId, m_context.nowMs());
    if (m_context.taskSignal)
        m_context.taskSignal->notify();
}

QString KSTaskRunner::makeMask(const QString &taskId, QString *error)
{
    KSServiceStore &store = *m_context.store;
    const auto task = store.task(taskId);
    const auto resource = task ? store.resource(task->resourceId) : std::nullopt;
    const auto type = task ? KSEraserTypeFromRawValue(task->type) : std::nullopt;
    if (!task || !resource || !type) {
        *error = QStringLiteral("the task's picture is no longer known");
        return {};
    }
    const cv::Mat bgr = decodePicture(m_context.objects->pathFor(resource->bucket, resource->objectKey),
                                      m_context.maxBytes, m_context.maxPixels, error);
    if (bgr.empty())
        return {};

    std::string engineError;
    if (m_context.progress)
        m_context.progress->engineStarted(taskId, m_context.nowMs());
    const cv::Mat mask = m_engine->mask(bgr, *type, &engineError);
    if (m_context.progress)
        m_context.progress->engineFinished(taskId, m_context.nowMs());
    if (mask.empty() || mask.type() != CV_8UC1 || mask.size() != bgr.size()) {
        *error = engineError.empty() ? QStringLiteral("the engine made no mask") : QString::fromStdString(engineError);
        return {};
    }

    std::vector<uchar> png;
    // Level 1: masks compress well anyway, and speed matters more here.
    if (!cv::imencode(".png", mask, png, {cv::IMWRITE_PNG_COMPRESSION, 1})) {
        *error = QStringLiteral("the mask cannot be encoded");
        return {};
    }
    const QString name = KSServiceRandomHex(32);
    QSaveFile file(m_context.masksDir + QLatin1Char('/') + name + QStringLiteral(".png"));
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(KSDataFolder::kFileMode)
        || file.write(reinterpret_cast<const char *>(png.data()), qint64(png.size())) != qint64(png.size())
        // QSaveFile's commit() takes a flush that fails for want of room for
        // success, and would hand out an empty mask: flushed first.
        || !file.flush() || !file.commit()) {
        const QString why = KSWriteFailure::isDiskFull(m_context.masksDir, qint64(png.size()))
                                ? KSDataFolderFull::message(QFileInfo(m_context.masksDir).path())
                                : KSWriteFailure::describe(m_context.masksDir, file.errorString(), qint64(png.size()));
        *error = QStringLiteral("the mask cannot be written: %1").arg(why);
        return {};
    }
    return name;
}
