#pragma once

#include "KSHeadMeasures.h"
#include "KSIdPhotoRule.h"

#include <QList>
#include <QRectF>
#include <QSizeF>

#include <optional>

// Where a size preset's frame lies on the photo, kept free of widgets: the
// subject fit, the ID placement from a head's measures and the guide drawn
// over an ID frame. Photo rectangles are in the photo's pixels, origin
// top-left, y downwards; a frame may reach beyond the photo, where the
// background fills.
namespace KSFramingGeometry {

// The largest margin, as a share of the frame's shorter side: beyond it no
// subject is left to show.
inline constexpr double kMaxMargin = 0.45;
// An ID placement may enlarge the head at most this much; a smaller head
// would print blurred.
inline constexpr double kMaxIdEnlargement = 2.0;

// The frame of `proportions` round `subject` that keeps `margin` (a share of
// the frame's shorter side, clamped to 0..kMaxMargin) free on the subject's
// whole sides. A side in `cutEdges` (where the photo cut the subject off)
// lies on the frame's edge instead, so that no band of background shows
// beyond a cut; a subject cut on two opposite sides fills that dimension.
// When not everything holds, the cut sides win, then the whole sides with
// their margin (the frame then crops into a cut side), then centring.
// Without cut sides: centred, just large enough for the margin all round.
// Empty for an empty subject or proportions.
[[nodiscard]] QRectF subjectFrame(const QRectF &subject, const QSizeF &proportions, double margin,
                                  Qt::Edges cutEdges = {});

// `rect` moved from the frame `from` into the frame `to`, scaled with it:
// where a subject lands on the canvas when `from` is shown in `to`. Empty
// for an empty `from`.
[[nodiscard]] QRectF mapBetweenFrames(const QRectF &rect, const QRectF &from, const QRectF &to);

// What the face finder measured of one head, in photo pixels.
using HeadMeasures = KSHeadMeasures;

struct IdPlacement
{
    QRectF frame; // in photo pixels, of the printed size's proportions
    // Output pixels per photo pixel when the frame is saved at outputHeight.
    double enlargement = 0;
    [[nodiscard]] bool headTooSmall() const { return enlargement > kMaxIdEnlargement; }
};

// The frame that puts the head at the middle of the rule's height range and
// the eye line (or the crown) at the middle of its range, centred on the
// head. None for a head without height or a printed size without area.
[[nodiscard]] std::optional<IdPlacement> idFrame(const HeadMeasures &head, const KSIdPhotoRule &rule,
                                                 const QSizeF &printSizeMm, double outputHeight);

// `placement` moved up, then its head enlarged, as far as the rule's ranges
// and kMaxIdEnlargement allow, so that its bottom edge comes up to `bottom`
// (where the photo cut the body off) and no band of background shows under
// the body; the rule wins where both cannot hold. As it is when its bottom
// is already at or above `bottom`.
[[nodiscard]] IdPlacement raisedIdFrame(const IdPlacement &placement, const HeadMeasures &head,
                                        const KSIdPhotoRule &rule, const QSizeF &printSizeMm, double outputHeight,
                                        double bottom);

// The head as it prints in `frame`, in millimetres: its height, the eye
// line above the bottom edge and the crown below the top edge.
struct PrintedHead
{
    double headMm = 0;
    double eyeLineFromBottomMm = 0;
    double crownFromTopMm = 0;
};
[[nodiscard]] PrintedHead printedHead(const HeadMeasures &head, const QRectF &frame, const QSizeF &printSizeMm);

// Whether a printed head keeps the rule (within `toleranceMm` of each range).
[[nodiscard]] bool meetsRule(const PrintedHead &head, const KSIdPhotoRule &rule, double toleranceMm = 0.0);

// The guide drawn over an ID frame, in shares of the frame (0..1, origin
// top-left): the head's oval at the rule's middle height, the band in which
// the eye line (or the crown) may lie, and the line the placement aims at.
struct IdGuide
{
    QRectF headOval;
    double bandTop = 0;
    double bandBottom = 0;
    double targetLine = 0;
    bool bandIsEyeLine = true;
};
[[nodiscard]] IdGuide idGuide(const KSIdPhotoRule &rule, const QSizeF &printSizeMm);

} // namespace KSFramingGeometry
