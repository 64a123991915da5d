#pragma once

#include "KSColor.h"
#include "KSColorConst.h"
#include "KSEditChangeSizeItem.h"
#include "KSEditShadow.h"
#include "KSFraming.h"
#include "KSOutputClaim.h"
#include "KSPrintSheet.h"

#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// The options of `cutora --cut PHOTO... --type person|object (--out FILE |
// --out-dir DIR) [--background '#RRGGBB'|transparent|blur[:RADIUS]]
// [--background-image FILE] [--shadow contact|drop[:OPTIONS]]
// [--size WxH|PRESET] [--fit subject|photo] [--margin PERCENT]
// [--sheet 4x6|A6|A4]`.
struct KSCutOptions
{
    // A length as typed: pixels of the written picture, or a percentage of
    // what the option names (the picture's shorter side for the blur, the
    // subject's height for a drop shadow).
    struct Length
    {
        double value = 0;
        bool percent = false;
        // The length as a share of `basis` pixels.
        [[nodiscard]] double shareOf(double basis) const
        {
            return percent ? value / 100.0 : (basis > 0 ? value / basis : 0.0);
        }
        friend bool operator==(const Length &, const Length &) = default;
    };

    QStringList photos;
    QString type;   // "person" or "object"
    QString out;    // one output file, for one photo
    QString outDir; // or a folder for any number of photos
    bool verbose = false;
    KSColor background = KSClear_Color(); // the clear colour: transparent
    // --background blur: the photo's own backdrop blurred by this radius
    // (the Gaussian's sigma); none for the editor's default strength.
    bool blur = false;
    std::optional<Length> blurRadius;
    QString backgroundImage; // --background-image: a picture covering the frame
    // --shadow: the kind and its values; lengths typed for a drop shadow
    // are turned into shares once the subject's size is known.
    KSEditShadow shadow;
    std::optional<Length> dropOffsetX;
    std::optional<Length> dropOffsetY;
    std::optional<Length> dropBlur;
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

    // The parts of --shadow's text: "contact", "drop", or either followed by
    // ":" and KEY=VALUE entries split by ";" (contact: darkness, softness,
    // size; drop: offset=X,Y, blur, opacity). Sets the shadow and the typed
    // lengths; false with the reason (naming the option) otherwise.
    bool parseShadow(const QString &text, QString *error);
    // "blur" or "blur:RADIUS" (pixels, or N%); false when the text is no blur.
    bool parseBlur(const QString &text, QString *error);

    // Whether the photo itself is needed to render (its blurred backdrop).
    [[nodiscard]] bool needsPhoto() const { return blur; }
    // Whether the picture ends opaque whatever the subject: a colour, a
    // picture or the backdrop behind it.
    [[nodiscard]] bool opaqueBackground() const;

    // "jpg" when an opaque background is chosen (a colour, a picture, the
    // blurred photo) and --out names a .jpg or .jpeg file, else "png".
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
