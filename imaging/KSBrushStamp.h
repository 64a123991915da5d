#pragma once

#include <QPointF>
#include <QRect>
#include <QSize>

// The brush's footprint, in picture pixels. A pixel belongs to the brush by
// its centre (x + 0.5, y + 0.5): a brush of radius r covers the pixels whose
// centre lies nearer than r to the brush's centre, or to the line a stroke
// swept between two pointer positions.
namespace KSBrushStamp {

// The width of the soft edge inside the radius: `softness` (0..1) of the
// radius, but never under one pixel, so that a hard brush still has a
// smooth outline.
[[nodiscard]] double softBand(double radius, double softness);

// How much of a pixel the brush covers (0..1) at `distance` from its centre
// line: 1 up to radius - softBand, easing to 0 at the radius, 0 beyond.
[[nodiscard]] double coverage(double distance, double radius, double softness);

// The distance from p to the segment from a to b (to a when they are equal).
[[nodiscard]] double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b);

// The pixels a stroke from a to b may touch, clipped to a picture of `size`.
[[nodiscard]] QRect segmentBounds(const QPointF &a, const QPointF &b, double radius, const QSize &size);

} // namespace KSBrushStamp
