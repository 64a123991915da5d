// The phases of one cut-out job on a 12-megapixel JPEG, through the local
// service started in-process, as the application runs it, with the learned
// model when one is installed (goal for the whole job: at most 5 s on 2
// cores; with the classical engine: under 3 s).
//   bench_job_phases [--jobs N] [--model JSON|none]
// Part one times each step alone; part two runs whole jobs and splits their
// time at the progress reports.
#include "CommPassport.h"
#include "KSClassicCutoutEngine.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSBenchService.h"
#include "KSEraserManager.h"
#include "KSServiceAddress.h"
#include "KSImageLoader.h"
#include "KSLocalService.h"
#include "KSMatteRefine.h"
#include "KSPhotoRenderTools.h"
#include "KSQualitySet.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
template<typename Work>
double timed(Work &&work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

QByteArray tiff(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "tiff").write(image);
    return bytes;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}
} // namespace

int main(int argc, char *argv[])
{
    // The installed model, looked up before the data folder moves below.
    QString model = QFileInfo::exists(KSLocalService::defaultModelDescription())
                        ? KSLocalService::defaultModelDescription()
                        : QStringLiteral("none");
    QTemporaryDir home;
    usePrivateHome(home);
    QCoreApplication app(argc, argv);
    int jobs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--jobs"))
            jobs = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--model"))
            model = QString::fromLocal8Bit(argv[i + 1]);
    }

    const KSQualitySample sample = KSQualitySet::makeSample(0, "plain", cv::Size(4000, 3000), 12);
    const QString photo = home.filePath(QStringLiteral("photo-12mp.jpg"));
    cv::imwrite(photo.toStdString(), sample.bgr, {cv::IMWRITE_JPEG_QUALITY, 92});
    std::printf("photo 4000 x 3000 JPEG, %lld bytes\n\n", (long long)QFile(photo).size());

    std::printf("Steps alone                   seconds\n");
    KSImageLoader::Result loaded;
    std::printf("  decode                      %7.3f\n", timed([&] { loaded = KSImageLoader::load(photo); }));
    QImage reduced;
    std::printf("  reduce to 2000 px           %7.3f\n", timed([&] {
                    reduced = KSPhotoRenderTools::zipInputImage(loaded.image, QSizeF(2000, 2000));
                }));
    QByteArray upload;
    const double encodeSeconds = timed([&] { upload = tiff(reduced); });
    std::printf("  upload copy as TIFF         %7.3f  (%lld bytes)\n", encodeSeconds, (long long)upload.size());
    const QImage rgb = reduced.convertToFormat(QImage::Format_RGB888);
    cv::Mat bgr;
    cv::cvtColor(cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()), size_t(rgb.bytesPerLine())),
                 bgr, cv::COLOR_RGB2BGR);
    std::unique_ptr<KSCutoutEngine> engine = std::make_unique<KSClassicCutoutEngine>();
    if (model != QLatin1String("none")) {
        auto learned = std::make_shared<KSLearnedModel>(model);
        if (learned->waitUntilLoaded())
            engine = std::make_unique<KSHybridCutoutEngine>(learned);
    }
    cv::Mat mask;
    const std::clock_t cpu = std::clock();
    const double engineSeconds = timed([&] { mask = engine->mask(bgr, KSEraserType::person, nullptr); });
    std::printf("  engine %-20s %7.3f  (cpu %.3f)\n", engine->name().c_str(), engineSeconds,
                double(std::clock() - cpu) / CLOCKS_PER_SEC);
    const QImage uploadMask(mask.data, mask.cols, mask.rows, int(mask.step), QImage::Format_Grayscale8);
    QImage pixels = loaded.image, grey;
    std::printf("  refine at full size         %7.3f\n", timed([&] { grey = KSMatteRefine::refine(pixels, uploadMask); }));
    QByteArray result;
    std::printf("  composite at full size      %7.3f\n", timed([&] {
                    result = KSPhotoRenderTools::originalImage(pixels, grey);
                }));
    const double writeSeconds = timed([&] {
        QFile out(home.filePath(QStringLiteral("cut.tif")));
        if (out.open(QIODevice::WriteOnly))
            out.write(result);
    });
    std::printf("  write the cut-out           %7.3f  (%lld bytes)\n", writeSeconds, (long long)result.size());

    KSLocalService service;
    if (!startBenchService(service, home.filePath(QStringLiteral("service")), model))
        return 1;

    std::printf("\nWhole jobs (%d)       prepare   upload  task+engine  download+composite+write    total\n", jobs);
    std::vector<double> totals;
    for (int j = 0; j < jobs; ++j) {
        QElapsedTimer clock;
        double authenticated = 0, uploaded = 0, downloading = 0, finished = 0;
        bool success = false;
        QEventLoop loop;
        clock.start();
        KSEraserManager::startEraser(photo, KSEraserType::person,
                                     [&](bool ok, const std::optional<QString> &path, double progress) {
                                         const double now = clock.nsecsElapsed() / 1e9;
                                         if (progress == 0.05)
                                             authenticated = now;
                                         else if (progress > 0.05 && progress < 0.71)
                                             uploaded = now;
                                         else if (progress >= 0.8 && !ok && downloading == 0)
                                             downloading = now;
                                         if (ok || progress < 0) {
                                             finished = now;
                                             success = ok;
                                             if (path)
                                                 QFile::remove(*path);
                                             loop.quit();
                                         }
                                     });
        loop.exec();
        if (downloading == 0)
            downloading = finished;
        std::printf("  job %d %s        %7.3f  %7.3f  %11.3f  %24.3f  %7.3f\n", j + 1, success ? "ok    " : "FAILED",
                    authenticated, uploaded - authenticated, downloading - uploaded, finished - downloading, finished);
        totals.push_back(finished);
    }
    const double typical = median(totals);
    const bool learned = model != QLatin1String("none");
    std::printf("\nmedian whole job %.3f s with the %s engine (goal %s on 2 cores: %s)\n", typical,
                learned ? "learned" : "classical", learned ? "at most 5 s" : "under 3 s",
                typical <= (learned ? 5.0 : 3.0) ? "met" : "NOT met");
    CommPassport::signOut();
    service.stop();
    return 0;
}
