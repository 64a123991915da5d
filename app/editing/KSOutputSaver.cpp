#include "KSOutputSaver.h"

#include "CommLog.h"
#include "KSAsync.h"
#include "KSAppSetting.h"
#include "KSBookmark.h"
#include "KSImageLoader.h"
#include "KSImageWriter.h"
#include "KSUserDefaultKit.h"
#include "ToolString.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

const QString kJpg = QStringLiteral("jpg");
const QString kPng = QStringLiteral("png");

KSOutputSaver::Result failed(const QString &error)
{
    CommLog::E(QStringLiteral("save failed: ") + error);
    return {QString(), error};
}

enum class Placed { Done, NameTaken, Failed };

// Gives the finished file its name only when nothing stands there: a file
// that appeared under the free name since it was chosen is never replaced.
Placed placeWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Placed::Done;
    if (errno == EEXIST)
        return Placed::NameTaken;
    // File systems without the flag: a hard link fails the same way on a
    // taken name.
    if (errno == EINVAL || errno == ENOSYS) {
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return Placed::Done;
        }
        if (errno == EEXIST)
            return Placed::NameTaken;
        // No hard links either (FAT, some network folders): check, then rename.
        if (errno == EPERM || errno == ENOTSUP) {
            if (QFileInfo::exists(to))
                return Placed::NameTaken;
            if (std::rename(source.constData(), target.constData()) == 0)
                return Placed::Done;
        }
    }
    *error = QStringLiteral("cannot name the file %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    return Placed::Failed;
}

} // namespace

QString KSOutputSaver::outputFormat(const KSColor &backgroundColor)
{
    if (backgroundColor == KSClear_Color())
        return kPng;
    const QString stored = KSUserDefaultKit::getFromUserDefaults_NSString(KSAppSetting::kOutputFormat, kJpg);
    return stored == kPng ? kPng : kJpg;
}

KSOutputSaver::Job KSOutputSaver::prepare(const QString &subjectPath, const QString &baseName,
                                          const KSOutputRender::Request &request)
{
    Job job;
    job.subjectPath = subjectPath;
    job.folder = KSAppSetting::outputDirectory();
    job.baseName = baseName;
    job.format = outputFormat(request.backgroundColor);
    job.request = request;
    return job;
}

KSOutputSaver::Job KSOutputSaver::prepareAs(const QString &subjectPath, const QString &targetPath,
                                            const KSOutputRender::Request &request)
{
    Job job;
    job.subjectPath = subjectPath;
    job.request = request;
    const QString suffix = QFileInfo(targetPath).suffix().toLower();
    const bool jpegName = suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
    // JPEG has no transparency: a transparent background stays PNG.
    job.format = jpegName && request.backgroundColor != KSClear_Color() ? kJpg : kPng;
    job.targetPath = targetPath;
    if (suffix != job.format && !(jpegName && job.format == kJpg))
        job.targetPath += QLatin1Char('.') + job.format;
    return job;
}

QImage KSOutputSaver::render(const Job &job, QString *error, QSizeF *dotsPerInch)
{
    try {
        if (job.request.imageSize.isEmpty()) {
            *error = QStringLiteral("the cut-out has not been loaded");
            return {};
        }
        KSOutputRender::Request request = job.request;
        if (job.makeSubject) {
            request.subject = job.makeSubject();
            if (request.subject.isNull()) {
                *error = QStringLiteral("cannot make the subject picture");
                return {};
            }
        } else {
            KSImageLoader::Result loaded = KSImageLoader::load(job.subjectPath);
            if (!loaded.ok()) {
                *error = QStringLiteral("cannot read the subject picture %1: %2").arg(job.subjectPath, loaded.error);
                return {};
            }
            request.subject = std::move(loaded.image);
        }
        request.opaque = job.format != kPng;
        QImage picture = KSOutputRender::renderOutputImage(request);
        if (picture.isNull())
            *error = QStringLiteral("cannot render a picture of %1 x %2 pixels")
                         .arg(KSOutputRender::outputPixelSize(request).width())
                         .arg(KSOutputRender::outputPixelSize(request).height());
        if (dotsPerInch)
            *dotsPerInch = KSOutputRender::dotsPerInch(request);
        return picture;
    } catch (const std::bad_alloc &) {
        *error = QStringLiteral("not enough memory to render the picture");
        return {};
    }
}

KSOutputSaver::Result KSOutputSaver::run(const Job &job)
{
    QString error;
    QSizeF dotsPerInch;
    const QImage picture = render(job, &error, &dotsPerInch);
    if (picture.isNull())
        return failed(error);
    if (!job.targetPath.isEmpty())
        return writeOutputImageAs(picture, job.targetPath, job.format, dotsPerInch);
    if (!job.sheet)
        return writeOutputImage(picture, job.folder, job.baseName, job.format, dotsPerInch);
    try {
        const QImage sheet = KSPrintSheet::render(picture, job.request.printSizeMm, *job.sheet);
        if (sheet.isNull())
            return failed(QStringLiteral("no copy of a %1 x %2 mm photo fits on a %3 sheet")
                              .arg(job.request.printSizeMm.width())
                              .arg(job.request.printSizeMm.height())
                              .arg(KSPrintSheet::paperName(*job.sheet)));
        return writeOutputImage(sheet, job.folder,
                                job.baseName + QLatin1Char('-') + KSPrintSheet::paperName(*job.sheet), job.format,
                                QSizeF(KSPrintSheet::kDpi, KSPrintSheet::kDpi));
    } catch (const std::bad_alloc &) {
        return failed(QStringLiteral("not enough memory to render the picture"));
    }
}

KSOutputSaver::Result KSOutputSaver::saveOutputImage(const QString &subjectPath, const QString &baseName,
                                                     const KSOutputRender::Request &request)
{
    return run(prepare(subjectPath, baseName, request));
}

void KSOutputSaver::saveOutputImageAsync(const QString &subjectPath, const QString &baseName,
                                         const KSOutputRender::Request &request, QObject *context,
                                         std::function<void(const Result &result)> done,
                                         std::optional<KSPrintSheet::Paper> sheet)
{
    Job job = prepare(subjectPath, baseName, request);
    job.sheet = sheet;
    runAsync(job, context, std::move(done));
}

void KSOutputSaver::runAsync(const Job &job, QObject *context, std::function<void(const Result &result)> done)
{
    // Dropped when the context dies.
    KSAsync::run(context, [job] { return run(job); }, [done = std::move(done)](const Result &result) {
        if (done)
            done(result);
    });
}

KSOutputSaver::Result KSOutputSaver::writeOutputImageAs(const QImage &picture, const QString &path,
                                                        const QString &format, QSizeF dotsPerInch)
{
    if (picture.isNull())
        return failed(QStringLiteral("there is no picture to save"));
    if (format != kJpg && format != kPng)
        return failed(QStringLiteral("unknown output format \"%1\"").arg(format));
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    KSBookmark *bookmark = KSBookmark::defaultShareBookmark();
    const bool access = bookmark->BookmarkStartAccessingSecurityScopedResourceWithFilePath(folder);
    const auto closeAccess = qScopeGuard([&] {
        if (access)
            bookmark->BookmarkStopAccessingSecurityScopedResourceWithFilePath(folder);
    });
    const QString partial =
        QDir(folder).filePath(QStringLiteral(".%1.%2.part").arg(QUuid::createUuid().toString(QUuid::Id128), format));
    const KSImageWriter::Result written =
        format == kPng ? KSImageWriter::writePng(picture, partial, KSImageWriter::kPngLevel, dotsPerInch)
                       : KSImageWriter::writeJpeg(picture, partial, KSImageWriter::kJpegQuality, dotsPerInch);
    if (!written.ok)
        return failed(written.error);
    // The old file goes only in the rename that puts the new one in place.
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        const QString error = QStringLiteral("cannot name the file %1: %2")
                                  .arg(target.absoluteFilePath(), QString::fromLocal8Bit(std::strerror(errno)));
        QFile::remove(partial);
        return failed(error);
    }
    return {target.absoluteFilePath(), QString()};
}

KSOutputSaver::Result KSOutputSaver::writeOutputImage(const QImage &picture, const QString &folder,
                                                      const QString &baseName, const QString &format,
                                                      QSizeF dotsPerInch)
{
    if (picture.isNull())
        return failed(QStringLiteral("there is no picture to save"));
    if (folder.isEmpty() || baseName.isEmpty())
        return failed(QStringLiteral("no output folder or file name"));
    if (format != kJpg && format != kPng)
        return failed(QStringLiteral("unknown output format \"%1\"").arg(format));

    KSBookmark *bookmark = KSBookmark::defaultShareBookmark();
    const bool access = bookmark->BookmarkStartAccessingSecurityScopedResourceWithFilePath(folder);
    const auto closeAccess = qScopeGuard([&] {
        if (access)
            bookmark->BookmarkStopAccessingSecurityScopedResourceWithFilePath(folder);
    });

    const QDir dir(folder);
    // Hidden while it is written, so that no half-written picture ever shows
    // under a real name.
    const QString partial =
        dir.filePath(QStringLiteral(".%1.%2.part").arg(QUuid::createUuid().toString(QUuid::Id128), format));
    const KSImageWriter::Result written =
        format == kPng ? KSImageWriter::writePng(picture, partial, KSImageWriter::kPngLevel, dotsPerInch)
                       : KSImageWriter::writeJpeg(picture, partial, KSImageWriter::kJpegQuality, dotsPerInch);
    if (!written.ok)
        return failed(written.error);

    const QString target = dir.filePath(baseName + QLatin1Char('.') + format);
    QString error = QStringLiteral("no free file name for %1").arg(target);
    // Another program may take the free name between the look and the rename.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString freePath = ToolString::renameFromFilePath(target, 0);
        if (freePath.isEmpty())
            break;
        const Placed placed = placeWithoutReplacing(partial, freePath, &error);
        if (placed == Placed::Done)
            return {freePath, QString()};
        if (placed == Placed::Failed)
            break;
    }
    QFile::remove(partial);
    return failed(error);
}
