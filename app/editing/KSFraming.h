#pragma once

#include "KSEditChangeSizeItem.h"
#include "KSFaceFinder.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// How a size preset frames the subject: around the subject's visible bounds
// with a margin, or the photo's centred part of the preset's proportions.
enum class KSFitMode { subject, photo };

// The one framing rule of the editor and the command line. The canvas is
// the cut-out itself (the photo's pixels); the preset's size frame on it is
// the largest rectangle of the preset's proportions, centred. Framing
// decides where the subject is drawn on that canvas so that the frame shows
// what the fit mode asks for. Widget-free.
namespace KSFraming {

inline constexpr double kDefaultMargin = 0.05;

enum class Notice {
    none,
    noFace,        // an ID size, and no face was found
    severalFaces,  // an ID size, and more than one face
    headTooSmall,  // an ID size, and the head would have to be enlarged too far
    finderFailed,  // the face finder could not run
};

struct Input
{
    QSizeF photoSize;     // the cut-out's pixels
    QRectF subjectBounds; // the subject's visible bounds in it
    // The subject's sides the photo cut off, as the subject is drawn
    // (mirrored included): a plain fit keeps them on the frame's edges.
    Qt::Edges cutEdges;
    KSEditChangeSizeItem preset;
    KSFitMode mode = KSFitMode::subject;
    double margin = kDefaultMargin; // share of the frame's shorter side
    // What the face finder found in the cut-out; none while it has not
    // answered (an ID size is then fitted plainly, without notice).
    std::optional<KSFaceFinder::Result> faces;
};

struct Result
{
    QRectF frame;       // the part of the photo the output shows, photo pixels
    QRectF canvasFrame; // the size frame on the canvas, canvas pixels
    QRectF subjectRect; // where the subject's bounds are drawn on the canvas
    Notice notice = Notice::none;
    // The head the ID placement used; none for a plain fit.
    std::optional<KSHeadMeasures> head;
};

[[nodiscard]] Result frame(const Input &input);

// Whether the preset places a head by a rule in this mode.
[[nodiscard]] bool placesHead(const KSEditChangeSizeItem &preset, KSFitMode mode);

// The notice as the user reads it, in the application's language; empty for none.
[[nodiscard]] QString noticeText(Notice notice);

// "subject" and "photo", as the command line writes them.
[[nodiscard]] QString fitModeName(KSFitMode mode);
[[nodiscard]] std::optional<KSFitMode> fitModeFromName(const QString &name);

// The editor's fit mode as the user last chose it (Fit subject when never).
[[nodiscard]] KSFitMode storedFitMode();
void storeFitMode(KSFitMode mode);

} // namespace KSFraming
