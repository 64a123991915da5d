#pragma once

#include <QImage>
#include <QPixmap>
#include <QSizeF>

// The image operations the views use, on screen pictures. Sizes are in
// points; a QPixmap result is rendered at KSImageDevicePixelRatio(), so a
// 20 x 20 avatar stays crisp on a HiDPI screen.
class KSPixmapExtension
{
public:
    // A picture of exactly `size` points holding the whole picture stretched
    // to it; null for a null picture or a size that is empty or not finite.
    [[nodiscard]] static QPixmap adjuectWithNewSize(const QPixmap &image, const QSizeF &size);

    // The picture's centred square cut to a circle with a smooth edge;
    // transparent outside the circle, null for a null picture.
    [[nodiscard]] static QImage squareCircleImage(const QImage &image);
    [[nodiscard]] static QPixmap squareCircleImage(const QPixmap &image);
};
