// How the batch screen keeps up while its photos are cut out: the grid is
// scrolled a step every 16 ms and each frame is painted at once, through
// the local service started in-process as the application runs it
// (classical engine unless a model is installed). Goal: a frame under 50 ms.
//   bench_batch_screen [--photos N] [--megapixels M] [--model JSON|none]
// Prints the paint time of the frames (median, 95th percentile, worst), how
// late the event loop came to each step (what a user feels as a stall), and
// how long the batch took.

#include "KSBatch.h"
#include "KSBatchView.h"
#include "KSBenchPhoto.h"
#include "KSBenchService.h"
#include "KSLocalService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListView>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kStepMs = 16;
constexpr int kScrollStep = 40;

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(std::floor(share * double(values.size()))))];
}

} // namespace

int main(int argc, char *argv[])
{
    QString model = QFileInfo::exists(KSLocalService::defaultModelDescription())
                        ? KSLocalService::defaultModelDescription()
                        : QStringLiteral("none");
    QTemporaryDir home;
    usePrivateHome(home);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int photos = 24;
    double megapixels = 12;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--photos"))
            photos = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--megapixels"))
            megapixels = std::max(0.1, std::atof(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--model"))
            model = QString::fromLocal8Bit(argv[i + 1]);
    }

    KSLocalService service;
    if (!startBenchService(service, home.filePath(QStringLiteral("data")), model))
        return 1;

    const int width = int(std::sqrt(megapixels * 1e6 * 4 / 3));
    const QSize size(width, width * 3 / 4);
    QStringList paths;
    std::printf("making %d photos of %d x %d...\n", photos, size.width(), size.height());
    std::fflush(stdout);
    for (int i = 0; i < photos; ++i) {
        const QString path = home.filePath(QStringLiteral("photo-%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
        if (makeStudioPhoto(size, path).isEmpty()) {
            std::fprintf(stderr, "the photo %s could not be made\n", qPrintable(path));
            return 1;
        }
        paths << path;
    }

    KSBatchView view;
    view.resize(1100, 720);
    view.show();
    QListView *grid = view.gridView();

    std::vector<double> paints;
    std::vector<double> lateness;
    QElapsedTimer clock;
    qint64 lastStep = 0;
    int direction = 1;
    QTimer steps;
    steps.setInterval(kStepMs);
    steps.setTimerType(Qt::PreciseTimer);
    QObject::connect(&steps, &QTimer::timeout, &view, [&] {
        const qint64 now = clock.elapsed();
        lateness.push_back(double(std::max<qint64>(0, now - lastStep - kStepMs)));
        lastStep = now;
        QScrollBar *bar = grid->verticalScrollBar();
        if (bar->value() >= bar->maximum())
            direction = -1;
        else if (bar->value() <= bar->minimum())
            direction = 1;
        bar->setValue(bar->value() + direction * kScrollStep);
        QElapsedTimer paint;
        paint.start();
        grid->viewport()->repaint();
        paints.push_back(paint.nsecsElapsed() / 1e6);
    });

    // Once every job has ended, the same scrolling for a while more: what
    // the frames cost without jobs beside them (on a loaded machine the
    // difference is the jobs' share of the cores, not the screen's work).
    constexpr int kIdleMs = 3000;
    size_t framesWhileCutting = 0;
    qint64 cuttingMs = 0;
    QObject::connect(view.batch(), &KSBatch::allFinished, &app, [&] {
        framesWhileCutting = paints.size();
        cuttingMs = clock.elapsed();
        QTimer::singleShot(kIdleMs, &app, &QCoreApplication::quit);
    });
    clock.start();
    view.addPaths(paths, KSEraserType::object, false);
    lastStep = clock.elapsed();
    steps.start();
    app.exec();
    steps.stop();
    const std::vector<double> idlePaints(paints.begin() + qsizetype(framesWhileCutting), paints.end());
    const std::vector<double> idleLateness(lateness.begin() + qsizetype(framesWhileCutting), lateness.end());
    paints.resize(framesWhileCutting);
    lateness.resize(framesWhileCutting);

    const KSBatch::Summary summary = view.batch()->summary();
    std::printf("batch of %d photos of %.1f MP, %d at once: %d done, %d failed in %.1f s\n", photos, megapixels,
                view.batch()->concurrentJobs(), summary.done, summary.failed, cuttingMs / 1000.0);
    std::printf("grid frames painted while cutting: %zu\n", paints.size());
    std::printf("  paint time: median %.2f ms, 95th percentile %.2f ms, worst %.2f ms (goal: under 50 ms)\n",
                percentile(paints, 0.5), percentile(paints, 0.95), percentile(paints, 1.0));
    std::printf("  event loop late to a step: median %.1f ms, 95th percentile %.1f ms, worst %.1f ms\n",
                percentile(lateness, 0.5), percentile(lateness, 0.95), percentile(lateness, 1.0));
    std::printf("  worst frame as felt (late + paint): %.1f ms\n",
                percentile(lateness, 1.0) + percentile(paints, 1.0));
    std::printf("the same grid with no job running: %zu frames, paint median %.2f ms, worst %.2f ms; "
                "late median %.1f ms, worst %.1f ms\n",
                idlePaints.size(), percentile(idlePaints, 0.5), percentile(idlePaints, 1.0),
                percentile(idleLateness, 0.5), percentile(idleLateness, 1.0));
    return 0;
}
