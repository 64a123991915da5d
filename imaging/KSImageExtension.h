#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// Operations on pictures that the rest of the application treats as part of
// the image type itself. Every picture this application makes has a point
// size equal to its pixel size, so the sizes below are pixels; fractional
// sizes are rounded to the nearest whole pixel (at least one).
class KSImageExtension
{
public:
    // A new picture of exactly `size` holding the whole picture stretched to
    // it (smooth interpolation); a null picture for a null input or an empty,
    // negative or non-finite size. An input that already has the size comes
    // back unchanged (shared, not copied).
    [[nodiscard]] static QImage resizeWithNewSize(const QImage &image, const QSizeF &size);
    [[nodiscard]] static QImage adjuectWithNewSize(const QImage &image, const QSizeF &size);

    // The pixels inside `rect` (origin top-left): the rectangle is widened to
    // whole pixels, so every pixel it touches is kept, then clipped to the
    // picture. Null when nothing of the picture is inside.
    [[nodiscard]] static QImage cropImageWithRect(const QImage &image, const QRectF &rect);

    // Mirrored left to right; same size.
    [[nodiscard]] static QImage flipImage(const QImage &image);

    // Scaled by `scale` in both directions; null for a factor that is not a
    // positive finite number.
    [[nodiscard]] static QImage scaleImage(const QImage &image, double scale);

    // Rounds a size in points to whole pixels, or an invalid size when it
    // cannot describe a picture.
    [[nodiscard]] static QSize pixelSize(const QSizeF &size);
};
