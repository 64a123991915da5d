#include "KSCutOptions.h"

#include "KSEraserType.h"
#include "KSFramingGeometry.h"
#include "KSCustomSize.h"
#include "KSImageLoader.h"
#include "KSOutputRender.h"
#include "KSPictureLimits.h"
#include "KSSizePresets.h"
#include "ToolFile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

namespace {

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

// "12", "12px" or "1.5%"; nothing for anything else or a negative number.
std::optional<KSCutOptions::Length> lengthFromText(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?|\\.\\d+)\\s*(%|px)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    KSCutOptions::Length length;
    length.value = match.captured(1).toDouble();
    length.percent = match.captured(2) == QLatin1String("%");
    return length;
}

// A number from `low` to `high`; nothing otherwise.
std::optional<double> numberFromText(const QString &text, double low, double high)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !(value >= low && value <= high))
        return std::nullopt;
    return value;
}

bool isJpegName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

// The first broken rule of a parsed command, or an empty text.
QString usageError(const KSCutOptions &options)
{
    if (options.photos.isEmpty())
        return QStringLiteral("no photo given");
    if (!KSEraserTypeFromRawValue(options.type))
        return QStringLiteral("--type must be person or object");
    if (options.out.isEmpty() == options.outDir.isEmpty())
        return QStringLiteral("give either --out FILE or --out-dir DIR");
    if (!options.out.isEmpty() && options.photos.size() > 1)
        return QStringLiteral("--out takes one photo; use --out-dir for several");
    // A JPEG cannot be transparent; PNG bytes under a .jpg name would mislead.
    if (!options.out.isEmpty() && isJpegName(options.out) && options.outputFormat() != QLatin1String("jpg"))
        return QStringLiteral("a JPEG needs --background with a colour or blur, or --background-image; name the file .png for transparency");
    if (options.sheet && !options.preset.hasPrintSize())
        return QStringLiteral("--sheet needs --size with a printed size (an ID size such as OverseaInch1, or Custom "
                              "in mm or in)");
    // Known from the printed size alone: nothing to cut out for a sheet that
    // cannot hold the photo.
    if (options.sheet) {
        if (const QString why = KSPrintSheet::whyNoCopyFits(*options.sheet, options.preset.printSizeMm); !why.isEmpty())
            return QStringLiteral("--sheet: ") + why;
    }
    // Bytes that are no UTF-8 arrive as replacement characters: a file or
    // folder made under that name would not be the one asked for.
    if (options.outDir.contains(QChar::ReplacementCharacter))
        return QStringLiteral("--out-dir: the name %1 is not valid UTF-8").arg(options.outDir);
    if (!options.out.isEmpty()) {
        if (options.out.contains(QChar::ReplacementCharacter))
            return QStringLiteral("--out: the name %1 is not valid UTF-8").arg(options.out);
        if (const QString why = KSOutputClaim::nameProblem(QFileInfo(options.out).fileName()); !why.isEmpty())
            return QStringLiteral("--out: ") + why;
    }
    return {};
}

// Why the custom size the settings hold cannot be --size Custom, or an
// empty text. Without this check the default size would stand in for it.
QString customSizeProblem()
{
    const std::optional<KSCustomSize> stored = KSCustomSize::stored();
    if (!stored || stored->pixelSize())
        return {};
    QString size = QStringLiteral("%1 x %2 %3")
                       .arg(stored->width, 0, 'g', 6)
                       .arg(stored->height, 0, 'g', 6)
                       .arg(KSCustomSize::unitName(stored->unit));
    if (stored->unit != KSCustomSize::Unit::px)
        size += QStringLiteral(" at %1 dpi").arg(stored->dpi);
    return QStringLiteral("--size Custom: the custom size in the settings, %1, is not a size Cutora renders "
                          "(at most %2, at %3 to %4 dpi); choose another in the editor's size panel")
        .arg(size, KSOutputRender::limitsText())
        .arg(KSCustomSize::kMinDpi)
        .arg(KSCustomSize::kMaxDpi);
}

bool isWritableFolder(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

} // namespace

std::optional<KSCutOptions> KSCutOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    // Only long options; "-cut" is no option of ours.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption cut(QStringLiteral("cut"), QString(), QStringLiteral("PHOTO"));
    const QCommandLineOption type(QStringLiteral("type"), QString(), QStringLiteral("TYPE"));
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption outDir(QStringLiteral("out-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption background(QStringLiteral("background"), QString(), QStringLiteral("BG"));
    const QCommandLineOption backgroundImage(QStringLiteral("background-image"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption shadow(QStringLiteral("shadow"), QString(), QStringLiteral("SHADOW"));
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("SIZE"));
    const QCommandLineOption fit(QStringLiteral("fit"), QString(), QStringLiteral("FIT"));
    const QCommandLineOption margin(QStringLiteral("margin"), QString(), QStringLiteral("PERCENT"));
    const QCommandLineOption sheet(QStringLiteral("sheet"), QString(), QStringLiteral("PAPER"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    parser.addOptions({cut, type, out, outDir, background, backgroundImage, shadow, size, fit, margin, sheet, verbose});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }

    KSCutOptions options;
    // Everything that is no option belongs to --cut, so that a shell glob
    // (--cut *.jpg) works.
    options.photos = parser.values(cut) + parser.positionalArguments();
    options.type = parser.value(type);
    options.out = parser.value(out);
    options.outDir = parser.value(outDir);
    options.verbose = parser.isSet(verbose);
    if (parser.isSet(background)) {
        const QString text = parser.value(background);
        if (text.startsWith(QLatin1String("blur"), Qt::CaseInsensitive)) {
            if (!options.parseBlur(text, error))
                return std::nullopt;
        } else {
            const std::optional<KSColor> colour = backgroundFromText(text);
            if (!colour) {
                *error = QStringLiteral("--background needs a colour '#RRGGBB', transparent, or blur[:RADIUS]");
                return std::nullopt;
            }
            options.background = *colour;
        }
    }
    if (parser.isSet(backgroundImage)) {
        if (parser.isSet(background)) {
            *error = QStringLiteral("--background-image takes the place of --background: give one of them");
            return std::nullopt;
        }
        options.backgroundImage = parser.value(backgroundImage);
        // Known before any cut-out is made: a picture that cannot be read.
        const KSImageLoader::SizeResult probe = KSImageLoader::readSize(options.backgroundImage);
        if (options.backgroundImage.isEmpty() || QFileInfo(options.backgroundImage).isDir() || !probe.ok()) {
            *error = QStringLiteral("--background-image: cannot read the picture %1%2")
                         .arg(options.backgroundImage, probe.error.isEmpty() ? QString() : QStringLiteral(": ") + probe.error);
            return std::nullopt;
        }
    }
    if (parser.isSet(shadow) && !options.parseShadow(parser.value(shadow), error))
        return std::nullopt;
    if (parser.isSet(size)) {
        const std::optional<KSEditChangeSizeItem> preset = presetFromText(parser.value(size));
        if (!preset) {
            *error = QStringLiteral("--size needs WxH in pixels (at most %1) or a size preset")
                         .arg(KSOutputRender::limitsText());
            return std::nullopt;
        }
        if (preset->isCustom) {
            *error = customSizeProblem();
            if (!error->isEmpty())
                return std::nullopt;
        }
        options.preset = *preset;
        options.size = QSizeF(double(preset->width), double(preset->height));
        options.sizeGiven = true;
    }
    if (parser.isSet(fit)) {
        const std::optional<KSFitMode> mode = KSFraming::fitModeFromName(parser.value(fit));
        if (!mode) {
            *error = QStringLiteral("--fit needs subject or photo");
            return std::nullopt;
        }
        options.fit = *mode;
    }
    if (parser.isSet(margin)) {
        bool number = false;
        const double percent = parser.value(margin).trimmed().remove(QLatin1Char('%')).toDouble(&number);
        if (!number || !(percent >= 0) || percent > KSFramingGeometry::kMaxMargin * 100) {
            *error = QStringLiteral("--margin needs a percentage from 0 to %1").arg(KSFramingGeometry::kMaxMargin * 100);
            return std::nullopt;
        }
        options.margin = percent / 100;
    }
    if (parser.isSet(sheet)) {
        options.sheet = KSPrintSheet::paperFromName(parser.value(sheet));
        if (!options.sheet) {
            *error = QStringLiteral("--sheet needs 4x6, A6 or A4");
            return std::nullopt;
        }
    }
    *error = usageError(options);
    if (!error->isEmpty())
        return std::nullopt;
    return options;
}

std::optional<QSizeF> KSCutOptions::sizeFromText(const QString &text)
{
    const std::optional<KSEditChangeSizeItem> preset = presetFromText(text);
    if (!preset)
        return std::nullopt;
    return QSizeF(double(preset->width), double(preset->height));
}

std::optional<KSEditChangeSizeItem> KSCutOptions::presetFromText(const QString &text)
{
    static const QRegularExpression pixels(QStringLiteral("^\\s*(\\d{1,6})\\s*[xX]\\s*(\\d{1,6})\\s*(px)?\\s*$"));
    const QRegularExpressionMatch match = pixels.match(text);
    if (!match.hasMatch())
        return KSSizePresets::findItem(text);
    const double w = match.captured(1).toDouble();
    const double h = match.captured(2).toDouble();
    // A side of no pixels describes no picture (without --size the photo
    // keeps its own size).
    if (!KSOutputRender::withinLimits(QSizeF(w, h)))
        return std::nullopt;
    KSEditChangeSizeItem preset;
    preset.width = qint64(w);
    preset.height = qint64(h);
    return preset;
}

QString KSCutOptions::usage()
{
    return QStringLiteral(
        "usage: cutora --cut PHOTO... --type person|object (--out FILE | --out-dir DIR)\n"
        "              [--background '#RRGGBB'|transparent|blur[:RADIUS]]\n"
        "              [--background-image FILE] [--shadow contact|drop[:OPTIONS]]\n"
        "              [--size WxH|PRESET] [--fit subject|photo] [--margin PERCENT]\n"
        "              [--sheet 4x6|A6|A4]\n"
        "  Cuts the subject out of each photo and writes it as the editor saves it.\n"
        "  Photos may be %1 files.\n"
        "  --out FILE         the picture for a single photo: a JPEG when FILE ends in .jpg\n"
        "                     and a colour, a picture or blur is behind, else a PNG\n"
        "  --out-dir DIR      a folder for the PNGs, named after the photos; a name\n"
        "                     already there gets (1), (2)... and is never replaced\n"
        "  --background BG    a colour such as '#FFFFFF', transparent (the default), or\n"
        "                     blur[:RADIUS]: the photo's own backdrop blurred, RADIUS in\n"
        "                     pixels of the written picture or N% of its shorter side\n"
        "  --background-image FILE\n"
        "                     a picture behind the subject, covering the picture\n"
        "  --shadow SHADOW    contact[:darkness=D;softness=S;size=W]: a soft shadow at\n"
        "                     the subject's base (D and S from 0 to 1, W times the\n"
        "                     footprint's width); drop[:offset=X,Y;blur=B;opacity=O]:\n"
        "                     the silhouette moved and blurred (X, Y and B in pixels,\n"
        "                     or N% of the subject's height); quote it for the shell\n"
        "  --size SIZE        WxH in pixels, or a preset of the editor's size panel\n"
        "                     (for example 1Inch, OverseaInch1, 1000x1000px, Custom);\n"
        "                     without it the photo keeps its own size\n"
        "  --fit FIT          subject (the default): the size framed round the subject\n"
        "                     with a margin, and for ID sizes round the face by the\n"
        "                     size's rule; photo: the photo's middle at that size\n"
        "  --margin PERCENT   the margin round the subject, in percent of the frame's\n"
        "                     shorter side (default 5)\n"
        "  --sheet PAPER      copies of an ID or printed size on a 4x6, A6 or A4 sheet\n"
        "                     at 300 dpi with cut lines, instead of one picture\n"
        "  --verbose          also print the log on the terminal\n"
        "  Standard output lists each written file on a line of its own; a backslash or a\n"
        "  control character in a name is written as \\\\, \\n, \\t, \\r or \\0NNN (octal),\n"
        "  which printf '%b' turns back.")
        .arg(KSPictureLimits::photoFormatNames());
}

bool KSCutOptions::opaqueBackground() const
{
    return blur || !backgroundImage.isEmpty() || !(background == KSClear_Color());
}

QString KSCutOptions::outputFormat() const
{
    return opaqueBackground() && !out.isEmpty() && isJpegName(out) ? QStringLiteral("jpg") : QStringLiteral("png");
}

bool KSCutOptions::parseBlur(const QString &text, QString *error)
{
    static const QRegularExpression form(QStringLiteral("^blur(?::(.*))?$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        *error = QStringLiteral("--background needs blur or blur:RADIUS");
        return false;
    }
    blur = true;
    blurRadius.reset();
    if (match.hasCaptured(1)) {
        const std::optional<Length> radius = lengthFromText(match.captured(1));
        constexpr double kMaxRadiusPixels = 5000;
        if (!radius || (radius->percent && radius->value > KSEditBackground::kMaxBlur * 100)
            || (!radius->percent && radius->value > kMaxRadiusPixels)) {
            *error = QStringLiteral("--background blur:RADIUS needs a radius in pixels (0 to %1) or in percent of the "
                                    "picture's shorter side (0% to %2%)")
                         .arg(kMaxRadiusPixels)
                         .arg(KSEditBackground::kMaxBlur * 100);
            return false;
        }
        blurRadius = radius;
    }
    return true;
}

bool KSCutOptions::parseShadow(const QString &text, QString *error)
{
    static const QRegularExpression form(QStringLiteral("^(contact|drop)(?::(.*))?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch()) {
        *error = QStringLiteral("--shadow needs contact or drop, optionally followed by :KEY=VALUE;...");
        return false;
    }
    const bool contact = match.captured(1).compare(QLatin1String("contact"), Qt::CaseInsensitive) == 0;
    shadow = contact ? KSEditShadow::contact() : KSEditShadow::drop();
    const QStringList entries = match.captured(2).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const auto refuse = [error](const QString &why) {
        *error = QStringLiteral("--shadow: ") + why;
        return false;
    };
    for (const QString &entry : entries) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        const QString key = entry.left(equals).trimmed().toLower();
        const QString value = equals < 0 ? QString() : entry.mid(equals + 1).trimmed();
        if (equals < 0)
            return refuse(QStringLiteral("%1 needs a value (KEY=VALUE)").arg(entry.trimmed()));
        if (contact) {
            std::optional<double> number;
            if (key == QLatin1String("darkness") || key == QLatin1String("softness")) {
                number = numberFromText(value, 0.0, 1.0);
                if (!number)
                    return refuse(QStringLiteral("%1 needs a number from 0 to 1").arg(key));
                (key == QLatin1String("darkness") ? shadow.darkness : shadow.softness) = *number;
            } else if (key == QLatin1String("size")) {
                number = numberFromText(value, KSEditShadow::kMinContactSize, KSEditShadow::kMaxContactSize);
                if (!number)
                    return refuse(QStringLiteral("size needs a number from %1 to %2 (times the footprint's width)")
                                      .arg(KSEditShadow::kMinContactSize)
                                      .arg(KSEditShadow::kMaxContactSize));
                shadow.size = *number;
            } else {
                return refuse(QStringLiteral("a contact shadow takes darkness, softness and size, not %1").arg(key));
            }
            continue;
        }
        if (key == QLatin1String("offset")) {
            const QStringList parts = value.split(QLatin1Char(','));
            // An offset may point left or up: the sign is read apart.
            std::optional<Length> x;
            std::optional<Length> y;
            bool negativeX = false;
            bool negativeY = false;
            if (parts.size() == 2) {
                QString px = parts.at(0).trimmed();
                QString py = parts.at(1).trimmed();
                negativeX = px.startsWith(QLatin1Char('-'));
                negativeY = py.startsWith(QLatin1Char('-'));
                x = lengthFromText(negativeX ? px.mid(1) : px);
                y = lengthFromText(negativeY ? py.mid(1) : py);
            }
            if (!x || !y)
                return refuse(QStringLiteral("offset needs X,Y in pixels (or percent of the subject's height)"));
            if (negativeX)
                x->value = -x->value;
            if (negativeY)
                y->value = -y->value;
            dropOffsetX = x;
            dropOffsetY = y;
        } else if (key == QLatin1String("blur")) {
            const std::optional<Length> length = lengthFromText(value);
            if (!length)
                return refuse(QStringLiteral("blur needs a radius in pixels (or percent of the subject's height)"));
            dropBlur = length;
        } else if (key == QLatin1String("opacity")) {
            const std::optional<double> number = numberFromText(value, 0.0, 1.0);
            if (!number)
                return refuse(QStringLiteral("opacity needs a number from 0 to 1"));
            shadow.opacity = *number;
        } else {
            return refuse(QStringLiteral("a drop shadow takes offset, blur and opacity, not %1").arg(key));
        }
    }
    return true;
}

QString KSCutOptions::outputProblem() const
{
    if (!out.isEmpty()) {
        const QFileInfo file(out);
        if (file.isDir())
            return QStringLiteral("--out: %1 is a folder; give a file name, or use --out-dir").arg(out);
        const QFileInfo folder(file.absolutePath());
        if (!folder.exists())
            return QStringLiteral("--out: the folder %1 does not exist").arg(folder.filePath());
        if (!folder.isDir())
            return QStringLiteral("--out: %1 is not a folder").arg(folder.filePath());
        if (!isWritableFolder(folder.filePath()))
            return QStringLiteral("--out: cannot write into the folder %1").arg(folder.filePath());
        return {};
    }
    const QFileInfo folder(outDir);
    if (folder.exists() && !folder.isDir())
        return QStringLiteral("--out-dir: %1 is a file, not a folder").arg(outDir);
    if (folder.exists() && !isWritableFolder(outDir))
        return QStringLiteral("--out-dir: cannot write into the folder %1").arg(outDir);
    return {};
}

std::optional<KSOutputClaim> KSCutOptions::claimOutput(const QString &photo, QString *error) const
{
    if (!out.isEmpty())
        return KSOutputClaim::replacing(QFileInfo(out).absoluteFilePath(), error);
    // Two photos of one name (a.jpg, a.heic), a PNG photo in the output
    // folder itself, or another command writing there: each finds the name
    // taken and goes on to a(1).png, a(2).png...
    return KSOutputClaim::claimFreeName(QDir(outDir).absolutePath(), QFileInfo(photo).completeBaseName(),
                                        QStringLiteral("png"), error);
}

QString KSCutOptions::listedPath(const QString &path)
{
    QString listed;
    listed.reserve(path.size());
    for (const QChar c : path) {
        switch (c.unicode()) {
        case u'\\': listed += QStringLiteral("\\\\"); break;
        case u'\n': listed += QStringLiteral("\\n"); break;
        case u'\t': listed += QStringLiteral("\\t"); break;
        case u'\r': listed += QStringLiteral("\\r"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                listed += QStringLiteral("\\0%1").arg(c.unicode(), 3, 8, QLatin1Char('0'));
            else
                listed += c;
        }
    }
    return listed;
}
