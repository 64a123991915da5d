#pragma once

#include <QImage>
#include <QRectF>

// Finds where the visible subject of a cut-out lies, so that the editor can
// crop the transparent margin away.
class KSCutImageAlpha
{
public:
    // Alpha at or above this counts as visible.
    static constexpr int kVisibleAlpha = 6;

    // The smallest rectangle (pixels, origin top-left) holding every visible
    // pixel, outermost ones included. A picture without an alpha channel, or
    // with no visible pixel at all, gets its whole rectangle, so the result
    // can always be cropped to. A null picture gives the zero rectangle.
    [[nodiscard]] static QRectF getProperImage(const QImage &picture);

    // The bounds scan over a raw bitmap with `bytesPerPixel` 1 (alpha only),
    // 3 (no alpha: every pixel visible) or 4 (alpha in the last byte).
    // Writes x, y, width, height into `rect` and returns 0, or returns -1
    // and leaves `rect` alone for malformed arguments or when nothing is
    // visible.
    [[nodiscard]] static int visibleBounds(const unsigned char *bitmap, int width, int height, int bytesPerPixel,
                                           int bytesPerRow, int rect[4]);
};
