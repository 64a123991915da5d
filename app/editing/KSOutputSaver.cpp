#include "KSOutputSaver.h"

#include "CommLog.h"
#include "KSAsync.h"
#include "KSAppSetting.h"
#include "KSBookmark.h"
#include "KSImageLoader.h"
#include "KSImageWriter.h"
#include "KSOutputClaim.h"
#include "KSUserDefaultKit.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <optional>

namespace {

const QString kJpg = QStringLiteral("jpg");
const QString kPng = QStringLiteral("png");

KSOutputSaver::Result failed(const QString &error)
{
    CommLog::E(QStringLiteral("save failed: ") + error);
    return {QString(), error};
}

// Encodes the picture at the claim's partial name and puts it in place.
KSOutputSaver::Result writeClaimed(const QImage &picture, KSOutputClaim &claim, const QString &format,
                                   QSizeF dotsPerInch)
{
    const KSImageWriter::Result written =
        format == kPng ? KSImageWriter::writePng(picture, claim.partialPath(), KSImageWriter::kPngLevel, dotsPerInch)
                       : KSImageWriter::writeJpeg(picture, claim.partialPath(), KSImageWriter::kJpegQuality, dotsPerInch);
    if (!written.ok)
        return failed(written.error);
    QString error;
    if (!claim.commit(&error))
        return failed(error);
    return {claim.path(), QString()};
}

// Takes a name in `folder` with `claimName` and writes the picture under it,
// with the folder's access open meanwhile.
template <typename ClaimName>
KSOutputSaver::Result claimAndWrite(const QImage &picture, const QString &folder, const QString &format,
                                    QSizeF dotsPerInch, ClaimName claimName)
{
    KSBookmark *bookmark = KSBookmark::defaultShareBookmark();
    const bool access = bookmark->BookmarkStartAccessingSecurityScopedResourceWithFilePath(folder);
    const auto closeAccess = qScopeGuard([&] {
        if (access)
            bookmark->BookmarkStopAccessingSecurityScopedResourceWithFilePath(folder);
    });
    QString error;
    std::optional<KSOutputClaim> claim = claimName(&error);
    if (!claim)
        return failed(error);
    return writeClaimed(picture, *claim, format, dotsPerInch);
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
        // Refused before any pixel is made: a size from the settings or a
        // restored framing may ask for more than can be saved.
        if (const QString why = KSOutputRender::whyBeyondLimits(job.request); !why.isEmpty()) {
            *error = why;
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
    // A sheet that holds no copy is known from the printed size alone.
    if (job.targetPath.isEmpty() && job.sheet) {
        if (const QString why = KSPrintSheet::whyNoCopyFits(*job.sheet, job.request.printSizeMm); !why.isEmpty())
            return failed(why);
    }
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
            return failed(QStringLiteral("cannot make the %1 sheet (out of memory?)").arg(KSPrintSheet::paperName(*job.sheet)));
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
    // The old file goes only in the rename that puts the new one in place.
    return claimAndWrite(picture, target.absolutePath(), format, dotsPerInch, [&](QString *error) {
        return KSOutputClaim::replacing(target.absoluteFilePath(), error);
    });
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

    // The name is taken before the picture is written, so that another save
    // into the folder meanwhile moves on to the next free name.
    return claimAndWrite(picture, folder, format, dotsPerInch, [&](QString *error) {
        return KSOutputClaim::claimFreeName(folder, baseName, format, error);
    });
}
