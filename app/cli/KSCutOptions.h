#pragma once

#include "KSColor.h"
#include "KSColorConst.h"
#include "KSEditChangeSizeItem.h"
#include "KSFraming.h"
#include "KSPrintSheet.h"

#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// The options of `cutora --cut PHOTO... --type person|object (--out FILE |
// --out-dir DIR) [--background '#RRGGBB'|transparent] [--size WxH|PRESET]
// [--fit subject|photo] [--margin PERCENT] [--sheet 4x6|A6|A4]`.
struct KSCutOptions
{
    QStringList photos;
    QString type;   // "person" or "object"
    QString out;    // one output file, for one photo
    QString outDir; // or a folder for any number of photos
    bool verbose = false;
    KSColor background = KSClear_Color(); // the clear colour: transparent
    QSizeF size;                          // a size preset in pixels; (0, 0) keeps the photo's size
    bool sizeGiven = false;               // --size was given: the framing applies
    KSEditChangeSizeItem preset;          // the preset --size named (its printed size and ID rule), or WxH
    KSFitMode fit = KSFitMode::subject;
    double margin = KSFraming::kDefaultMargin; // share of the frame's shorter side
    std::optional<KSPrintSheet::Paper> sheet;  // copies on a sheet instead of one picture

    // Reads the arguments (the program's name first); on a usage error
    // returns nothing and sets error.
    [[nodiscard]] static std::optional<KSCutOptions> parse(const QStringList &arguments, QString *error);

    // A size in pixels from "WxH" (also "WxHpx"; each side at least 1) or
    // from the name of a preset of the editor's size panel, in either
    // certificate list; nothing for anything else.
    [[nodiscard]] static std::optional<QSizeF> sizeFromText(const QString &text);
    // The preset of a size text: the panel's preset by name, or a plain size
    // in pixels without a printed size.
    [[nodiscard]] static std::optional<KSEditChangeSizeItem> presetFromText(const QString &text);

    static QString usage();

    // "jpg" when a colour is chosen and --out names a .jpg or .jpeg file,
    // else "png".
    [[nodiscard]] QString outputFormat() const;

    // Where the cut-out of photo goes; taken names are not reused within a run.
    [[nodiscard]] QString outputPathFor(const QString &photo, const QStringList &taken) const;
};
