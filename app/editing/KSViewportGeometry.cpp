#include "KSViewportGeometry.h"

#include <algorithm>
#include <cmath>

namespace KSViewportGeometry {

namespace {

// Room around the previews: beside each one of the compare layout, above
// and below it for the captions, and around the canvas of a panel layout.
constexpr int kCompareSideMargin = 30;
constexpr int kCompareCaptionRoom = 36;
constexpr int kPanelMargin = 40;

bool hasArea(const QSizeF &size)
{
    return size.width() > 0 && size.height() > 0 && std::isfinite(size.width()) && std::isfinite(size.height());
}

double fitScaleOf(const QSizeF &view, const QSizeF &picture)
{
    return std::min(view.width() / picture.width(), view.height() / picture.height());
}

// One axis of clamped(): `origin` of a picture `length` long in a view `room` long.
double clampAxis(double origin, double length, double room)
{
    if (length <= room)
        return (room - length) / 2;
    return std::clamp(origin, room - length, 0.0);
}

} // namespace

std::optional<Viewport> fitted(const QSizeF &view, const QSizeF &picture)
{
    if (!hasArea(view) || !hasArea(picture))
        return std::nullopt;
    const double scale = fitScaleOf(view, picture);
    return Viewport{scale, QPointF((view.width() - picture.width() * scale) / 2,
                                   (view.height() - picture.height() * scale) / 2)};
}

double minimumScale(const QSizeF &view, const QSizeF &picture, double actualScale)
{
    if (!hasArea(view) || !hasArea(picture))
        return actualScale;
    return std::min(fitScaleOf(view, picture), actualScale);
}

double maximumScale(const QSizeF &view, const QSizeF &picture)
{
    if (!hasArea(view) || !hasArea(picture))
        return kMaximumScale;
    return std::max(fitScaleOf(view, picture), kMaximumScale);
}

Viewport clamped(const Viewport &viewport, const QSizeF &view, const QSizeF &picture)
{
    return Viewport{viewport.scale,
                    QPointF(clampAxis(viewport.origin.x(), picture.width() * viewport.scale, view.width()),
                            clampAxis(viewport.origin.y(), picture.height() * viewport.scale, view.height()))};
}

Viewport zoomedAround(const Viewport &viewport, double scale, const QPointF &anchor, const QSizeF &view,
                      const QSizeF &picture, double actualScale)
{
    if (!(viewport.scale > 0) || !std::isfinite(scale))
        return viewport;
    const double held = std::clamp(scale, minimumScale(view, picture, actualScale), maximumScale(view, picture));
    const QPointF under = toPicture(viewport, anchor);
    return clamped(Viewport{held, anchor - under * held}, view, picture);
}

Viewport panned(const Viewport &viewport, const QPointF &delta, const QSizeF &view, const QSizeF &picture)
{
    return clamped(Viewport{viewport.scale, viewport.origin + delta}, view, picture);
}

Viewport resized(const Viewport &viewport, const QSizeF &oldView, const QSizeF &newView, const QSizeF &picture)
{
    const QPointF oldCentre(oldView.width() / 2, oldView.height() / 2);
    const QPointF newCentre(newView.width() / 2, newView.height() / 2);
    return clamped(Viewport{viewport.scale, viewport.origin + (newCentre - oldCentre)}, newView, picture);
}

double steppedScale(double scale, double notches)
{
    return scale * std::pow(kWheelStepFactor, notches);
}

bool isZoomedIn(const Viewport &viewport, const QSizeF &view, const QSizeF &picture)
{
    const std::optional<Viewport> fit = fitted(view, picture);
    return fit && viewport.scale > fit->scale * (1 + 1e-9);
}

QPointF toPicture(const Viewport &viewport, const QPointF &viewPoint)
{
    if (!(viewport.scale > 0))
        return {};
    return (viewPoint - viewport.origin) / viewport.scale;
}

QPointF toView(const Viewport &viewport, const QPointF &picturePoint)
{
    return viewport.origin + picturePoint * viewport.scale;
}

QRectF visiblePictureRect(const Viewport &viewport, const QSizeF &view)
{
    if (!(viewport.scale > 0))
        return {};
    return QRectF(toPicture(viewport, QPointF(0, 0)), view / viewport.scale);
}

double brushRadius(double diameter, double scale)
{
    if (!(scale > 0) || !(diameter > 0))
        return 0.0;
    return diameter / 2 / scale;
}

QRectF remappedSubjectRect(const QRectF &placed, const QRectF &oldBounds, const QRectF &newBounds, bool mirrored)
{
    if (oldBounds.isEmpty() || newBounds.isEmpty())
        return placed;
    const double kx = placed.width() / oldBounds.width();
    const double ky = placed.height() / oldBounds.height();
    // Mirrored, the cut-out's right edge is shown at the rectangle's left.
    const double leftShift = mirrored ? oldBounds.right() - newBounds.right() : newBounds.left() - oldBounds.left();
    return QRectF(placed.x() + leftShift * kx, placed.y() + (newBounds.top() - oldBounds.top()) * ky,
                  newBounds.width() * kx, newBounds.height() * ky);
}

QSize compareViewSize(const QSize &centre, const QSize &minimum)
{
    return QSize(std::max(minimum.width(), centre.width() / 2 - 2 * kCompareSideMargin),
                 std::max(minimum.height(), centre.height() - 2 * kCompareCaptionRoom));
}

QSize panelViewSize(const QSize &centre, const QSize &minimum)
{
    return QSize(std::max(minimum.width(), centre.width() - 2 * kPanelMargin),
                 std::max(minimum.height(), centre.height() - 2 * kPanelMargin));
}

} // namespace KSViewportGeometry
