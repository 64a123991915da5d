#pragma once

#include "KSColor.h"
#include "KSColorConst.h"
#include "KSEditChangeSizeItem.h"
#include "KSFraming.h"
#include "KSOutputClaim.h"
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

    // What keeps the output folder from taking files, naming the option:
    // --out's folder missing or no folder, --out itself a folder, --out-dir
    // a file, a folder that cannot be written. Empty when none; checked
    // before any job starts.
    [[nodiscard]] QString outputProblem() const;

    // The name the cut-out of photo gets, taken now: --out itself (replaced
    // once the picture is complete), or the first free name after the photo
    // in --out-dir, which no other save can take meanwhile (never the photo
    // itself, and never a name another command is writing).
    [[nodiscard]] std::optional<KSOutputClaim> claimOutput(const QString &photo, QString *error) const;

    // A written path as standard output lists it, one a line: a backslash
    // and any control character (a newline above all) as a backslash escape
    // (\\, \n, \t, \r, \0NNN in octal), which `printf '%b'` reverses.
    [[nodiscard]] static QString listedPath(const QString &path);
};
