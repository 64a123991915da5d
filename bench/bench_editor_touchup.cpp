// Figures for the Touch Up tool on a 24-megapixel cut-out (6000 x 4000) in
// the editor as a user meets it, each next to its goal:
//
// - a brush stroke replayed as 300 pointer moves, each handled and painted
//   before the next (goal: under 8 ms per move);
// - a smart stroke, from the release to its result on screen (under 1 s);
// - the undo history after 50 strokes (under 150 MB above the editor
//   without history), and one stroke undone and redone (under 50 ms);
// - zoom and pan at 100 %, each frame handled and painted (under 16 ms).
//
//   bench_editor_touchup [--grab FOLDER]
//
// --grab saves what the editor showed after each part as PNG files.
#include "KSBenchEvents.h"
#include "KSBenchTimes.h"
#include "KSBrushSettings.h"
#include "KSEditCanvasView.h"
#include "KSEidtCutImageView.h"
#include "KSEraserEditView.h"
#include "KSMaskEditCommand.h"
#include "KSMaskedPicture.h"
#include "KSSmartBrush.h"
#include "KSTiffEncoder.h"
#include "KSTouchUpPanel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QUndoStack>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kMoves = 300;
constexpr int kHistoryStrokes = 50;

// A photograph: a backdrop with a gradient, a subject, and a plank beside
// it that a cut-out might keep.
QImage syntheticPhoto()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient wall(QPointF(0, 0), QPointF(0, kHeight));
    wall.setColorAt(0, QColor(226, 229, 234));
    wall.setColorAt(1, QColor(168, 174, 184));
    painter.fillRect(image.rect(), wall);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(48, 95, 166));
    painter.drawRoundedRect(QRectF(1900, 1600, 1300, 2400), 200, 200);
    painter.setBrush(QColor(226, 174, 134));
    painter.drawEllipse(QRectF(2150, 600, 800, 1000));
    painter.setBrush(QColor(139, 90, 43));
    painter.drawRect(QRectF(4200, 800, 330, 3200));
    return image;
}

// The cut-out the job leaves: the photo with alpha, its edge soft, the
// subject and, wrongly, the plank.
QImage syntheticCutOut(const QImage &photo)
{
    QImage mask(kWidth, kHeight, QImage::Format_Grayscale8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(1900, 1600, 1300, 2400), 200, 200);
        painter.drawEllipse(QRectF(2150, 600, 800, 1000));
        painter.drawRect(QRectF(4200, 800, 330, 3200));
    }
    QImage cutOut = photo.convertToFormat(QImage::Format_RGBA8888);
    cutOut.setAlphaChannel(mask);
    return cutOut;
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toDouble();
}

// Resident memory of this process, in megabytes.
double residentMegabytes()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

using Figures = KSBenchTimes;

// Presses `button` at `from`, makes kMoves moves along `path` (each handled
// and painted before the next is timed), and releases.
Figures replay(QWidget *canvas, QPointF from, Qt::MouseButton button, const std::function<QPointF(int)> &path)
{
    std::vector<double> times;
    times.reserve(kMoves);
    sendMouse(canvas, QEvent::MouseButtonPress, from, button, button);
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    for (int i = 1; i <= kMoves; ++i) {
        timer.start();
        sendMouse(canvas, QEvent::MouseMove, from + path(i), Qt::NoButton, button);
        QCoreApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    sendMouse(canvas, QEvent::MouseButtonRelease, from + path(kMoves), button, Qt::NoButton);
    QCoreApplication::processEvents();
    return KSBenchTimes::of(times);
}

// A stroke of `moves` moves from `from` by `step` each, not timed.
void stroke(QWidget *canvas, QPointF from, QPointF step, int moves)
{
    sendMouse(canvas, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= moves; ++i)
        sendMouse(canvas, QEvent::MouseMove, from + step * i, Qt::NoButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, from + step * moves, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
}

// A view point over a point of the cut-out.
QPointF onCanvas(KSEditCanvasView *canvas, QPointF picturePoint)
{
    return canvas->imageViewFrame().topLeft() + picturePoint * canvas->imageScale();
}

void grab(QWidget *widget, const QString &folder, const char *name)
{
    if (!folder.isEmpty())
        widget->grab().save(QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".png")));
}

void printFigure(const char *what, double value, const char *unit, double goal)
{
    std::printf("  %-58s %9.2f %s   (goal: under %g %s)%s\n", what, value, unit, goal, unit,
                value < goal ? "" : "  ** over the goal **");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString grabFolder = argumentAfter(app.arguments(), QStringLiteral("--grab"));
    std::printf("Touch Up on a %d x %d cut-out (load average %.2f)\n", kWidth, kHeight, loadAverage());

    QTemporaryDir dir;
    const QString photoPath = dir.filePath(QStringLiteral("photo.jpg"));
    const QString cutOutPath = dir.filePath(QStringLiteral("photo.png"));
    {
        const QImage photo = syntheticPhoto();
        QFile file(cutOutPath);
        if (!photo.save(photoPath, "JPEG", 90) || !file.open(QIODevice::WriteOnly)
            || file.write(KSTiffEncoder::encode(syntheticCutOut(photo))) <= 0) {
            std::fprintf(stderr, "cannot write the pictures\n");
            return 1;
        }
    }

    {
        QImage cutOut = syntheticCutOut(syntheticPhoto()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QElapsedTimer apart;
        apart.start();
        const KSMaskedPicture picture(std::move(cutOut));
        std::printf("  %-58s %9.2f ms\n", "taking the cut-out apart (colours, mask, reduced copies)",
                    double(apart.nsecsElapsed()) / 1e6);
    }

    QWidget host;
    host.resize(1400, 900);
    host.show();
    if (!waitForExposure(&host))
        return 1;
    QElapsedTimer timer;
    timer.start();
    KSEraserEditView *editor = KSEraserEditView::showEditView(&host, photoPath, cutOutPath);
    if (!editor)
        return 1;
    QCoreApplication::processEvents();
    std::printf("  opening the editor: %.0f ms\n", double(timer.nsecsElapsed()) / 1e6);
    KSEidtCutImageView *crop = editor->cutImageEditView();

    // Timed once the editor's own work on other threads (the photo's colours,
    // the face search) is done, as when a user starts touching up.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    const double baseline = residentMegabytes();

    // ---- brush strokes --------------------------------------------------------
    editor->actionForTouchUp();
    QCoreApplication::processEvents();
    KSTouchUpPanel *panel = editor->touchUpPanel();
    KSBrushSettings settings = panel->settings();
    settings.mode = KSMaskBrush::Mode::erase;
    settings.diameter = 40;
    panel->setSettings(settings);
    std::printf("  crop view %d x %d points, %.3f points per pixel\n", crop->width(), crop->height(),
                crop->imageScale());

    const Figures brush = replay(crop, onCanvas(crop, QPointF(4300, 1000)), Qt::LeftButton, [](int i) {
        // Down the plank and back, wavering across it.
        const double t = double(i) / kMoves;
        return QPointF(25 * std::sin(12 * M_PI * t), 150 * std::sin(M_PI * t));
    });
    printFigure("brush stroke, per pointer move (mean)", brush.meanMs, "ms", 8);
    std::printf("  %-58s %9.2f ms\n", "brush stroke, slowest move", brush.maxMs);
    grab(editor, grabFolder, "touchup-brush");

    // ---- a smart stroke ---------------------------------------------------------
    settings.smart = true;
    panel->setSettings(settings);
    const int before = editor->undoStack()->count();
    {
        const QPointF from = onCanvas(crop, QPointF(4250, 2400));
        sendMouse(crop, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= 20; ++i)
            sendMouse(crop, QEvent::MouseMove, from + QPointF(i, 0), Qt::NoButton, Qt::LeftButton);
        // Waits without spinning: the result comes as an event.
        QEventLoop waiting;
        QObject::connect(editor->undoStack(), &QUndoStack::indexChanged, &waiting, &QEventLoop::quit);
        QTimer::singleShot(30000, &waiting, &QEventLoop::quit);
        timer.start();
        sendMouse(crop, QEvent::MouseButtonRelease, from + QPointF(20, 0), Qt::LeftButton, Qt::NoButton);
        if (editor->undoStack()->count() == before)
            waiting.exec();
        QCoreApplication::processEvents();
        printFigure("smart stroke, release to result on screen", double(timer.nsecsElapsed()) / 1e6, "ms", 1000);
    }
    grab(editor, grabFolder, "touchup-smart");
    settings.smart = false;
    panel->setSettings(settings);

    // ---- undo history ---------------------------------------------------------------
    const auto historyBytes = [&] {
        qsizetype bytes = 0;
        for (int i = 0; i < editor->undoStack()->count(); ++i)
            if (const auto *step = dynamic_cast<const KSMaskEditCommand *>(editor->undoStack()->command(i)))
                bytes += step->byteSize();
        return double(bytes) / (1024.0 * 1024.0);
    };
    // Ordinary strokes, then sweeping ones: a large brush across the whole
    // picture, each one touching most of its tiles' rows.
    struct History
    {
        const char *what;
        double diameter;
        QPointF step;
        int moves;
    };
    const History histories[] = {
        {"undo history of 50 strokes (40 pt, a fifth of the picture)", 40, QPointF(3, 1), 60},
        {"undo history of 50 more (120 pt, across the picture)", 120, QPointF(9, 2), 100},
    };
    for (const History &history : histories) {
        const double beforeHistory = residentMegabytes();
        const double keptBefore = historyBytes();
        settings.diameter = history.diameter;
        for (int i = 0; i < kHistoryStrokes; ++i) {
            settings.mode = i % 2 ? KSMaskBrush::Mode::keep : KSMaskBrush::Mode::erase;
            panel->setSettings(settings);
            const QPointF from = onCanvas(crop, QPointF(100 + 20 * i, 300 + 70 * i));
            stroke(crop, from, history.step, history.moves);
        }
        printFigure(history.what, historyBytes() - keptBefore, "MB", 150);
        std::printf("  %-58s %9.2f MB (resident %.0f MB before, editor alone %.0f MB)\n",
                    "  resident memory it added", residentMegabytes() - beforeHistory, beforeHistory, baseline);
    }
    settings.diameter = 40;
    panel->setSettings(settings);

    const auto timeStep = [&](const char *what, const std::function<void()> &step) {
        timer.start();
        step();
        QCoreApplication::processEvents();
        printFigure(what, double(timer.nsecsElapsed()) / 1e6, "ms", 50);
    };
    timeStep("undo one stroke, Touch Up open", [&] { editor->actionForUndo(); });
    timeStep("redo it", [&] { editor->actionForRedo(); });
    editor->actionForTouchUp();
    QCoreApplication::processEvents();
    timeStep("undo one stroke, comparing (subject's bounds found anew)", [&] { editor->actionForUndo(); });
    timeStep("redo it", [&] { editor->actionForRedo(); });
    grab(editor, grabFolder, "touchup-compare");

    // ---- zoom and pan at 100 % -------------------------------------------------------
    const auto panAt100 = [&](const char *what) {
        crop->fitToView();
        QCoreApplication::processEvents();
        const QPointF centre(crop->width() / 2.0, crop->height() / 2.0);
        timer.start();
        crop->showActualSize(centre);
        QCoreApplication::processEvents();
        printFigure((std::string(what) + ": zoom to 100 %").c_str(), double(timer.nsecsElapsed()) / 1e6, "ms", 16);
        const Figures pan = replay(crop, centre, Qt::MiddleButton, [](int i) {
            const double angle = 2 * M_PI * i / kMoves;
            return QPointF(300 * std::sin(angle), 200 * (1 - std::cos(angle)));
        });
        printFigure((std::string(what) + ": pan, per frame (mean)").c_str(), pan.meanMs, "ms", 16);
        std::printf("  %-58s %9.2f ms\n", (std::string(what) + ": pan, slowest frame").c_str(), pan.maxMs);
    };
    panAt100("comparing");
    grab(editor, grabFolder, "zoom-compare");
    editor->actionForTouchUp();
    QCoreApplication::processEvents();
    panAt100("Touch Up");
    grab(editor, grabFolder, "zoom-touchup");

    std::vector<double> wheel;
    crop->fitToView();
    for (int i = 0; i < 12; ++i) {
        timer.start();
        crop->zoomBy(1, QPointF(crop->width() / 2.0, crop->height() / 2.0));
        QCoreApplication::processEvents();
        wheel.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    printFigure("wheel zoom from fitted to 1600 %, per notch (mean)", KSBenchTimes::of(wheel).meanMs, "ms", 16);

    // Without the history: what a smart stroke costs on its own.
    {
        const std::shared_ptr<KSMaskedPicture> picture = crop->maskedPicture();
        KSSmartBrush::Request request;
        request.stroke = {QPointF(4250, 2400), QPointF(4270, 2400)};
        request.radius = 100;
        request.window = KSSmartBrush::windowFor(request.stroke, request.radius, QSize(kWidth, kHeight));
        request.colours = picture ? picture->colours() : QImage();
        const double workScale = double(KSSmartBrush::kWorkSide)
            / std::max(request.window.width(), request.window.height());
        request.reduced = picture ? picture->reducedColours(workScale) : QImage();
        timer.start();
        const KSSmartBrush::Result result = KSSmartBrush::run(request);
        std::printf("  %-58s %9.2f ms (window %d x %d)%s\n", "smart brush alone, on a worker thread",
                    double(timer.nsecsElapsed()) / 1e6, request.window.width(), request.window.height(),
                    result.ok() ? "" : " FAILED");
    }

    editor->undoStack()->setClean();
    editor->actionForGoHome();
    QCoreApplication::processEvents();
    return 0;
}
