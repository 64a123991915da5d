#pragma once

#include <QImage>
#include <QSize>
#include <QTransform>

// The pixel work behind a backdrop: the photo with the subject's area
// filled from its surroundings (so that a blur carries none of the
// subject's colours), a Gaussian blur, and a picture drawn through an
// affine transform with its edges mirrored beyond. Any thread; null
// results on failure (out of memory).
namespace KSBackdropFill {

// Above this mask level a pixel belongs to the subject.
inline constexpr int kSubjectLevel = 8;

// `colours` (32-bit; alpha ignored) reduced to `size` (at most their own),
// with the area where `mask` (Grayscale8 of the colours' size) is above
// kSubjectLevel, widened by `margin` pixels of `size`, filled from the
// pixels round it (a pyramid's push and pull, weighted by the inverse
// mask). Format_RGB32. A mask that covers everything gives the mean colour.
[[nodiscard]] QImage filled(const QImage &colours, const QImage &mask, const QSize &size, int margin = 2);

// `picture` (Format_RGB32, ARGB32_Premultiplied or Grayscale8) blurred with
// a Gaussian of `sigma` pixels, its edges mirrored; the picture itself for
// sigma below a third of a pixel.
[[nodiscard]] QImage blurred(const QImage &picture, double sigma);

// `source` (Format_RGB32) drawn into a picture of `size` through
// `transform`, which maps source coordinates to the target's (pixel edges
// at whole numbers): bilinear, reduced by area first where it shrinks by
// more than half, and mirrored beyond the source's edges so that every
// target pixel gets a colour. Format_RGB32.
[[nodiscard]] QImage warped(const QImage &source, const QTransform &transform, const QSize &size);

} // namespace KSBackdropFill
