#pragma once

#include "KSColor.h"
#include "KSColorConst.h"
#include "KSImageWriter.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// `cutora --cut PHOTO... --type person|object (--out FILE | --out-dir DIR)
// [--background '#RRGGBB'|transparent] [--size WxH|PRESET]`: cuts photos out
// without a display, through the same job, protocol and service as the
// application, places each cut-out on the background at the size as the
// editor's save does, and writes it as a PNG (a JPEG for a colour and an
// --out FILE ending in .jpg).
class KSCutCommand
{
public:
    struct Options
    {
        QStringList photos;
        QString type;   // "person" or "object"
        QString out;    // one output file, for one photo
        QString outDir; // or a folder for any number of photos
        bool verbose = false;
        KSColor background = KSClear_Color(); // the clear colour: transparent
        QSizeF size;                          // a size preset in pixels; (0, 0) keeps the photo's size
    };

    // "jpg" when a colour is chosen and --out names a .jpg or .jpeg file,
    // else "png".
    [[nodiscard]] static QString outputFormat(const Options &options);

    // A size in pixels from "WxH" (also "WxHpx"; "0x0" is the photo's own
    // size) or from the name of a preset of the editor's size panel, in
    // either certificate list; nothing for anything else.
    [[nodiscard]] static std::optional<QSizeF> sizeFromText(const QString &text);

    // The picture the editor's save would make of the whole cut-out with the
    // chosen background and size, at full resolution.
    [[nodiscard]] static QImage renderCutout(const QImage &cutout, const Options &options);

    // renderCutout() encoded in outputFormat() and written atomically to path.
    [[nodiscard]] static KSImageWriter::Result exportCutout(const QImage &cutout, const Options &options,
                                                            const QString &path);

    // Reads the arguments; on a usage error returns nothing and sets error.
    [[nodiscard]] static std::optional<Options> parse(const QStringList &arguments, QString *error);

    // Where the cut-out of photo goes; taken names are not reused within a run.
    [[nodiscard]] static QString outputPathFor(const Options &options, const QString &photo,
                                               const QStringList &taken);

    // Runs the whole command under the application object the caller made;
    // returns the process exit code (0 all written, 1 some failed, 2 usage).
    static int run(const QStringList &arguments);

    static QString usage();
};
