#pragma once

#include <QImage>
#include <QRect>

// Which sides of the subject the photo cut off: where its opaque pixels
// run along the cut-out's border. Framing keeps such a side on the frame's
// edge instead of floating it inside a margin. Widget-free, any thread.
namespace KSSubjectEdges {

// Alpha from which a mask pixel counts as the subject.
inline constexpr int kOpaqueAlpha = 128;
// How far inside the border (in lines) the subject may stop and still touch
// it: a refined matte may leave the outermost line soft.
inline constexpr int kBorderReach = 2;
// A cut needs at least this many opaque pixels along the border, and this
// share of the subject's extent along that side: a stray hair does not cut.
inline constexpr int kMinCutRun = 3;
inline constexpr double kMinCutShare = 0.03;
// ... and must keep at least this share of the subject's breadth a little
// inside (kInnerDepthShare of the subject's depth from the border, at least
// kMinInnerDepth lines): a round subject that merely grazes the border
// narrows towards it, a body cut by it does not.
inline constexpr double kKeptBreadthShare = 0.5;
inline constexpr double kInnerDepthShare = 0.05;
inline constexpr int kMinInnerDepth = 3;

// Whether a border run of `borderRun` opaque pixels cuts a subject whose
// breadth `innerDepth` lines inside is `innerRun`, `extent` pixels along the side.
[[nodiscard]] bool isCut(int borderRun, int innerRun, int extent);

// The sides of the subject within `bounds` (its visible bounds) that the
// border of `mask` (Format_Grayscale8, the cut-out's size) cuts; none for
// a null mask or empty bounds.
[[nodiscard]] Qt::Edges cutEdges(const QImage &mask, const QRect &bounds);

// `edges` as they lie once the subject is mirrored left to right.
[[nodiscard]] Qt::Edges mirrored(Qt::Edges edges);

} // namespace KSSubjectEdges
