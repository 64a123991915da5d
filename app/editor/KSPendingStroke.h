#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// A smart stroke as drawn, shown over the picture until its result is in.
struct KSPendingStroke
{
    quint64 id = 0;
    QList<QPointF> points; // picture pixels
    double radius = 0;     // picture pixels
    bool keep = false;     // keeps what it marks, or erases it

    // The picture pixels the drawn stroke covers.
    [[nodiscard]] QRectF bounds() const
    {
        QRectF united;
        for (const QPointF &p : points)
            united |= QRectF(p.x() - radius, p.y() - radius, 2 * radius, 2 * radius);
        return united;
    }
};
