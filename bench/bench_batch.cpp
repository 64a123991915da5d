// The batch of many photos, as the window runs it, against the command line
// on the same photos, through the built-in service started in-process.
//   bench_batch [throughput|memory|export] [--photos N] [--engine classical|learned]
//               [--jobs N] [--megapixels M]
// throughput: N photos (default 20) cut and written by the command line
//   (KSCutCommand) and by the batch (jobs at once 1 and 2, or --jobs) with
//   its export; goal: the batch within 10 % of the command line.
// memory: N photos (default 12; the goal's figure is --photos 300) of M
//   megapixels (default 12) cut by the batch with thumbnails; the peak
//   resident memory (VmHWM; goal under 1.5 GB), the longest the event loop
//   waited meanwhile (goal a frame under 50 ms), the cut-outs' room on disk.
// export: N done photos (default 100) of 1000 x 1000 written on white at
//   1000 x 1000; goal under 15 s.
// Without a section name each runs in a child process of its own, so that
// each peak is its own.
#include "KSBatch.h"
#include "KSBatchExport.h"
#include "KSBatchModel.h"
#include "KSBenchMemory.h"
#include "KSBenchPhoto.h"
#include "KSBenchService.h"
#include "KSCutCommand.h"
#include "KSFileConst.h"
#include "KSLocalService.h"
#include "KSSizePresets.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace {

struct Options
{
    QString section;
    int photos = 0;
    QString engine = QStringLiteral("classical");
    int jobs = 0; // 0: both 1 and 2
    double megapixels = 12;
};

QString modelFor(const QString &engine)
{
    return engine == QLatin1String("learned") ? QStringLiteral("installed") : QStringLiteral("none");
}

QStringList makePhotos(const QString &folder, int count, QSize size)
{
    QDir().mkpath(folder);
    QStringList photos;
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("photo %1.jpg").arg(i + 1, 3, 10, QLatin1Char('0')));
        // Each a little different, as a shop's photos are.
        if (makeStudioPhoto(size - QSize(i % 7, i % 5), path).isEmpty())
            return {};
        photos.append(path);
    }
    return photos;
}

QSize sizeOfMegapixels(double megapixels)
{
    const int width = int(std::sqrt(megapixels * 1e6 * 4 / 3));
    return QSize(width, int(megapixels * 1e6 / width));
}

void waitUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    timer.start(20);
    if (!done())
        loop.exec();
}

// Cuts the photos with the batch and waits for every thumbnail; seconds.
double cutWithBatch(KSBatch &batch, const QStringList &photos)
{
    QElapsedTimer timer;
    timer.start();
    batch.addPhotos(photos, KSEraserType::object);
    waitUntil([&] { return !batch.hasUnfinishedWork(); });
    return timer.elapsed() / 1000.0;
}

KSBatchExport::Result exportBatch(KSBatch &batch)
{
    KSBatchExport exporter(&batch);
    KSBatchExport::Result result;
    bool finished = false;
    QObject::connect(&exporter, &KSBatchExport::finished, [&](const KSBatchExport::Result &r) {
        result = r;
        finished = true;
    });
    exporter.start();
    waitUntil([&] { return finished; });
    return result;
}

int countDone(const KSBatch &batch)
{
    return batch.summary().done;
}

int throughput(const Options &options, const QTemporaryDir &home, KSLocalService &service)
{
    const int count = options.photos > 0 ? options.photos : 20;
    const QStringList photos = makePhotos(home.filePath(QStringLiteral("photos")), count, QSize(1600, 1200));
    std::printf("throughput: %d photos of 1600 x 1200, %s engine\n", count, qPrintable(options.engine));

    // The command line, through the same service.
    qputenv("CUTORA_SERVICE_URL", service.baseUrl().toUtf8());
    QStringList arguments{QStringLiteral("cutora"), QStringLiteral("--cut")};
    arguments += photos;
    arguments += {QStringLiteral("--type"), QStringLiteral("object"), QStringLiteral("--out-dir"),
                  home.filePath(QStringLiteral("cli")), QStringLiteral("--background"), QStringLiteral("#ffffff")};
    QElapsedTimer timer;
    timer.start();
    // Its written paths go to standard output; the figures follow.
    std::fflush(stdout);
    const int code = KSCutCommand::run(arguments);
    const double cli = timer.elapsed() / 1000.0;
    qputenv("CUTORA_SERVICE_URL", QByteArray());
    std::printf("  command line: %.1f s (%.2f s a photo)%s\n", cli, cli / count, code == 0 ? "" : ", SOME FAILED");

    const QList<int> jobsList = options.jobs > 0 ? QList<int>{options.jobs} : QList<int>{1, 2};
    for (int jobs : jobsList) {
        KSBatch batch;
        batch.setConcurrentJobs(jobs);
        KSBatchLook look = batch.look();
        look.background = KSEditBackground::ofColour(KSColor(QColor(Qt::white)));
        look.folder = home.filePath(QStringLiteral("batch-%1").arg(jobs));
        look.maxSide = 0; // as the command line: the photo's pixels
        batch.setLook(look);
        const double cut = cutWithBatch(batch, photos);
        timer.restart();
        const KSBatchExport::Result written = exportBatch(batch);
        const double total = cut + timer.elapsed() / 1000.0;
        std::printf("  batch, %d at once: cut %.1f s + export = %.1f s (%.2f s a photo), %lld written, %d done; "
                    "%+.0f %% against the command line (goal within 10 %%)\n",
                    jobs, cut, total, total / count, qlonglong(written.written.size()), countDone(batch),
                    (total / cli - 1.0) * 100.0);
    }
    return 0;
}

int memory(const Options &options, const QTemporaryDir &home)
{
    const int count = options.photos > 0 ? options.photos : 12;
    const QSize size = sizeOfMegapixels(options.megapixels);
    QElapsedTimer timer;
    timer.start();
    const QStringList photos = makePhotos(home.filePath(QStringLiteral("photos")), count, size);
    std::printf("memory: %d photos of %d x %d (%.1f megapixels) made in %.0f s, %s engine\n", count, size.width(),
                size.height(), double(size.width()) * size.height() / 1e6, timer.elapsed() / 1000.0,
                qPrintable(options.engine));
    const qint64 before = procStatusKilobytes("VmHWM");

    KSBatch batch;
    if (options.jobs > 0)
        batch.setConcurrentJobs(options.jobs);
    KSBatchLook look = batch.look();
    look.background = KSEditBackground::ofColour(KSColor(QColor(Qt::white)));
    look.preset = *KSSizePresets::findItem(QStringLiteral("1000x1000px"));
    batch.setLook(look);

    // How late a timer of every frame comes while the batch works: what a
    // screen on this thread would wait for, reading the model as a grid does.
    qint64 longestStall = 0;
    QElapsedTimer frame;
    frame.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, frame.restart() - 16);
        KSBatchModel *model = batch.model();
        for (int row = 0; row < model->rowCount(); ++row)
            (void)model->index(row).data(KSBatchModel::ThumbnailRole);
    });
    ticker.start(16);

    timer.restart();
    const double seconds = cutWithBatch(batch, photos);
    waitUntil([&] {
        for (int row = 0; row < batch.count(); ++row)
            if (batch.itemAt(row).state == KSBatchItem::State::done && batch.itemAt(row).thumbnail.isNull())
                return false;
        return true;
    });
    ticker.stop();

    qint64 cutoutBytes = 0;
    for (int row = 0; row < batch.count(); ++row)
        cutoutBytes += QFileInfo(batch.itemAt(row).cutoutPath).size();
    const qint64 peak = procStatusKilobytes("VmHWM");
    std::printf("  %d done in %.0f s (%.1f s a photo, %d at once)\n", countDone(batch), seconds, seconds / count,
                batch.concurrentJobs());
    std::printf("  peak resident memory %.0f MB (%.0f MB after making the photos; goal under 1536 MB)\n",
                peak / 1024.0, before / 1024.0);
    std::printf("  longest wait of the event loop beyond a 16 ms frame: %lld ms (goal a frame under 50 ms)\n",
                qlonglong(longestStall));
    std::printf("  cut-outs waiting in the temporary folder: %.0f MB, %.1f MB a photo\n", cutoutBytes / 1e6,
                cutoutBytes / 1e6 / std::max(count, 1));
    return 0;
}

int exportSection(const Options &options, const QTemporaryDir &home)
{
    const int count = options.photos > 0 ? options.photos : 100;
    const QStringList photos = makePhotos(home.filePath(QStringLiteral("photos")), count, QSize(1000, 1000));
    KSBatch batch;
    const double cut = cutWithBatch(batch, photos);
    std::printf("export: %d photos of 1000 x 1000 cut in %.0f s\n", countDone(batch), cut);
    for (const QString &format : {QStringLiteral("jpg"), QStringLiteral("png")}) {
        KSBatchLook look = batch.look();
        look.background = KSEditBackground::ofColour(KSColor(QColor(Qt::white)));
        look.preset = *KSSizePresets::findItem(QStringLiteral("1000x1000px"));
        look.format = format;
        look.folder = home.filePath(QStringLiteral("out-") + format);
        batch.setLook(look);
        QElapsedTimer timer;
        timer.start();
        const KSBatchExport::Result result = exportBatch(batch);
        const double seconds = timer.elapsed() / 1000.0;
        std::printf("  %s on white at 1000 x 1000: %lld written in %.1f s (%.0f ms a photo; goal under 15 s for 100)\n",
                    qPrintable(format.toUpper()), qlonglong(result.written.size()), seconds,
                    seconds * 1000 / std::max<qsizetype>(result.written.size(), 1));
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    QStringList passOn;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        const QByteArray value = i + 1 < argc ? QByteArray(argv[i + 1]) : QByteArray();
        if (arg == "--photos") {
            options.photos = value.toInt();
        } else if (arg == "--engine") {
            options.engine = QString::fromLatin1(value);
        } else if (arg == "--jobs") {
            options.jobs = value.toInt();
        } else if (arg == "--megapixels") {
            options.megapixels = value.toDouble();
        } else {
            options.section = QString::fromLatin1(arg);
            continue;
        }
        passOn << QString::fromLatin1(arg) << QString::fromLatin1(value);
        ++i;
    }
    if (options.section.isEmpty()) {
        for (const char *section : {"throughput", "memory", "export"}) {
            const int code = QProcess::execute(QString::fromLocal8Bit(argv[0]), QStringList{QString::fromLatin1(section)} + passOn);
            if (code != 0)
                return code;
        }
        return 0;
    }

    QTemporaryDir home;
    usePrivateHome(home);
    QCoreApplication app(argc, argv);
    KSLocalService service;
    if (!startBenchService(service, home.filePath(QStringLiteral("service")), modelFor(options.engine)))
        return 1;
    if (options.section == QLatin1String("throughput"))
        return throughput(options, home, service);
    if (options.section == QLatin1String("memory"))
        return memory(options, home);
    if (options.section == QLatin1String("export"))
        return exportSection(options, home);
    std::fprintf(stderr, "bench_batch: unknown section %s\n", qPrintable(options.section));
    return 2;
}
