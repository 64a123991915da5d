#include "KSPaintKit.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

void KSPaintKit::fillRoundedRect(QPainter &painter, const QRectF &rect, double radius,
                                 const QColor &fill, const QColor &border, double borderWidth)
{
    const bool hasFill = fill.isValid() && fill.alpha() > 0;
    const bool hasBorder = border.isValid() && border.alpha() > 0 && borderWidth > 0.0;
    if ((!hasFill && !hasBorder) || rect.isEmpty())
        return;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, radius > 0.0);
    const double maxRadius = std::min(rect.width(), rect.height()) / 2.0;
    const double r = std::clamp(radius, 0.0, maxRadius);

    if (hasFill) {
        QPainterPath path;
        path.addRoundedRect(rect, r, r);
        painter.fillPath(path, fill);
    }
    if (hasBorder) {
        // Stroke the centre line half a width inside, so the whole line is visible.
        const double inset = borderWidth / 2.0;
        const QRectF line = rect.adjusted(inset, inset, -inset, -inset);
        const double lineRadius = std::max(0.0, r - inset);
        QPen pen(border, borderWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.drawRoundedRect(line, lineRadius, lineRadius);
    }
    painter.restore();
}
