#include "KSCutCommand.h"

#include "CommLog.h"
#include "CommPassport.h"
#include "KSCutExport.h"
#include "KSCutOptions.h"
#include "KSCutProgressBar.h"
#include "KSEraserManager.h"
#include "KSEraserType.h"
#include "KSImageLoader.h"
#include "KSPictureLimits.h"
#include "KSFileConst.h"
#include "KSWriteFailure.h"
#include "KSServiceConnection.h"
#include "KSTaskFlow.h"
#include "ToolFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cstdio>

#include <malloc.h>

namespace {

void printErr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

QString failureText(KSImageLoader::Failure failure)
{
    switch (failure) {
    case KSImageLoader::Failure::Missing: return QStringLiteral("cannot open the file");
    case KSImageLoader::Failure::Empty: return QStringLiteral("the file is empty");
    case KSImageLoader::Failure::Undecodable:
        return QStringLiteral("not a picture Cutora can read (%1)").arg(KSPictureLimits::photoFormatNames());
    case KSImageLoader::Failure::Damaged: return QStringLiteral("the picture is damaged or incomplete");
    case KSImageLoader::Failure::TooLarge: return QStringLiteral("the picture is too large");
    case KSImageLoader::Failure::None: break;
    }
    return {};
}

// Waits for the service connection to be ready; false with a message when it
// cannot be used.
bool connectService(QString *error)
{
    KSServiceConnection *connection = KSServiceConnection::defaultConnection();
    QObject::connect(connection, &KSServiceConnection::waitingForAnotherService, connection, [] {
        printErr(QStringLiteral("cutora: waiting for the cut-out service of another program, which holds the data folder"));
    });
    connection->start();
    if (connection->state() == KSServiceConnection::State::Starting) {
        QEventLoop loop;
        QObject::connect(connection, &KSServiceConnection::stateChanged, &loop, [&] {
            if (connection->state() != KSServiceConnection::State::Starting)
                loop.quit();
        });
        loop.exec();
    }
    if (connection->state() != KSServiceConnection::State::Ready) {
        *error = QStringLiteral("the cut-out service did not start: ") + connection->errorString();
        return false;
    }
    if (connection->mode() == KSServiceConnection::Mode::Local) {
        if (!connection->signInLocalAccount()) {
            *error = QStringLiteral("cannot sign in to the built-in cut-out service");
            return false;
        }
    } else if (!CommPassport::isLogged()) {
        *error = QStringLiteral("not signed in to %1: sign in once in the application").arg(connection->baseUrl());
        return false;
    }
    return true;
}

// Runs one job to its end; returns the temporary cut-out path, or nothing
// and why not.
std::optional<QString> runJob(const QString &photo, KSEraserType type, KSEraserFailure *failure)
{
    KSCutProgressBar bar(photo);
    std::optional<QString> result;
    QEventLoop loop;
    KSEraserManager::startEraser(
        photo, type,
        [&](bool success, const std::optional<QString> &path, double progress) {
            if (progress >= 0.0)
                bar.show(progress);
            if (success || progress < 0.0) {
                if (success)
                    result = path;
                // Queued, so that a report made before exec() still ends the loop.
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            }
        },
        [failure](const KSEraserFailure &why) { *failure = why; });
    loop.exec();
    bar.finish();
    return result;
}

// What is wrong with a photo's name before anything is read, or an empty text.
QString photoProblem(const QString &photo)
{
    const QFileInfo info(photo);
    if (info.isDir())
        return QStringLiteral("this is a folder, not a photo");
    if (info.exists())
        return {};
    // Bytes that are no UTF-8 arrive as replacement characters, under which
    // no file can be opened.
    if (photo.contains(QChar::ReplacementCharacter))
        return QStringLiteral("the name is not valid UTF-8, and Cutora cannot open such a file: rename it");
    return QStringLiteral("no such file");
}

// The service's own words for a failed task, when it gave any.
QString failureDetail(const KSEraserFailure &failure)
{
    if (failure.detail.isEmpty())
        return QStringLiteral("details in %1").arg(CommLog::logFilePath());
    return QStringLiteral("the cut-out service says: %1; details in %2").arg(failure.detail, CommLog::logFilePath());
}

// Cuts one photo out and writes it under the name it claims; an empty text
// and the written path in *written, or why not.
QString cutOne(const QString &photo, KSEraserType type, const KSCutOptions &options, bool lastPhoto,
               QString *written)
{
    if (const QString why = photoProblem(photo); !why.isEmpty())
        return why;
    if (!options.out.isEmpty() && ToolFile::isSameFileAtPaths(options.out, photo))
        return QStringLiteral("the output would replace the photo itself");
    // A cheap look at the header names the problem precisely, which the
    // job's own failure report does not.
    const QString path = QFileInfo(photo).absoluteFilePath();
    const KSImageLoader::SizeResult probe = KSImageLoader::readSize(path);
    if (!probe.ok())
        return failureText(probe.failure);
    // The job's files go to the temporary folder: a full disk there is
    // named, rather than found out half way.
    const qint64 room = KSEraserManager::temporaryBytesFor(probe.size);
    if (KSWriteFailure::isDiskFull(KSTempAppPathDirector(), room))
        return QStringLiteral("the disk holding %1 is full: the cut-out needs about %2 MB there")
            .arg(KSTempAppPathDirector())
            .arg((room + 999'999) / 1'000'000);
    KSEraserFailure failure;
    const std::optional<QString> cutout = runJob(path, type, &failure);
    if (!cutout)
        return QStringLiteral("%1 (%2)").arg(failure.englishText(), failureDetail(failure));
    // After the last job the built-in service is not needed any more, and
    // its engine (a learned model with its working memory) takes room the
    // export of a huge photo needs.
    if (lastPhoto)
        KSServiceConnection::defaultConnection()->stop();
    // The job and the engine have freed their working memory, which the
    // allocator keeps for reuse unless told to give it back: the export
    // needs that room for the cut-out.
    malloc_trim(0);
    KSImageLoader::Result result = KSImageLoader::load(*cutout);
    QFile::remove(*cutout);
    if (!result.ok())
        return QStringLiteral("the cut-out could not be read back: ") + result.error;
    // The blurred backdrop is the photo's own: read again only when asked.
    QImage photoColours;
    if (options.needsPhoto()) {
        KSImageLoader::Result photoRead = KSImageLoader::load(path);
        if (!photoRead.ok())
            return QStringLiteral("the photo could not be read again for its backdrop: ") + photoRead.error;
        photoColours = std::move(photoRead.image);
    }
    QString error;
    // Taken only now, so that a failed job leaves no name behind.
    std::optional<KSOutputClaim> claim = options.claimOutput(photo, &error);
    if (!claim)
        return error;
    KSFraming::Notice notice = KSFraming::Notice::none;
    // Handed over: on a photo near the pixel limit every copy counts.
    const KSImageWriter::Result saved = KSCutExport::exportCutout(std::move(result.image), options,
                                                                  claim->partialPath(), &notice, photoColours);
    if (!saved.ok)
        return saved.error;
    if (!claim->commit(&error))
        return error;
    // A fallback framing still writes the picture; the user hears why.
    if (notice != KSFraming::Notice::none)
        printErr(QStringLiteral("%1: %2").arg(KSCutOptions::listedPath(QFileInfo(photo).fileName()), KSFraming::noticeText(notice)));
    *written = claim->path();
    return {};
}

} // namespace

int KSCutCommand::run(const QStringList &arguments)
{
    QString error;
    const std::optional<KSCutOptions> options = KSCutOptions::parse(arguments, &error);
    if (!options) {
        printErr(QStringLiteral("cutora: ") + error);
        printErr(KSCutOptions::usage());
        return 2;
    }
    // The log file keeps every detail; the terminal shows only progress and
    // the outcome unless asked for more.
    if (options->verbose) {
        CommLog::setEchoToStandardError(true);
        QLoggingCategory::setFilterRules(QStringLiteral("cutora.*.debug=true"));
    }
    // Where the pictures go is checked before any job: a wrong name must not
    // cost a cut-out first.
    if (error = options->outputProblem(); !error.isEmpty()) {
        printErr(QStringLiteral("cutora: ") + error);
        return 1;
    }
    if (!options->outDir.isEmpty() && !QDir().mkpath(options->outDir)) {
        printErr(QStringLiteral("cutora: --out-dir: cannot create the folder ") + options->outDir);
        return 1;
    }
    if (!connectService(&error)) {
        printErr(QStringLiteral("cutora: ") + error);
        return 1;
    }

    const KSEraserType type = *KSEraserTypeFromRawValue(options->type);
    int failures = 0;
    for (const QString &photo : options->photos) {
        QString out;
        const bool last = &photo == &options->photos.constLast();
        if (const QString why = cutOne(photo, type, *options, last, &out); !why.isEmpty()) {
            printErr(QStringLiteral("cutora: %1: %2").arg(KSCutOptions::listedPath(photo), why));
            ++failures;
            continue;
        }
        // Which engine made the mask, on standard error so that standard
        // output stays one written path per photo.
        if (const QString engine = KSTaskFlow::lastMaskEngine(); !engine.isEmpty())
            printErr(QStringLiteral("%1: mask by %2").arg(KSCutOptions::listedPath(QFileInfo(photo).fileName()), engine));
        std::printf("%s\n", KSCutOptions::listedPath(out).toLocal8Bit().constData());
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
