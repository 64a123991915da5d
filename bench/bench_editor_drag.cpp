// Figures for the editor's canvases with a 24-megapixel cut-out (6000 x
// 4000): preparing the subject in the crop view, then 300 pointer moves that
// drag and 300 that resize the subject, on the crop view in its size mode
// and on the result canvas, each move handled and painted before the next.
//
//   bench_editor_drag [--grab FOLDER]
//
// --grab also saves what the canvases showed after each replay as PNG files.
#include "KSBenchEvents.h"
#include "KSColorConst.h"
#include "KSEditDocument.h"
#include "KSEditGeometry.h"
#include "KSEditResultView.h"
#include "KSEidtCutImageView.h"
#include "KSImageDragView.h"
#include "KSTiffEncoder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kMoves = 300;

// A cut-out as the job leaves it: the photo's colours, an elliptical
// subject with a soft edge, transparent around it, written as TIFF data.
QImage syntheticCutOut()
{
    QImage image(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(QPointF(1500, 500), QPointF(4500, 3800));
    gradient.setColorAt(0, QColor(230, 120, 40));
    gradient.setColorAt(1, QColor(40, 90, 200));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(QRectF(1500, 500, 3000, 3300));
    painter.setBrush(QColor(250, 230, 200));
    painter.drawEllipse(QRectF(2400, 900, 1200, 1100));
    return image;
}

void sendMouse(QWidget *canvas, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    sendMouse(canvas, type, QPointF(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons);
}

void click(QWidget *canvas, QPoint pos)
{
    sendMouse(canvas, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, pos, Qt::NoButton);
}

struct Figures
{
    double meanMs = 0;
    double maxMs = 0;
    int paints = 0;
};

// Counts the repaints of the subject, to show that each move was painted.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Presses at `from` (canvas coordinates), makes kMoves pointer moves along
// `path`, and releases; every move is followed by the repaint it caused.
Figures replay(KSEditCanvasView *canvas, QPoint from, const std::function<QPoint(int)> &path)
{
    PaintCounter counter;
    canvas->imageDragView()->installEventFilter(&counter);
    std::vector<double> times;
    times.reserve(kMoves);
    sendMouse(canvas, QEvent::MouseButtonPress, from, Qt::LeftButton);
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    for (int i = 1; i <= kMoves; ++i) {
        timer.start();
        sendMouse(canvas, QEvent::MouseMove, from + path(i), Qt::LeftButton);
        QCoreApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    sendMouse(canvas, QEvent::MouseButtonRelease, from + path(kMoves), Qt::NoButton);
    QCoreApplication::processEvents();
    canvas->imageDragView()->removeEventFilter(&counter);

    Figures figures;
    for (double t : times)
        figures.meanMs += t / kMoves;
    figures.maxMs = *std::max_element(times.begin(), times.end());
    figures.paints = counter.paints;
    return figures;
}

QPoint onCanvas(KSEditCanvasView *canvas, QPointF areaPoint)
{
    return (areaPoint + canvas->imageViewFrame().topLeft()).toPoint();
}

// A drag around a circle and a resize by the bottom-right handle, out and
// back, each of kMoves moves.
void replayBoth(const char *name, KSEditCanvasView *canvas, const QString &grabFolder)
{
    KSImageDragView *subject = canvas->imageDragView();
    const QPoint centre = onCanvas(canvas, subject->frame().center());
    click(canvas, centre);

    const Figures move = replay(canvas, centre, [](int i) {
        const double angle = 2 * M_PI * i / kMoves;
        return QPoint(int(std::lround(60 * std::sin(angle))), int(std::lround(40 * (1 - std::cos(angle)))));
    });
    std::printf("%-28s drag:   %.3f ms per move (max %.3f ms, %d paints of the subject)\n", name, move.meanMs,
                move.maxMs, move.paints);

    const QRectF frame = subject->frame();
    const QPoint corner = onCanvas(canvas, frame.bottomRight() - QPointF(3, 3));
    const Figures resize = replay(canvas, corner, [](int i) {
        return QPoint(i <= kMoves / 2 ? i : kMoves - i, 0);
    });
    std::printf("%-28s resize: %.3f ms per move (max %.3f ms, %d paints of the subject)\n", name, resize.meanMs,
                resize.maxMs, resize.paints);

    if (!grabFolder.isEmpty())
        canvas->grab().save(QDir(grabFolder).filePath(QString::fromLatin1(name).replace(' ', '_') + ".png"));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString grabFolder = argumentAfter(app.arguments(), QStringLiteral("--grab"));

    QTemporaryDir dir;
    const QString cutOutPath = dir.filePath(QStringLiteral("portrait.png"));
    {
        QFile file(cutOutPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(KSTiffEncoder::encode(syntheticCutOut())) <= 0) {
            std::fprintf(stderr, "cannot write the cut-out\n");
            return 1;
        }
    }

    KSEditDocument document;
    KSEidtCutImageView cropView;
    cropView.resize(600, 400);
    QElapsedTimer timer;
    timer.start();
    if (!document.loadCutout(cutOutPath)) {
        std::fprintf(stderr, "cannot read the cut-out\n");
        return 1;
    }
    cropView.setDocument(&document);
    std::printf("crop view: preparing the subject of a %d x %d cut-out: %.0f ms\n", kWidth, kHeight,
                double(timer.nsecsElapsed()) / 1e6);
    cropView.setChangeBackgroundSize(QSizeF(295, 413));
    cropView.setChangeType(KSChangeType::size);
    cropView.show();
    if (!waitForExposure(&cropView))
        return 1;
    cropView.updateCanvasLayout();
    replayBoth("crop view, size mode", &cropView, grabFolder);

    // The result canvas as the editor builds it for the same size.
    const QSizeF cutOutSize = cropView.imageSize().value_or(QSizeF());
    const QRectF fitted = KSEditGeometry::fitRect(cutOutSize, cropView.changeBackgroundSize());
    KSEditResultView resultView;
    resultView.resize(600, 400);
    resultView.setChangeBackgroundColor(KSRGBHexColor(0x00CC8F));
    resultView.setImageSize(fitted.size());
    resultView.setEraserCropRect(KSEditGeometry::resultCanvasCropRect(cropView.imageDragView()->frame(),
                                                                      cropView.imageScale(), fitted.topLeft()));
    resultView.imageDragView()->setImage(cropView.imageDragView()->image());
    resultView.show();
    if (!waitForExposure(&resultView))
        return 1;
    resultView.updateCanvasLayout();
    replayBoth("result canvas, colour", &resultView, grabFolder);
    return 0;
}
