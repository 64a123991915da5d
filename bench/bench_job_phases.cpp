// The phases of one cut-out job on a 12-megapixel JPEG, through the local
// service started in-process, as the application runs it, with the learned
// model when one is installed (goal for the whole job: at most 5 s on 2
// cores; with the classical engine: under 3 s).
//   bench_job_phases [--jobs N] [--model JSON|none] [--megapixels 12|24]
// Part one times each step alone; part two runs whole jobs, splits their
// time at the progress bar's phase boundaries (KSJobProgress) and prints
// the bar's course against time: an even bar reads near 50 % at half time.
#include "CommPassport.h"
#include "KSClassicCutoutEngine.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSBenchService.h"
#include "KSEraserManager.h"
#include "KSJobProgress.h"
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
    int megapixels = 12;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--jobs"))
            jobs = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--megapixels"))
            megapixels = std::atoi(argv[i + 1]) >= 24 ? 24 : 12;
        else if (!std::strcmp(argv[i], "--model"))
            model = QString::fromLocal8Bit(argv[i + 1]);
    }

    const cv::Size photoSize = megapixels == 24 ? cv::Size(6000, 4000) : cv::Size(4000, 3000);
    const KSQualitySample sample = KSQualitySet::makeSample(0, "plain", photoSize, 12);
    const QString photo = home.filePath(QStringLiteral("photo-%1mp.jpg").arg(megapixels));
    cv::imwrite(photo.toStdString(), sample.bgr, {cv::IMWRITE_JPEG_QUALITY, 92});
    std::printf("photo %d x %d JPEG, %lld bytes\n\n", photoSize.width, photoSize.height,
                (long long)QFile(photo).size());

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

    std::printf("\nWhole jobs (%d)  prepare   upload  task+engine  download  cut-out  write    total\n", jobs);
    std::vector<double> totals;
    std::vector<std::vector<double>> phaseSeconds(6);
    const std::vector<double> boundaries{KSJobProgress::kPrepared, KSJobProgress::kUploaded, KSJobProgress::kTaskDone,
                                         KSJobProgress::kDownloaded, KSJobProgress::kCutDone};
    for (int j = 0; j < jobs; ++j) {
        QElapsedTimer clock;
        std::vector<std::pair<double, double>> course; // (seconds, bar)
        bool success = false;
        QEventLoop loop;
        clock.start();
        KSEraserManager::startEraser(photo, KSEraserType::person,
                                     [&](bool ok, const std::optional<QString> &path, double progress) {
                                         course.emplace_back(clock.nsecsElapsed() / 1e9, progress);
                                         if (ok || progress < 0) {
                                             success = ok;
                                             if (path)
                                                 QFile::remove(*path);
                                             loop.quit();
                                         }
                                     });
        loop.exec();
        const double total = course.back().first;
        // A phase ends at the first report that reaches its boundary.
        std::vector<double> ends;
        for (const double boundary : boundaries) {
            double at = total;
            for (const auto &[seconds, bar] : course)
                if (bar >= boundary - 1e-9) {
                    at = seconds;
                    break;
                }
            ends.push_back(at);
        }
        ends.push_back(total);
        std::printf("  job %d %s ", j + 1, success ? "ok    " : "FAILED");
        double before = 0;
        for (size_t p = 0; p < ends.size(); ++p) {
            std::printf(" %8.3f", ends[p] - before);
            phaseSeconds[p].push_back(ends[p] - before);
            before = ends[p];
        }
        std::printf("  %7.3f\n", total);
        std::printf("    bar at time  ");
        for (int tenth = 1; tenth <= 10; ++tenth) {
            double bar = 0;
            for (const auto &[seconds, value] : course)
                if (seconds <= total * tenth / 10.0 + 1e-9)
                    bar = std::max(bar, value);
            std::printf(" %d%%:%.0f%%", tenth * 10, bar * 100);
        }
        std::printf("\n");
        totals.push_back(total);
    }
    double phaseTotal = 0;
    std::vector<double> typicalPhases;
    for (const auto &seconds : phaseSeconds)
        phaseTotal += typicalPhases.emplace_back(median(seconds));
    std::printf("\nmeasured shares (medians)       ");
    for (const double seconds : typicalPhases)
        std::printf(" %7.1f%%", phaseTotal > 0 ? 100.0 * seconds / phaseTotal : 0.0);
    std::printf("\nbar's shares                    ");
    double previous = 0;
    for (const double boundary : boundaries) {
        std::printf(" %7.1f%%", 100.0 * (boundary - previous));
        previous = boundary;
    }
    std::printf(" %7.1f%%\n", 100.0 * (1.0 - previous));
    const double typical = median(totals);
    const bool learned = model != QLatin1String("none");
    std::printf("\nmedian whole job %.3f s with the %s engine (goal %s on 2 cores: %s)\n", typical,
                learned ? "learned" : "classical", learned ? "at most 5 s" : "under 3 s",
                typical <= (learned ? 5.0 : 3.0) ? "met" : "NOT met");
    CommPassport::signOut();
    service.stop();
    return 0;
}
