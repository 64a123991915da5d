#include "KSEditGeometry.h"

#include <algorithm>
#include <cmath>

namespace KSEditGeometry {

namespace {

bool validScale(double scale)
{
    return scale > 0 && std::isfinite(scale);
}

bool hasArea(const QSizeF &size)
{
    return size.width() > 0 && size.height() > 0 && std::isfinite(size.width()) && std::isfinite(size.height());
}

} // namespace

double fitScale(const QSizeF &container, const QSizeF &content)
{
    if (!hasArea(content))
        return 0.0;
    return std::min(container.width() / content.width(), container.height() / content.height());
}

QRectF fitRect(const QSizeF &container, const QSizeF &content)
{
    const QSizeF fitted = content * fitScale(container, content);
    return QRectF(QPointF((container.width() - fitted.width()) / 2, (container.height() - fitted.height()) / 2),
                  fitted);
}

std::optional<CanvasFit> canvasFit(const QSizeF &frame, const QSizeF &imageSize)
{
    if (!(frame.width() > 0 && imageSize.width() > 0))
        return std::nullopt;
    return CanvasFit{fitScale(frame, imageSize), fitRect(frame, imageSize)};
}

QRectF dragViewFrame(const QRectF &subjectRect, double scale)
{
    return QRectF(subjectRect.x() * scale - kDragMargin, subjectRect.y() * scale - kDragMargin,
                  subjectRect.width() * scale + 2 * kDragMargin, subjectRect.height() * scale + 2 * kDragMargin);
}

QRectF subjectRect(const QRectF &dragFrame, double scale)
{
    if (!validScale(scale))
        return {};
    return QRectF((dragFrame.x() + kDragMargin) / scale, (dragFrame.y() + kDragMargin) / scale,
                  (dragFrame.width() - 2 * kDragMargin) / scale, (dragFrame.height() - 2 * kDragMargin) / scale);
}

QRectF resultCanvasCropRect(const QRectF &cropDragFrame, double cropScale, const QPointF &fittedOrigin)
{
    if (!validScale(cropScale))
        return {};
    return subjectRect(cropDragFrame, cropScale).translated(-fittedOrigin);
}

QRectF handBackCropRect(const QRectF &canvasDragFrame, double canvasScale, const QSizeF &canvasImageSize,
                        const QSizeF &cropImageSize)
{
    if (!validScale(canvasScale))
        return {};
    return subjectRect(canvasDragFrame, canvasScale).translated((cropImageSize.width() - canvasImageSize.width()) / 2,
                              (cropImageSize.height() - canvasImageSize.height()) / 2);
}

QRectF placementRect(const QRectF &dragFrame, double scale, const QSizeF &imageSize)
{
    if (!validScale(scale))
        return {};
    const QRectF subject = subjectRect(dragFrame, scale);
    return QRectF(subject.x(), imageSize.height() - subject.y() - subject.height(), subject.width(),
                  subject.height());
}

QRectF maskFrame(const QSizeF &bounds, const QSizeF &backgroundSize)
{
    if (!hasArea(backgroundSize))
        return QRectF(QPointF(0, 0), bounds);
    return fitRect(bounds, backgroundSize);
}

QRect roundedEdges(const QRectF &rect)
{
    const int left = int(std::lround(rect.left()));
    const int top = int(std::lround(rect.top()));
    return QRect(left, top, std::max(0, int(std::lround(rect.right())) - left),
                 std::max(0, int(std::lround(rect.bottom())) - top));
}

QList<QRectF> handleRects(const QSizeF &viewSize)
{
    const double w = viewSize.width() - 2 * kDragMargin;
    const double h = viewSize.height() - 2 * kDragMargin;
    // Each square is centred on a corner or edge midpoint of the picture
    // rectangle (3, 3, w, h).
    const QPointF origins[] = {
        {0, 0}, {0, h / 2}, {0, h}, {w / 2, 0}, {w / 2, h}, {w, 0}, {w, h / 2}, {w, h},
    };
    QList<QRectF> rects;
    rects.reserve(8);
    for (const QPointF &origin : origins)
        rects.append(QRectF(origin, QSizeF(kHandleSide, kHandleSide)));
    return rects;
}

QRectF hitSquare(const QRectF &handleRect)
{
    return QRectF(handleRect.center() - QPointF(kHitSide / 2, kHitSide / 2), QSizeF(kHitSide, kHitSide));
}

QRectF movedInside(const QRectF &item, const QRectF &bounds)
{
    if (item.width() > bounds.width() || item.height() > bounds.height())
        return item;
    QRectF moved = item;
    if (moved.left() < bounds.left())
        moved.moveLeft(bounds.left());
    if (moved.right() > bounds.right())
        moved.moveRight(bounds.right());
    if (moved.top() < bounds.top())
        moved.moveTop(bounds.top());
    if (moved.bottom() > bounds.bottom())
        moved.moveBottom(bounds.bottom());
    return moved;
}

QList<QRectF> reachableHandleRects(const QSizeF &viewSize, const QRectF &visible)
{
    QList<QRectF> rects = handleRects(viewSize);
    for (QRectF &rect : rects)
        rect = movedInside(rect, visible);
    return rects;
}

MouseDragLocation dragLocation(const QPointF &point, const QSizeF &viewSize, const QRectF &visible)
{
    static constexpr MouseDragLocation order[] = {
        MouseDragLocation::topLeft,      MouseDragLocation::middleLeft,  MouseDragLocation::bottomLeft,
        MouseDragLocation::topMiddle,    MouseDragLocation::bottomMiddle, MouseDragLocation::topRight,
        MouseDragLocation::middleRight,  MouseDragLocation::bottomRight,
    };
    // Corners first: where the canvas's edge stacks a corner's square on a
    // middle one, the corner (and the mirror icon on the bottom-left) wins.
    static constexpr int priority[] = {0, 2, 5, 7, 1, 3, 4, 6};
    const QList<QRectF> rects = reachableHandleRects(viewSize, visible);
    for (int i : priority)
        if (hitSquare(rects[i]).contains(point))
            return order[i];
    return MouseDragLocation::mouseNone;
}

MouseDragLocation dragLocation(const QPointF &point, const QSizeF &viewSize)
{
    // Every square of handleRects lies inside the view already.
    return dragLocation(point, viewSize, QRectF(QPointF(0, 0), viewSize));
}

QRectF draggedFrame(MouseDragLocation location, const QRectF &beginFrame, const QPointF &offset,
                    const QSizeF &currentSize)
{
    const double dx = offset.x();
    const double dy = offset.y();
    if (location == MouseDragLocation::mouseNone)
        return beginFrame.translated(dx, dy);
    if (location == MouseDragLocation::bottomLeft || !hasArea(currentSize))
        return beginFrame;

    const double hOverW = currentSize.height() / currentSize.width();
    // Every resize is a growth of the width by g (negative shrinks) and of
    // the height by g·h/w; the handle decides g and which share of the
    // growth moves the left and top edges (0: fixed, 0.5: centred, 1: all).
    double g = 0;
    double leftShare = 0;
    double topShare = 0;
    switch (location) {
    case MouseDragLocation::topLeft:
        g = -dx, leftShare = 1, topShare = 1;
        break;
    case MouseDragLocation::topMiddle:
        g = -dy / hOverW, leftShare = 0.5, topShare = 1;
        break;
    case MouseDragLocation::topRight:
        g = dx, leftShare = 0, topShare = 1;
        break;
    case MouseDragLocation::middleLeft:
        g = -dx, leftShare = 1, topShare = 0.5;
        break;
    case MouseDragLocation::middleRight:
        g = dx, leftShare = 0, topShare = 0.5;
        break;
    case MouseDragLocation::bottomMiddle:
        g = dy / hOverW, leftShare = 0.5, topShare = 0;
        break;
    case MouseDragLocation::bottomRight:
        g = dx, leftShare = 0, topShare = 0;
        break;
    case MouseDragLocation::mouseNone:
    case MouseDragLocation::bottomLeft:
        break;
    }
    // Shrinking stops at the minimum side; a frame already below it may
    // still grow but never shrinks further.
    const double smallestG = std::min(
        0.0, std::max(kMinimumFrameSide - beginFrame.width(), (kMinimumFrameSide - beginFrame.height()) / hOverW));
    g = std::max(g, smallestG);
    const double gh = g * hOverW;
    return QRectF(beginFrame.x() - leftShare * g, beginFrame.y() - topShare * gh, beginFrame.width() + g,
                  beginFrame.height() + gh);
}

} // namespace KSEditGeometry
