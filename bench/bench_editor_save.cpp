// Saving from the editor: a 24-megapixel cut-out saved at the 4000 output
// size, as JPEG on a colour and as a transparent PNG. Each save loads the
// subject file the crop view wrote, renders, encodes and writes into a
// folder on a worker thread, exactly as the save button does. Prints the
// median seconds of five saves and their processor time: on a busy machine
// the seconds grow while the processor time stays.
#include "KSColorConst.h"
#include "KSCutImageAlpha.h"
#include "KSImageExtension.h"
#include "KSImageLoader.h"
#include "KSOutputRender.h"
#include "KSOutputSaver.h"
#include "KSTiffEncoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// A cut-out as the job leaves it (straight alpha): an elliptic subject with
// a soft edge, shaded and grainy like a photo, on a transparent background.
QImage generatedCutout(int w, int h)
{
    QImage image(w, h, QImage::Format_RGBA8888);
    const double cx = w / 2.0, cy = h / 2.0, rx = w * 0.34, ry = h * 0.45;
    quint32 grain = 2463534242u;
    for (int y = 0; y < h; ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < w; ++x, p += 4) {
            const double d = std::hypot((x - cx) / rx, (y - cy) / ry);
            const double edge = std::clamp((1.0 - d) * 120.0, 0.0, 1.0); // a few pixels of soft edge
            grain ^= grain << 13;
            grain ^= grain >> 17;
            grain ^= grain << 5;
            const int noise = int(grain & 15u) - 8;
            p[0] = uchar(std::clamp(int(200 - 90 * d) + noise, 0, 255));
            p[1] = uchar(std::clamp(int(150 - 60 * d + 40.0 * y / h) + noise, 0, 255));
            p[2] = uchar(std::clamp(int(110 + 50.0 * x / w) + noise, 0, 255));
            p[3] = uchar(std::lround(edge * 255.0));
        }
    }
    return image;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QImage cutout = generatedCutout(6000, 4000);

    // What the crop view does once when the editor opens: the subject cropped
    // to its visible bounds, written as TIFF data.
    const QRectF bounds = KSCutImageAlpha::getProperImage(cutout);
    const QString subjectPath = dir.filePath(QStringLiteral("subject.png"));
    {
        QFile file(subjectPath);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(KSTiffEncoder::encode(KSImageExtension::cropImageWithRect(cutout, bounds))) <= 0)
            return 1;
    }

    KSOutputRender::Request request;
    request.imageSize = QSizeF(cutout.size());
    request.subjectRect = bounds;
    request.maxSide = 4000;

    std::printf("24-megapixel cut-out (6000 x 4000, subject %d x %d) saved at the 4000 output size, %d threads:\n",
                int(bounds.width()), int(bounds.height()), QThreadPool::globalInstance()->maxThreadCount());

    struct Case
    {
        const char *name;
        KSColor colour;
        QString format;
    };
    const Case cases[] = {
        {"JPEG on a colour", KSRGBHexColor(0x3A7BD5), QStringLiteral("jpg")},
        {"transparent PNG", KSClear_Color(), QStringLiteral("png")},
    };
    for (const Case &c : cases) {
        KSOutputSaver::Job job{subjectPath, dir.path(), QStringLiteral("saved"), c.format, request, std::nullopt, QString()};
        job.request.backgroundColor = c.colour;
        std::vector<double> totals, cpus, loads, renders;
        QSize size;
        qint64 bytes = 0;
        for (int run = 0; run < 5; ++run) {
            // On a worker thread, as the editor saves.
            KSOutputSaver::Result result;
            QThreadPool::globalInstance()->start([&] {
                QElapsedTimer timer;
                timer.start();
                const std::clock_t cpu = std::clock();
                result = KSOutputSaver::run(job);
                totals.push_back(timer.nsecsElapsed() / 1e9);
                cpus.push_back(double(std::clock() - cpu) / CLOCKS_PER_SEC);

                // The same save in its steps, to show where the time goes.
                timer.restart();
                KSOutputRender::Request steps = job.request;
                steps.subject = KSImageLoader::load(subjectPath).image;
                loads.push_back(timer.nsecsElapsed() / 1e9);
                steps.opaque = c.format == QStringLiteral("jpg");
                timer.restart();
                size = KSOutputRender::renderOutputImage(steps).size();
                renders.push_back(timer.nsecsElapsed() / 1e9);
            });
            QThreadPool::globalInstance()->waitForDone();
            if (!result.ok()) {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(result.error));
                return 1;
            }
            bytes = QFileInfo(result.path).size();
            QFile::remove(result.path);
        }
        const double total = median(totals);
        std::printf("  %-18s %5.2f s (best %.2f, processor time %.2f s)   load %.2f, render %.2f, encode and write %.2f"
                    "   %d x %d, %.1f MB\n",
                    c.name, total, *std::min_element(totals.begin(), totals.end()), median(cpus), median(loads),
                    median(renders), total - median(loads) - median(renders), size.width(), size.height(),
                    bytes / 1e6);
    }
    return 0;
}
