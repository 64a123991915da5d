#include "KSBrushStamp.h"

#include <QRectF>

#include <algorithm>
#include <cmath>

namespace KSBrushStamp {

double softBand(double radius, double softness)
{
    return std::max(1.0, std::clamp(softness, 0.0, 1.0) * radius);
}

double coverage(double distance, double radius, double softness)
{
    if (!(radius > 0) || distance >= radius)
        return 0.0;
    const double t = std::min(1.0, (radius - distance) / softBand(radius, softness));
    return t * t * (3.0 - 2.0 * t);
}

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF ab = b - a;
    const double lengthSquared = QPointF::dotProduct(ab, ab);
    double t = 0.0;
    if (lengthSquared > 0)
        t = std::clamp(QPointF::dotProduct(p - a, ab) / lengthSquared, 0.0, 1.0);
    const QPointF nearest = a + t * ab;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

QRect segmentBounds(const QPointF &a, const QPointF &b, double radius, const QSize &size)
{
    if (!(radius > 0) || !std::isfinite(radius) || size.isEmpty())
        return {};
    const double left = std::min(a.x(), b.x()) - radius;
    const double top = std::min(a.y(), b.y()) - radius;
    const double right = std::max(a.x(), b.x()) + radius;
    const double bottom = std::max(a.y(), b.y()) + radius;
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom))
        return {};
    // Pixel x is touched when its centre x + 0.5 lies inside (left, right).
    const double limit = 1e7;
    const int x0 = int(std::floor(std::clamp(left - 0.5, -1.0, limit)));
    const int y0 = int(std::floor(std::clamp(top - 0.5, -1.0, limit)));
    const int x1 = int(std::ceil(std::clamp(right - 0.5, -1.0, limit)));
    const int y1 = int(std::ceil(std::clamp(bottom - 0.5, -1.0, limit)));
    return QRect(QPoint(x0, y0), QPoint(x1, y1)).intersected(QRect(QPoint(0, 0), size));
}

} // namespace KSBrushStamp
