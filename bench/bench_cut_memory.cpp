// The memory a whole `cutora --cut` takes on a huge photo, export included,
// measured on the real program in a child process of its own (goal: its
// peak under 6 bytes per pixel of the photo plus 300 MB, with either
// engine).
//   bench_cut_memory [--megapixels N] [--engine classical|learned|both]
//                    [--png16 SIDE] [--model JSON]
// The photo is a JPEG made first (a studio subject over a soft backdrop);
// --png16 also cuts a SIDE x SIDE 16-bit RGBA PNG (0 leaves it out). The
// learned engine is the installed model, or --model; the classical one is
// chosen with CUTORA_MODEL=none, as the service reads it. Every run gets a
// private home, so that nothing of the user's is read or written.
#include "KSBenchPhoto.h"
#include "KSImageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <spng.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

extern char **environ;

namespace {

constexpr double kGoalBytesPerPixel = 6.0;
constexpr double kGoalBaseMB = 300.0;

// A photo-like JPEG of about the given megapixels, square as a 14000 x 14000
// photo at 196.
QSize makeJpeg(double megapixels, const QString &path)
{
    const int side = int(std::sqrt(megapixels * 1e6));
    return makeStudioPhoto(QSize(side, side), path);
}

int writeToFile(spng_ctx *, void *user, void *data, size_t length)
{
    return std::fwrite(data, 1, length, static_cast<FILE *>(user)) == length ? 0 : SPNG_IO_ERROR;
}

// A side x side 16-bit RGBA PNG written row by row (a flat backdrop with a
// subject block, so that the file stays small), never held whole.
bool makePng16(int side, const QString &path)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    spng_ctx *ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_ihdr ihdr{};
    ihdr.width = uint32_t(side);
    ihdr.height = uint32_t(side);
    ihdr.bit_depth = 16;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    spng_set_png_stream(ctx, writeToFile, file);
    spng_set_ihdr(ctx, &ihdr);
    bool ok = spng_encode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE) == 0;
    std::vector<quint16> row(size_t(side) * 4);
    for (int y = 0; ok && y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const bool subject = x > side / 3 && x < side * 2 / 3 && y > side / 4;
            // libspng takes the samples in the machine's byte order.
            quint16 *px = &row[size_t(x) * 4];
            px[0] = subject ? 0x3C00 : 0xE100;
            px[1] = subject ? 0x4600 : 0xE400;
            px[2] = subject ? 0x8200 : 0xE800;
            px[3] = 0xFFFF;
        }
        const int rc = spng_encode_row(ctx, row.data(), row.size() * sizeof(quint16));
        ok = rc == 0 || rc == SPNG_EOI;
    }
    spng_ctx_free(ctx);
    return std::fclose(file) == 0 && ok;
}

struct Run
{
    bool ok = false;
    double seconds = 0;
    double peakMB = 0; // the child's VmHWM
};

// Runs the program with `arguments` and the private `home`, and reads its
// peak resident memory when it ends.
Run runCut(const QString &program, const QStringList &arguments, const QString &home, const QString &model)
{
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("XDG_") && !entry.startsWith("HOME=") && !entry.startsWith("CUTORA_"))
            env.push_back(entry);
    }
    for (const char *variable : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        env.push_back(QByteArray(variable) + '=' + QFile::encodeName(home + u'/' + QLatin1String(variable)));
    env.push_back("HOME=" + QFile::encodeName(home));
    env.push_back("CUTORA_MODEL=" + QFile::encodeName(model));
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char *> envp;
    for (QByteArray &entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::vector<QByteArray> args{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        args.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    QDir().mkpath(home + QStringLiteral("/XDG_RUNTIME_DIR"));
    QFile::setPermissions(home + QStringLiteral("/XDG_RUNTIME_DIR"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Run run;
    QElapsedTimer clock;
    clock.start();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakMB = usage.ru_maxrss / 1024.0; // kilobytes on Linux
    return run;
}

void report(const char *what, const QString &engine, const Run &run, double pixels)
{
    const double goalMB = kGoalBytesPerPixel * pixels / (1024.0 * 1024.0) + kGoalBaseMB;
    std::printf("%-28s %-10s %s in %5.1f s: peak %6.0f MB = %5.2f bytes per pixel (goal %.0f MB: %s)\n", what,
                qPrintable(engine), run.ok ? "done" : "FAILED", run.seconds, run.peakMB,
                run.peakMB * 1024 * 1024 / pixels, goalMB, run.ok && run.peakMB <= goalMB ? "met" : "NOT met");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    double megapixels = 196;
    int png16Side = 14000;
    QString engines = QStringLiteral("both");
    QString model = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                    + QStringLiteral("/Cutora/models/isnet.json");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--megapixels"))
            megapixels = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--engine"))
            engines = QString::fromLocal8Bit(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--png16"))
            png16Side = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--model"))
            model = QString::fromLocal8Bit(argv[i + 1]);
    }
    const QString program = QStringLiteral(CUTORA_PROGRAM);
    QTemporaryDir work;
    if (!QFileInfo(program).isExecutable() || !work.isValid()) {
        std::fprintf(stderr, "no program at %s, or no temporary folder\n", qPrintable(program));
        return 1;
    }

    struct Photo
    {
        const char *what;
        QString path;
        double pixels;
    };
    std::vector<Photo> photos;
    const QString jpeg = work.filePath(QStringLiteral("huge.jpg"));
    const QSize size = makeJpeg(megapixels, jpeg);
    if (size.isEmpty()) {
        std::fprintf(stderr, "the photo could not be made\n");
        return 1;
    }
    std::printf("JPEG %d x %d (%.1f megapixels), %.1f MB\n", size.width(), size.height(),
                size.width() * double(size.height()) / 1e6, QFileInfo(jpeg).size() / 1e6);
    photos.push_back({"JPEG", jpeg, double(size.width()) * size.height()});
    if (png16Side > 0) {
        const QString png = work.filePath(QStringLiteral("deep.png"));
        if (!makePng16(png16Side, png)) {
            std::fprintf(stderr, "the 16-bit PNG could not be made\n");
            return 1;
        }
        std::printf("16-bit RGBA PNG %d x %d, %.1f MB\n", png16Side, png16Side, QFileInfo(png).size() / 1e6);
        photos.push_back({"16-bit PNG", png, double(png16Side) * png16Side});
    }

    QStringList chosen;
    if (engines != QLatin1String("learned"))
        chosen << QStringLiteral("classical");
    if (engines != QLatin1String("classical")) {
        if (QFileInfo::exists(model))
            chosen << QStringLiteral("learned");
        else
            std::printf("(no learned model at %s: the learned engine is left out)\n", qPrintable(model));
    }
    bool allMet = true;
    for (const Photo &photo : photos) {
        for (const QString &engine : chosen) {
            const QString home = work.filePath(QStringLiteral("home-") + engine);
            const QString out = work.filePath(QStringLiteral("cut.png"));
            const Run run = runCut(program,
                                   {QStringLiteral("--cut"), photo.path, QStringLiteral("--type"),
                                    QStringLiteral("person"), QStringLiteral("--out"), out},
                                   home, engine == QLatin1String("classical") ? QStringLiteral("none") : model);
            report(photo.what, engine, run, photo.pixels);
            allMet = allMet && run.ok && run.peakMB <= kGoalBytesPerPixel * photo.pixels / (1024.0 * 1024.0) + kGoalBaseMB;
            QFile::remove(out);
            QDir(home).removeRecursively();
        }
    }
    return allMet ? 0 : 1;
}
