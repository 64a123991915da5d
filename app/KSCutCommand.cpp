#include "KSCutCommand.h"

#include "CommLang.h"
#include "CommLog.h"
#include "CommPassport.h"
#include "KSEditChangeSizeView.h"
#include "KSEraserManager.h"
#include "KSEraserNetwork.h"
#include "KSEraserType.h"
#include "KSImageLoader.h"
#include "KSOutputRender.h"
#include "KSServiceConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

void printErr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

// A one-line progress bar on a terminal; plain lines at quarter steps when
// the output goes to a file or a pipe.
class ProgressBar
{
public:
    explicit ProgressBar(const QString &name) : m_name(QFileInfo(name).fileName()), m_tty(isatty(STDERR_FILENO)) {}

    void show(double progress)
    {
        const int percent = qBound(0, int(progress * 100.0), 100);
        if (m_tty) {
            constexpr int width = 30;
            const int filled = percent * width / 100;
            const QByteArray bar = QByteArray(filled, '#') + QByteArray(width - filled, '-');
            std::fprintf(stderr, "\r%-32.32s [%s] %3d%%", m_name.toLocal8Bit().constData(), bar.constData(), percent);
            std::fflush(stderr);
        } else if (percent / 25 > m_lastQuarter) {
            m_lastQuarter = percent / 25;
            std::fprintf(stderr, "%s: %d%%\n", m_name.toLocal8Bit().constData(), percent);
        }
    }

    void finish()
    {
        if (m_tty)
            std::fprintf(stderr, "\n");
    }

private:
    QString m_name;
    bool m_tty;
    int m_lastQuarter = -1;
};

// QFileInfo's equality holds for any two missing files, so compare paths.
bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

QString failureText(KSImageLoader::Failure failure)
{
    switch (failure) {
    case KSImageLoader::Failure::Missing: return QStringLiteral("cannot open the file");
    case KSImageLoader::Failure::Empty: return QStringLiteral("the file is empty");
    case KSImageLoader::Failure::Undecodable: return QStringLiteral("not a picture Cutora can read (JPEG, PNG, BMP, TIFF, WebP, HEIC)");
    case KSImageLoader::Failure::TooLarge: return QStringLiteral("the picture is too large");
    case KSImageLoader::Failure::None: break;
    }
    return {};
}

// Waits for the service connection to be ready; false with a message when it
// cannot be used.
bool connectService(QString *error)
{
    KSServiceConnection *connection = KSServiceConnection::defaultConnection();
    connection->start();
    if (connection->state() == KSServiceConnection::State::Starting) {
        QEventLoop loop;
        QObject::connect(connection, &KSServiceConnection::stateChanged, &loop, [&] {
            if (connection->state() != KSServiceConnection::State::Starting)
                loop.quit();
        });
        loop.exec();
    }
    if (connection->state() != KSServiceConnection::State::Ready) {
        *error = QStringLiteral("the cut-out service did not start: ") + connection->errorString();
        return false;
    }
    if (connection->mode() == KSServiceConnection::Mode::Local) {
        if (!connection->signInLocalAccount()) {
            *error = QStringLiteral("cannot sign in to the built-in cut-out service");
            return false;
        }
    } else if (!CommPassport::isLogged()) {
        *error = QStringLiteral("not signed in to %1: sign in once in the application").arg(connection->baseUrl());
        return false;
    }
    return true;
}

// Runs one job to its end; returns the temporary cut-out path or nothing.
std::optional<QString> runJob(const QString &photo, KSEraserType type)
{
    ProgressBar bar(photo);
    std::optional<QString> result;
    QEventLoop loop;
    KSEraserManager::startEraser(photo, type, [&](bool success, const std::optional<QString> &path, double progress) {
        if (progress >= 0.0)
            bar.show(progress);
        if (success || progress < 0.0) {
            if (success)
                result = path;
            // Queued, so that a report made before exec() still ends the loop.
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        }
    });
    loop.exec();
    bar.finish();
    return result;
}

// The largest picture the command makes: the loader's limit, and no side
// beyond what image tools commonly open.
constexpr double kMaxSide = 30000;

std::optional<KSColor> backgroundFromText(const QString &text)
{
    if (text.compare(QLatin1String("transparent"), Qt::CaseInsensitive) == 0)
        return KSClear_Color();
    static const QRegularExpression hex(QStringLiteral("^#?([0-9A-Fa-f]{6})$"));
    const QRegularExpressionMatch match = hex.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return KSRGBHexColor(match.captured(1).toLongLong(nullptr, 16));
}

bool isJpegName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

} // namespace

QString KSCutCommand::outputFormat(const Options &options)
{
    const bool colour = !(options.background == KSClear_Color());
    return colour && !options.out.isEmpty() && isJpegName(options.out) ? QStringLiteral("jpg") : QStringLiteral("png");
}

std::optional<QSizeF> KSCutCommand::sizeFromText(const QString &text)
{
    static const QRegularExpression pixels(QStringLiteral("^\\s*(\\d{1,6})\\s*[xX]\\s*(\\d{1,6})\\s*(px)?\\s*$"));
    const QRegularExpressionMatch match = pixels.match(text);
    if (match.hasMatch()) {
        const double w = match.captured(1).toDouble();
        const double h = match.captured(2).toDouble();
        // One side without the other describes no picture.
        if ((w == 0) != (h == 0) || w > kMaxSide || h > kMaxSide || w * h > double(KSImageLoader::kMaxPixels))
            return std::nullopt;
        return QSizeF(w, h);
    }
    // A preset by the name the size panel shows, or by its text's key; both
    // certificate lists, whatever the language.
    const QString localized = CommLang::GetAppLang(text);
    for (const QString &language : {QStringLiteral("ChineseSimplified"), QStringLiteral("English")}) {
        for (const KSEditChangeSizeList &list : KSEditChangeSizeView::sizeLists(language)) {
            for (const KSEditChangeSizeItem &item : list.items) {
                if (item.title.compare(text, Qt::CaseInsensitive) == 0 || item.title == localized)
                    return QSizeF(double(item.width), double(item.height));
            }
        }
    }
    return std::nullopt;
}

QImage KSCutCommand::renderCutout(const QImage &cutout, const Options &options)
{
    // The whole cut-out is the subject, where it lies: the editor's picture
    // before the user moves anything.
    KSOutputRender::Request request;
    request.subject = cutout;
    request.imageSize = QSizeF(cutout.size());
    request.subjectRect = QRectF(cutout.rect());
    request.backgroundColor = options.background;
    request.backgroundSize = options.size;
    request.opaque = outputFormat(options) == QLatin1String("jpg");
    return KSOutputRender::renderOutputImage(request);
}

KSImageWriter::Result KSCutCommand::exportCutout(const QImage &cutout, const Options &options, const QString &path)
{
    const QImage picture = renderCutout(cutout, options);
    if (picture.isNull())
        return {false, QStringLiteral("the picture could not be made (out of memory?)")};
    if (outputFormat(options) == QLatin1String("jpg"))
        return KSImageWriter::writeJpeg(picture, path);
    return KSImageWriter::writePng(picture, path);
}

QString KSCutCommand::usage()
{
    return QStringLiteral(
        "usage: cutora --cut PHOTO... --type person|object (--out FILE | --out-dir DIR)\n"
        "              [--background '#RRGGBB'|transparent] [--size WxH|PRESET]\n"
        "  Cuts the subject out of each photo and writes it as the editor saves it.\n"
        "  --out FILE         the picture for a single photo: a JPEG when FILE ends in .jpg\n"
        "                     and a colour is given, else a PNG\n"
        "  --out-dir DIR      a folder for the PNGs, named after the photos\n"
        "  --background BG    a colour such as '#FFFFFF', or transparent (the default)\n"
        "  --size SIZE        WxH in pixels, or a preset of the editor's size panel\n"
        "                     (for example 1Inch, 2Inch, 1000x1000px): the photo's middle\n"
        "                     at that size; without it the photo keeps its own size\n"
        "  --verbose          also print the log on the terminal");
}

std::optional<KSCutCommand::Options> KSCutCommand::parse(const QStringList &arguments, QString *error)
{
    Options options;
    auto valueAfter = [&](qsizetype &i, const QString &name, QString *value) {
        const QString arg = arguments.at(i);
        if (arg.startsWith(name + QLatin1Char('='))) {
            *value = arg.mid(name.size() + 1);
            return true;
        }
        if (i + 1 >= arguments.size())
            return false;
        *value = arguments.at(++i);
        return true;
    };
    // Everything that is no option belongs to --cut, so that a shell glob
    // (--cut *.jpg) works.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        QString value;
        auto is = [&](const char *name) {
            return arg == QLatin1String(name) || arg.startsWith(QLatin1String(name) + QLatin1Char('='));
        };
        if (is("--cut")) {
            if (!valueAfter(i, QStringLiteral("--cut"), &value)) {
                *error = QStringLiteral("--cut needs a photo");
                return std::nullopt;
            }
            options.photos << value;
        } else if (is("--type")) {
            if (!valueAfter(i, QStringLiteral("--type"), &options.type)) {
                *error = QStringLiteral("--type needs person or object");
                return std::nullopt;
            }
        } else if (is("--out")) {
            if (!valueAfter(i, QStringLiteral("--out"), &options.out)) {
                *error = QStringLiteral("--out needs a file name");
                return std::nullopt;
            }
        } else if (is("--out-dir")) {
            if (!valueAfter(i, QStringLiteral("--out-dir"), &options.outDir)) {
                *error = QStringLiteral("--out-dir needs a folder");
                return std::nullopt;
            }
        } else if (is("--background")) {
            std::optional<KSColor> colour;
            if (!valueAfter(i, QStringLiteral("--background"), &value) || !(colour = backgroundFromText(value))) {
                *error = QStringLiteral("--background needs a colour '#RRGGBB' or transparent");
                return std::nullopt;
            }
            options.background = *colour;
        } else if (is("--size")) {
            std::optional<QSizeF> size;
            if (!valueAfter(i, QStringLiteral("--size"), &value) || !(size = sizeFromText(value))) {
                *error = QStringLiteral("--size needs WxH in pixels (each side at most 30000) or a size preset");
                return std::nullopt;
            }
            options.size = *size;
        } else if (arg == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option ") + arg;
            return std::nullopt;
        } else {
            options.photos << arg;
        }
    }
    if (options.photos.isEmpty())
        *error = QStringLiteral("no photo given");
    else if (!KSEraserTypeFromRawValue(options.type))
        *error = QStringLiteral("--type must be person or object");
    else if (options.out.isEmpty() == options.outDir.isEmpty())
        *error = QStringLiteral("give either --out FILE or --out-dir DIR");
    else if (!options.out.isEmpty() && options.photos.size() > 1)
        *error = QStringLiteral("--out takes one photo; use --out-dir for several");
    // A JPEG cannot be transparent; PNG bytes under a .jpg name would mislead.
    else if (!options.out.isEmpty() && isJpegName(options.out) && outputFormat(options) != QLatin1String("jpg"))
        *error = QStringLiteral("a JPEG needs --background with a colour; name the file .png for transparency");
    if (!error->isEmpty())
        return std::nullopt;
    return options;
}

QString KSCutCommand::outputPathFor(const Options &options, const QString &photo, const QStringList &taken)
{
    if (!options.out.isEmpty())
        return QFileInfo(options.out).absoluteFilePath();
    const QDir dir(options.outDir);
    const QString base = QFileInfo(photo).completeBaseName();
    QString candidate = dir.absoluteFilePath(base + QStringLiteral(".png"));
    // Two photos of one name (a.jpg, a.heic), or a PNG photo in the output
    // folder itself, must not overwrite each other.
    for (int n = 1; taken.contains(candidate) || sameFile(candidate, photo); ++n)
        candidate = dir.absoluteFilePath(QStringLiteral("%1(%2).png").arg(base).arg(n));
    return candidate;
}

int KSCutCommand::run(const QStringList &arguments)
{
    QString error;
    const std::optional<Options> options = parse(arguments, &error);
    if (!options) {
        printErr(QStringLiteral("cutora: ") + error);
        printErr(usage());
        return 2;
    }
    // The log file keeps every detail; the terminal shows only progress and
    // the outcome unless asked for more.
    if (!options->verbose) {
        CommLog::setEchoToStandardError(false);
        QLoggingCategory::setFilterRules(QStringLiteral("cutora.*.debug=false"));
    }
    if (!options->outDir.isEmpty() && !QDir().mkpath(options->outDir)) {
        printErr(QStringLiteral("cutora: cannot create the folder ") + options->outDir);
        return 1;
    }
    if (!connectService(&error)) {
        printErr(QStringLiteral("cutora: ") + error);
        return 1;
    }

    const KSEraserType type = *KSEraserTypeFromRawValue(options->type);
    QStringList written;
    int failures = 0;
    for (const QString &photo : options->photos) {
        const QString out = outputPathFor(*options, photo, written);
        auto fail = [&](const QString &why) {
            printErr(QStringLiteral("cutora: %1: %2").arg(photo, why));
            ++failures;
        };
        if (!QFileInfo(photo).isFile()) {
            fail(QStringLiteral("no such file"));
            continue;
        }
        if (sameFile(out, photo)) {
            fail(QStringLiteral("the output would replace the photo itself"));
            continue;
        }
        // A cheap look at the header names the problem precisely, which the
        // job's own failure report does not.
        const KSImageLoader::SizeResult probe = KSImageLoader::readSize(QFileInfo(photo).absoluteFilePath());
        if (!probe.ok()) {
            fail(failureText(probe.failure));
            continue;
        }
        const std::optional<QString> cutout = runJob(QFileInfo(photo).absoluteFilePath(), type);
        if (!cutout) {
            fail(QStringLiteral("the cut-out failed (details in %1)").arg(CommLog::logFilePath()));
            continue;
        }
        const KSImageLoader::Result result = KSImageLoader::load(*cutout);
        QFile::remove(*cutout);
        if (!result.ok()) {
            fail(QStringLiteral("the cut-out could not be read back: ") + result.error);
            continue;
        }
        const KSImageWriter::Result saved = exportCutout(result.image, *options, out);
        if (!saved.ok) {
            fail(saved.error);
            continue;
        }
        written << out;
        // Which engine made the mask, on standard error so that standard
        // output stays one written path per photo.
        if (const QString engine = KSEraserNetwork::lastMaskEngine(); !engine.isEmpty())
            printErr(QStringLiteral("%1: mask by %2").arg(QFileInfo(photo).fileName(), engine));
        std::printf("%s\n", out.toLocal8Bit().constData());
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
