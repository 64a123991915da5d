// Framing: face finding on a 24-megapixel cut-out (goal under 300 ms, on
// its reduced copy), a 4 x 6 in print sheet saved from the editor (goal
// under 1 s), and how many head-and-shoulders photos each ID preset frames
// by its rule: drawn heads of known measures, whose true head is checked
// against the rule, and the scored sets' people (procedural silhouettes,
// and with --artwork DIR clip art and photographed people), which have no
// measured truth: there the count is of photos placed by the rule.
//   bench_editor_framing [--artwork "$(scripts/fetch-artwork.sh)"]
#include "CommLog.h"
#include "FaceFixtures.h"
#include "KSArtworkSet.h"
#include "KSCutImageAlpha.h"
#include "KSFaceFinder.h"
#include "KSFraming.h"
#include "KSFramingGeometry.h"
#include "KSImageExtension.h"
#include "KSOutputSaver.h"
#include "KSQualitySet.h"
#include "KSSizePresets.h"
#include "KSTiffEncoder.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

template<typename F>
double medianSeconds(int runs, F &&step)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(timer.nsecsElapsed() / 1e9);
    }
    return median(times);
}

// A scored sample as a perfect cut-out: its colours with its exact alpha.
QImage cutoutOf(const KSQualitySample &sample)
{
    QImage image(sample.bgr.cols, sample.bgr.rows, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const auto *bgr = sample.bgr.ptr<cv::Vec3b>(y);
        const uchar *alpha = sample.alpha.ptr<uchar>(y);
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgba(bgr[x][2], bgr[x][1], bgr[x][0], alpha[x]);
    }
    return image;
}

struct Tally
{
    int placed = 0;
    int passed = 0; // with a known truth only
    std::map<KSFraming::Notice, int> notices;
};

KSFraming::Result frameFor(const QImage &cutout, const KSFaceFinder::Result &faces, const KSEditChangeSizeItem &preset)
{
    KSFraming::Input input;
    input.photoSize = QSizeF(cutout.size());
    input.subjectBounds = KSCutImageAlpha::getProperImage(cutout);
    input.preset = preset;
    input.faces = faces;
    return KSFraming::frame(input);
}

void printTallies(const char *set, int total, const std::map<QString, Tally> &tallies, bool withTruth)
{
    std::printf("  %s, %d photos:\n", set, total);
    for (const KSEditChangeSizeItem &preset : KSSizePresets::idPresets()) {
        const Tally &t = tallies.at(preset.key);
        std::printf("    %-13s placed %3d", qPrintable(preset.key), t.placed);
        if (withTruth)
            std::printf(", true head within the rule %3d", t.passed);
        const auto count = [&t](KSFraming::Notice notice) {
            const auto found = t.notices.find(notice);
            return found == t.notices.end() ? 0 : found->second;
        };
        std::printf("   no face %d, several %d, too small %d\n", count(KSFraming::Notice::noFace),
                    count(KSFraming::Notice::severalFaces), count(KSFraming::Notice::headTooSmall));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // The clip art renders its text, which needs the font database.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
    CommLog::setEchoToStandardError(false);
    const QStringList args = app.arguments();
    const int artworkAt = int(args.indexOf(QStringLiteral("--artwork")));
    const QString artwork = artworkAt > 0 ? args.value(artworkAt + 1) : QString();
    std::printf("load average at the start: %.2f\n", loadAverage());

    // 1. Face finding on 24 megapixels.
    const FaceFixtures::Head bigHead{{3000, 1900}, 900};
    const QImage big = FaceFixtures::cutoutWithHeads(QSize(6000, 4000), {bigHead});
    QImage opaque(big.size(), QImage::Format_RGB32);
    opaque.fill(QColor(200, 205, 210));
    QPainter(&opaque).drawImage(0, 0, big);
    for (const auto &[name, picture] : {std::pair{"cut-out (alpha)", big}, std::pair{"opaque photo", opaque}}) {
        int found = 0;
        const double seconds = medianSeconds(7, [&, &picture = picture] { found = int(KSFaceFinder::find(picture).heads.size()); });
        std::printf("face finding, 6000 x 4000 %-16s %4.0f ms (goal < 300 ms), %d face\n", name, seconds * 1000, found);
    }

    // 2. A 4 x 6 in sheet of UK passport photos from a 24-megapixel cut-out,
    // as the editor's button saves it: load the subject, render, lay out,
    // encode, write.
    QTemporaryDir dir;
    const QRectF bounds = KSCutImageAlpha::getProperImage(big);
    const QString subjectPath = dir.filePath(QStringLiteral("subject.png"));
    {
        QFile file(subjectPath);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(KSTiffEncoder::encode(KSImageExtension::cropImageWithRect(big, bounds).convertToFormat(QImage::Format_RGBA8888))) <= 0)
            return 1;
    }
    const KSEditChangeSizeItem uk = *KSSizePresets::findItem(QStringLiteral("OverseaInch2"));
    const KSFraming::Result framed = frameFor(big, KSFaceFinder::find(big), uk);
    KSOutputRender::Request request;
    request.imageSize = QSizeF(big.size());
    request.subjectRect = framed.subjectRect;
    request.backgroundSize = QSizeF(double(uk.width), double(uk.height));
    request.backgroundColor = KSRGBHexColor(0xFFFFFF);
    request.printSizeMm = uk.printSizeMm;
    for (const QString &format : {QStringLiteral("jpg"), QStringLiteral("png")}) {
        KSOutputSaver::Job job{subjectPath, dir.path(), QStringLiteral("sheet"), format, request,
                               KSPrintSheet::Paper::fourBySix, QString()};
        QString error;
        const double seconds = medianSeconds(5, [&] {
            const KSOutputSaver::Result result = KSOutputSaver::run(job);
            error = result.error;
            QFile::remove(result.path);
        });
        const double sheetOnly = medianSeconds(5, [&] {
            (void)KSPrintSheet::render(QImage(uk.width, uk.height, QImage::Format_RGB32), uk.printSizeMm,
                                       KSPrintSheet::Paper::fourBySix);
        });
        std::printf("4 x 6 in sheet (%s), saved from the editor %5.2f s (goal < 1 s); laying out the copies alone %.3f s%s\n",
                    qPrintable(format), seconds, sheetOnly, error.isEmpty() ? "" : qPrintable(QStringLiteral("  FAILED: ") + error));
    }

    // 3. ID presets on head-and-shoulders photos.
    std::printf("ID presets on head-and-shoulders photos:\n");
    {
        // Drawn heads of known measures at random sizes and places.
        cv::RNG rng(2024);
        std::map<QString, Tally> tallies;
        const int count = 24;
        for (int i = 0; i < count; ++i) {
            const QSize size = i % 2 ? QSize(1200, 1600) : QSize(1600, 1200);
            const double half = size.height() * rng.uniform(0.13, 0.2);
            const FaceFixtures::Head head{{size.width() * rng.uniform(0.35, 0.65), size.height() * rng.uniform(0.3, 0.45)}, half};
            const QImage cutout = FaceFixtures::cutoutWithHeads(size, {head});
            const KSFaceFinder::Result faces = KSFaceFinder::find(cutout);
            for (const KSEditChangeSizeItem &preset : KSSizePresets::idPresets()) {
                Tally &t = tallies[preset.key];
                const KSFraming::Result result = frameFor(cutout, faces, preset);
                t.notices[result.notice]++;
                if (!result.head)
                    continue;
                ++t.placed;
                const KSFramingGeometry::HeadMeasures truth{QRectF(), head.crownY(), head.chinY(), head.eyeLineY(), head.centre.x()};
                if (KSFramingGeometry::meetsRule(KSFramingGeometry::printedHead(truth, result.frame, preset.printSizeMm), *preset.idRule))
                    ++t.passed;
            }
        }
        printTallies("drawn heads with eyes, nose and mouth", count, tallies, true);
    }
    const auto scored = [](const char *name, const std::vector<KSQualitySample> &samples) {
        std::map<QString, Tally> tallies;
        int total = 0;
        for (const KSQualitySample &sample : samples) {
            if (sample.type != KSEraserType::person)
                continue;
            ++total;
            const QImage cutout = cutoutOf(sample);
            const KSFaceFinder::Result faces = KSFaceFinder::find(cutout);
            for (const KSEditChangeSizeItem &preset : KSSizePresets::idPresets()) {
                Tally &t = tallies[preset.key];
                const KSFraming::Result result = frameFor(cutout, faces, preset);
                t.notices[result.notice]++;
                t.placed += result.head ? 1 : 0;
            }
        }
        if (total > 0)
            printTallies(name, total, tallies, false);
    };
    scored("scored set, procedural people (silhouettes without faces)", KSQualitySet::make(12));
    if (!artwork.isEmpty()) {
        std::vector<KSQualitySample> idPhotos;
        for (KSQualitySample &sample : KSArtworkSet::make(artwork, 8))
            if (sample.group == "id-photo")
                idPhotos.push_back(std::move(sample));
        scored("scored set, clip-art ID photos", idPhotos);
        scored("scored set, photographed people", KSArtworkSet::makePhotoSubjects(artwork, 16));
    }
    std::printf("load average at the end: %.2f\n", loadAverage());
    return 0;
}
