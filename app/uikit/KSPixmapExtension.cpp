#include "KSPixmapExtension.h"

#include "KSImageExtension.h"
#include "KSImageNamed.h"

#include <QPainter>
#include <algorithm>

QPixmap KSPixmapExtension::adjuectWithNewSize(const QPixmap &image, const QSizeF &size)
{
    if (image.isNull())
        return QPixmap();
    const qreal ratio = KSImageDevicePixelRatio();
    const QImage scaled = KSImageExtension::adjuectWithNewSize(image.toImage(), size * ratio);
    if (scaled.isNull())
        return QPixmap();
    QPixmap result = QPixmap::fromImage(scaled);
    result.setDevicePixelRatio(ratio);
    return result;
}

QImage KSPixmapExtension::squareCircleImage(const QImage &image)
{
    if (image.isNull())
        return QImage();
    const int side = std::min(image.width(), image.height());
    QImage result(side, side, QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(image.devicePixelRatio());
    result.fill(Qt::transparent);

    // Fill a circle with the picture as its brush: unlike a clip path, the
    // edge of a filled ellipse is antialiased.
    QBrush brush(image);
    brush.setTransform(QTransform::fromTranslate(-(image.width() - side) / 2.0, -(image.height() - side) / 2.0));
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    // The brush works in device pixels; draw in them too.
    painter.scale(1.0 / result.devicePixelRatio(), 1.0 / result.devicePixelRatio());
    painter.drawEllipse(QRectF(0, 0, side, side));
    return result;
}

QPixmap KSPixmapExtension::squareCircleImage(const QPixmap &image)
{
    if (image.isNull())
        return QPixmap();
    QPixmap result = QPixmap::fromImage(squareCircleImage(image.toImage()));
    result.setDevicePixelRatio(image.devicePixelRatio());
    return result;
}
