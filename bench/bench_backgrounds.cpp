// Backgrounds and shadows on a 24-megapixel photo (6000 x 4000): the
// canvas's redraw for each step of a slider (the blur's strength, a contact
// shadow's darkness, a drop shadow's blur) through the preview at screen
// resolution, and a save at full size with the blurred backdrop and a
// shadow, as JPEG and as PNG. Prints the median and the slowest step, and
// the seconds of each save (goals: a step under 50 ms, the JPEG save under
// 2 s).
#include "KSBackdropPreview.h"
#include "KSBackgroundLayers.h"
#include "KSEditDocument.h"
#include "KSImageWriter.h"
#include "KSOutputRender.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
// The result canvas's pixels on a large screen.
const QSize kScreen(1400, 934);
constexpr int kSteps = 30;

// A photo like a product shot: a shaded, grainy backdrop, and an elliptic
// subject with a soft edge; the cut-out is the subject alone.
void makePictures(QImage &photo, QImage &cutout)
{
    photo = QImage(kWidth, kHeight, QImage::Format_RGB32);
    cutout = QImage(kWidth, kHeight, QImage::Format_ARGB32);
    const double cx = kWidth * 0.5, cy = kHeight * 0.55, rx = kWidth * 0.2, ry = kHeight * 0.35;
    quint32 grain = 2463534242u;
    for (int y = 0; y < kHeight; ++y) {
        auto *p = reinterpret_cast<QRgb *>(photo.scanLine(y));
        auto *c = reinterpret_cast<QRgb *>(cutout.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            grain ^= grain << 13;
            grain ^= grain >> 17;
            grain ^= grain << 5;
            const int noise = int(grain & 15u) - 8;
            const double d = std::hypot((x - cx) / rx, (y - cy) / ry);
            const int alpha = int(std::lround(std::clamp((1.0 - d) * 150.0, 0.0, 1.0) * 255.0));
            const QRgb subject = qRgb(std::clamp(200 - int(60 * d) + noise, 0, 255), 60 + noise / 2, 40);
            const QRgb backdrop = qRgb(90 + noise, std::clamp(120 + 80 * y / kHeight + noise, 0, 255),
                                       std::clamp(140 + 60 * x / kWidth + noise, 0, 255));
            p[x] = alpha > 128 ? subject : backdrop;
            c[x] = qRgba(qRed(subject), qGreen(subject), qBlue(subject), alpha);
        }
    }
}

struct Steps
{
    double median = 0;
    double slowest = 0;
};

// Times `step(i)` followed by the canvas's request for its layers, with the
// subject at `dragged(i)` when given.
Steps timeSteps(KSBackdropPreview &preview, const QRectF &view, const std::function<void(int)> &step,
                const std::function<QRectF(int)> &dragged = {})
{
    std::vector<double> ms;
    for (int i = 0; i < kSteps; ++i) {
        QElapsedTimer timer;
        timer.start();
        step(i);
        const KSBackdropPreview::Layers layers = dragged ? preview.layers(view, kScreen, dragged(i))
                                                         : preview.layers(view, kScreen);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        if (layers.backdrop.isNull() && layers.shadow.isNull())
            std::printf("  (no layers made)\n");
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

void print(const char *what, const Steps &steps)
{
    std::printf("%-44s median %6.1f ms, slowest %6.1f ms\n", what, steps.median, steps.slowest);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QImage photo;
    QImage cutout;
    makePictures(photo, cutout);
    KSEditDocument document;
    if (!document.setCutout(std::move(cutout))) {
        std::fprintf(stderr, "cannot load the cut-out\n");
        return 1;
    }
    document.setPhotoColours(photo);
    photo = QImage();
    KSBackdropPreview preview(&document);
    const QRectF view = document.resultCanvasRect();
    std::printf("photo %d x %d, canvas %d x %d device pixels, %d steps each\n", kWidth, kHeight, kScreen.width(),
                kScreen.height(), kSteps);

    QElapsedTimer first;
    first.start();
    document.chooseBackground(KSEditBackground::ofBlurredPhoto(), true);
    (void)preview.layers(view, kScreen);
    std::printf("%-44s %6.1f ms\n", "first blurred backdrop (reduced and filled)", first.nsecsElapsed() / 1e6);

    print("blur strength slider", timeSteps(preview, view, [&](int i) {
              document.chooseBackground(KSEditBackground::ofBlurredPhoto(KSEditBackground::kMaxBlur * (i + 1) / kSteps),
                                        true);
          }));
    document.finishDrag();
    print("contact shadow darkness slider", timeSteps(preview, view, [&](int i) {
              KSEditShadow shadow = KSEditShadow::contact();
              shadow.darkness = 0.2 + 0.7 * i / kSteps;
              document.chooseShadow(shadow, true);
          }));
    document.finishDrag();
    print("drop shadow blur slider", timeSteps(preview, view, [&](int i) {
              KSEditShadow shadow = KSEditShadow::drop();
              shadow.dropBlur = KSEditShadow::kMaxDropBlur * (i + 1) / kSteps;
              document.chooseShadow(shadow, true);
          }));
    document.finishDrag();
    print("subject dragged over the blurred backdrop", timeSteps(preview, view, [](int) {}, [&](int i) {
              return document.subjectRect().translated(i * 10.0, 0);
          }));

    // The parts of a full-size render, wall and processor seconds.
    {
        document.chooseBackground(KSEditBackground::ofBlurredPhoto());
        document.chooseShadow(KSEditShadow::contact());
        KSOutputRender::Request request = document.renderRequest(0);
        const QSize size = KSOutputRender::outputPixelSize(request);
        const QRectF region = KSOutputRender::outputRegion(request);
        KSBackgroundLayers::Scene scene{request.background, request.shadow, region, request.subjectRect,
                                        request.subjectBounds, false};
        const auto part = [](const char *what, const std::function<void()> &work) {
            QElapsedTimer timer;
            timer.start();
            const std::clock_t cpu = std::clock();
            work();
            std::printf("  %-42s %5.2f s (processor %5.2f s)\n", what, timer.nsecsElapsed() / 1e9,
                        double(std::clock() - cpu) / CLOCKS_PER_SEC);
        };
        KSBackgroundLayers::Backdrop backdrop;
        for (const double blur : {KSEditBackground::kDefaultBlur, 0.0}) {
            scene.background.blur = blur;
            const double scale = KSBackgroundLayers::backdropScale(scene, request.photoColours.size(), region, size);
            std::printf("full-size parts, blur %.3f (backdrop at %.3f of the photo):\n", blur, scale);
            part("backdrop filled", [&] {
                backdrop = KSBackgroundLayers::prepareBackdrop(request.photoColours, request.photoMask, scale);
            });
            part("backdrop blurred and drawn", [&] { (void)KSBackgroundLayers::backdrop(scene, backdrop, region, size); });
        }
        part("subject made", [&] { request.subject = document.subjectMaker()(); });
        part("contact shadow", [&] { (void)KSBackgroundLayers::shadowPiece(scene, request.subject, region, size); });
    }

    // The save: blurred backdrop and a contact shadow, at full size.
    document.chooseBackground(KSEditBackground::ofBlurredPhoto());
    document.chooseShadow(KSEditShadow::contact());
    QTemporaryDir folder;
    for (const bool jpeg : {true, false}) {
        for (const double blur : {KSEditBackground::kDefaultBlur, 0.0}) {
            document.chooseBackground(KSEditBackground::ofBlurredPhoto(blur));
            QElapsedTimer timer;
            timer.start();
            const std::clock_t cpu = std::clock();
            KSOutputRender::Request request = document.renderRequest(0);
            request.subject = document.subjectMaker()();
            request.opaque = jpeg;
            const QImage picture = KSOutputRender::renderOutputImage(request);
            const double rendered = timer.nsecsElapsed() / 1e9;
            const QString path = folder.filePath(jpeg ? QStringLiteral("out.jpg") : QStringLiteral("out.png"));
            const KSImageWriter::Result written =
                jpeg ? KSImageWriter::writeJpeg(picture, path) : KSImageWriter::writePng(picture, path);
            std::printf("save %s, blur %.3f, contact shadow: %5.2f s (render %.2f s, processor %.2f s)%s\n",
                        jpeg ? "JPEG" : "PNG ", blur, timer.nsecsElapsed() / 1e9, rendered,
                        double(std::clock() - cpu) / CLOCKS_PER_SEC, written.ok ? "" : " FAILED");
        }
    }
    return 0;
}
