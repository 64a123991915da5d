// The memory one cut-out job takes on a huge photo, through the local service
// started in-process, as the application runs it (goal: the process's peak
// under 6 bytes per pixel of the photo plus 300 MB).
//   bench_job_memory [--megapixels N] [--model JSON|none]
// The photo is made first; the peak is then reset (Linux's clear_refs), so
// that the figure is the job's: reading the photo, the upload, the service
// and its engine, the mask and the cut-out written into the temporary folder.
#include "CommPassport.h"
#include "KSBenchMemory.h"
#include "KSBenchPhoto.h"
#include "KSBenchService.h"
#include "KSEraserManager.h"
#include "KSImageWriter.h"
#include "KSLocalService.h"
#include "KSServiceAddress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A photo-like picture of about the given megapixels, 4:3, written as a JPEG.
QSize makePhoto(double megapixels, const QString &path)
{
    const int width = int(std::sqrt(megapixels * 1e6 * 4 / 3));
    return makeStudioPhoto(QSize(width, int(megapixels * 1e6 / width)), path);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    usePrivateHome(home);
    QCoreApplication app(argc, argv);
    double megapixels = 196;
    QString model = QStringLiteral("none");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--megapixels"))
            megapixels = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--model"))
            model = QString::fromLocal8Bit(argv[i + 1]);
    }

    const QString photo = home.filePath(QStringLiteral("huge.jpg"));
    const QSize size = makePhoto(megapixels, photo);
    if (size.isEmpty()) {
        std::fprintf(stderr, "the photo could not be made\n");
        return 1;
    }
    const double pixels = double(size.width()) * size.height();
    std::printf("photo %d x %d (%.1f megapixels), JPEG of %.1f MB\n", size.width(), size.height(), pixels / 1e6,
                QFileInfo(photo).size() / 1e6);

    KSLocalService service;
    if (!startBenchService(service, home.filePath(QStringLiteral("service")), model))
        return 1;

    const qint64 before = procStatusKilobytes("VmRSS");
    if (!resetPeakMemory())
        std::printf("(the peak could not be reset: it includes making the photo)\n");
    QElapsedTimer clock;
    clock.start();
    bool success = false;
    QEventLoop loop;
    KSEraserManager::startEraser(photo, KSEraserType::person,
                                 [&](bool ok, const std::optional<QString> &path, double progress) {
                                     if (ok || progress < 0) {
                                         success = ok;
                                         if (path)
                                             QFile::remove(*path);
                                         loop.quit();
                                     }
                                 });
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double peakMB = procStatusKilobytes("VmHWM") / 1024.0;
    const double goalMB = 6.0 * pixels / (1024.0 * 1024.0) + 300.0;
    std::printf("job %s in %.1f s (engine: %s)\n", success ? "done" : "FAILED", seconds,
                model == QLatin1String("none") ? "classical" : qPrintable(model));
    std::printf("resident before the job %.0f MB; peak during the job %.0f MB = %.2f bytes per pixel\n",
                before / 1024.0, peakMB, peakMB * 1024 * 1024 / pixels);
    std::printf("goal: under 6 bytes per pixel + 300 MB = %.0f MB: %s\n", goalMB,
                success && peakMB < goalMB ? "met" : "NOT met");
    CommPassport::signOut();
    service.stop();
    return success ? 0 : 1;
}
