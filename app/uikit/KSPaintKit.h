#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// Drawing shared by the kit's widgets: a filled and optionally stroked
// rounded rectangle whose border stays inside the given rectangle, so that
// a 1-point border is crisp and never clipped by the widget's edge.
class KSPaintKit
{
public:
    static void fillRoundedRect(QPainter &painter, const QRectF &rect, double radius,
                                const QColor &fill, const QColor &border, double borderWidth);
};
