// Figures for the pixel routines on a 24-megapixel photo (6000 x 4000):
// compositing against a plain copy of the same bytes, loading and reducing a
// JPEG to the 2000-pixel upload size, and the peak memory of the job's
// imaging steps, measured in a fresh process of its own.
#include "KSImageLoader.h"
#include "KSPhotoRenderTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
const QSizeF kUploadSize(2000, 2000);

// Smooth gradients with a little noise: compresses and decodes like a photo.
QImage syntheticPhoto()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    quint32 state = 2463534242u;
    for (int y = 0; y < kHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state & 15u);
            line[x] = qRgb((x * 220 / kWidth + noise) & 0xFF, (y * 220 / kHeight + noise) & 0xFF,
                           ((x + y) * 200 / (kWidth + kHeight) + noise) & 0xFF);
        }
    }
    return image;
}

// The service's answer: a grey subject mask at the upload size.
QImage syntheticMask(QSize size)
{
    QImage mask(size, QImage::Format_Grayscale8);
    mask.fill(Qt::black);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(size.width() * 0.2, size.height() * 0.1, size.width() * 0.6, size.height() * 0.85));
    return mask;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double elapsedMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Median milliseconds of `work` and of the plain copy, and the median of
// their ratios, timed in turns so that a busy machine weighs on both alike.
// `prepare` runs untimed before each call of `work`.
struct Timing
{
    double ms;
    double copyMs;
    double ratio;
};

Timing againstCopy(int runs, const std::function<void()> &copy, const std::function<void()> &prepare,
                   const std::function<void()> &work)
{
    std::vector<double> times, copies, ratios;
    for (int i = 0; i < runs; ++i) {
        copies.push_back(elapsedMs(copy));
        prepare();
        times.push_back(elapsedMs(work));
        ratios.push_back(times.back() / copies.back());
    }
    return {median(times), median(copies), median(ratios)};
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(elapsedMs(work));
    return median(times);
}

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toLongLong();
    return -1;
}

void compositing()
{
    const QImage photo = syntheticPhoto();
    const QSize reduced = KSPhotoRenderTools::zipInputImage(photo, kUploadSize).size();
    const QImage mask = syntheticMask(reduced);
    const QImage fullMask = mask.scaled(photo.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_Grayscale8);
    const size_t bytes = size_t(photo.sizeInBytes());
    std::vector<uchar> target(bytes);
    QImage input;
    const auto freshInput = [&] { input = photo.copy(); };

    const auto plainCopy = [&] { std::memcpy(target.data(), photo.constBits(), bytes); };
    constexpr int runs = 9;

    const Timing allocatingCopy = againstCopy(runs, plainCopy, [] {}, [&] { input = photo.copy(); });
    const Timing reducedMask = againstCopy(runs, plainCopy, freshInput,
                                           [&] { input = KSPhotoRenderTools::cutoutImage(std::move(input), mask); });
    const Timing fullSizeMask = againstCopy(
        runs, plainCopy, freshInput, [&] { input = KSPhotoRenderTools::cutoutImage(std::move(input), fullMask); });
    const Timing snapped = againstCopy(
        runs, plainCopy, freshInput, [&] { input = KSPhotoRenderTools::cutoutImage(std::move(input), mask, true); });
    const Timing shared =
        againstCopy(runs, plainCopy, [] {}, [&] { input = KSPhotoRenderTools::cutoutImage(photo, mask); });
    QByteArray tiff;
    const Timing withTiff = againstCopy(3, plainCopy, freshInput, [&] {
        tiff = KSPhotoRenderTools::originalImage(std::move(input), mask);
    });

    const auto row = [](const char *what, const Timing &timing) {
        std::printf("  %-46s %7.1f ms  %5.2f x the copy\n", what, timing.ms, timing.ratio);
    };
    std::printf("Compositing a %d x %d photo (%.1f MB of pixels), medians of %d runs\n", kWidth, kHeight, bytes / 1e6,
                runs);
    std::printf("  %-46s %7.1f ms\n", "plain copy: memcpy of the bytes", reducedMask.copyMs);
    row("plain copy: QImage::copy (allocates)", allocatingCopy);
    row(qPrintable(QStringLiteral("composite, %1 x %2 mask (goal <= 3 x)").arg(reduced.width()).arg(reduced.height())),
        reducedMask);
    row("composite, full-size mask", fullSizeMask);
    row("composite with snapping", snapped);
    row("composite of a photo the caller still holds", shared);
    row("composite + TIFF data (originalImage)", withTiff);
}

void loading(const QString &jpegPath)
{
    QSize reducedSize;
    const double loadMs = medianMs(3, [&] { (void)KSImageLoader::load(jpegPath); });
    const double loadZipMs = medianMs(3, [&] {
        reducedSize = KSPhotoRenderTools::zipInputImage(KSImageLoader::load(jpegPath).image, kUploadSize).size();
    });
    QSize directSize;
    const double reducedMs = medianMs(3, [&] {
        directSize = KSImageLoader::loadReduced(jpegPath, kUploadSize.toSize()).image.size();
    });
    const double sizeMs = medianMs(3, [&] { (void)KSImageLoader::readSize(jpegPath); });

    std::printf("\nLoading a %d x %d JPEG (%.1f MB file), median of 3\n", kWidth, kHeight,
                QFile(jpegPath).size() / 1e6);
    std::printf("  header only (readSize)                      %8.1f ms\n", sizeMs);
    std::printf("  full decode (load)                          %8.1f ms\n", loadMs);
    std::printf("  full decode, then reduce to %d x %d     %8.1f ms\n", reducedSize.width(), reducedSize.height(),
                loadZipMs);
    std::printf("  decode at the reduced size (loadReduced)    %8.1f ms  (%d x %d)\n", reducedMs,
                directSize.width(), directSize.height());
}

// The job's imaging from file to file: load the photo, write the reduced
// upload copy, load the mask, composite at full size and write the cut-out.
int jobPeakMemory(const QString &dir)
{
    const qint64 startKiB = statusKiB("VmHWM:");
    KSImageLoader::Result photo = KSImageLoader::load(dir + QStringLiteral("/photo.jpg"));
    if (!photo.ok())
        return 1;
    {
        const QImage upload = KSPhotoRenderTools::zipInputImage(photo.image, kUploadSize);
        QImageWriter(dir + QStringLiteral("/upload.png"), "tiff").write(upload);
    }
    const KSImageLoader::Result mask = KSImageLoader::load(dir + QStringLiteral("/mask.png"));
    if (!mask.ok())
        return 1;
    const QByteArray cutout = KSPhotoRenderTools::originalImage(std::move(photo.image), mask.image);
    QFile result(dir + QStringLiteral("/photo-cutout.jpg"));
    if (cutout.isEmpty() || !result.open(QIODevice::WriteOnly) || result.write(cutout) != cutout.size())
        return 1;
    std::printf("%lld %lld\n", startKiB, statusKiB("VmHWM:"));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    // The routines' log lines go beside the fixtures, not into the user's log.
    if (argc == 1)
        qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.path()));
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--job") == 0)
        return jobPeakMemory(QString::fromLocal8Bit(argv[2]));

    {
        const QImage photo = syntheticPhoto();
        QImageWriter jpeg(dir.filePath(QStringLiteral("photo.jpg")), "jpeg");
        jpeg.setQuality(90);
        jpeg.write(photo);
        const QSize reduced = KSPhotoRenderTools::zipInputImage(photo, kUploadSize).size();
        QImageWriter(dir.filePath(QStringLiteral("mask.png")), "png").write(syntheticMask(reduced));
    }

    compositing();
    loading(dir.filePath(QStringLiteral("photo.jpg")));

    QProcess job;
    job.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--job"), dir.path()});
    job.waitForFinished(-1);
    const QList<QByteArray> figures = job.readAllStandardOutput().trimmed().split(' ');
    std::printf("\nPeak memory of the job's imaging (own process: load, upload copy, mask, composite, TIFF, write)\n");
    if (job.exitCode() != 0 || figures.size() != 2) {
        std::printf("  the job failed\n");
        return 1;
    }
    std::printf("  VmHWM at start %.0f MB, after the job %.0f MB (goal < 600 MB)\n", figures[0].toDouble() / 1024,
                figures[1].toDouble() / 1024);
    return 0;
}
