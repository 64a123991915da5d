#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <optional>

// How the editor shows a picture in a view, kept free of widgets: the zoom
// and pan of a canvas, the mapping of the pointer (and the brush) to picture
// pixels, and the size of the previews in the editor's centre area.
//
// A viewport puts picture point p at view point origin + p * scale; view
// points have their origin at the view's top-left corner.
namespace KSViewportGeometry {

struct Viewport
{
    double scale = 0.0; // view points per picture pixel
    QPointF origin;     // where the picture's top-left corner is shown

    friend bool operator==(const Viewport &, const Viewport &) = default;
};

// Up close the picture may grow to 16 view points per pixel.
inline constexpr double kMaximumScale = 16.0;
// One wheel notch (120 units) zooms by this factor.
inline constexpr double kWheelStepFactor = 1.25;

// The whole picture, as large as the view allows, centred; none when the
// view or the picture has no area.
[[nodiscard]] std::optional<Viewport> fitted(const QSizeF &view, const QSizeF &picture);

// The scales a user may zoom between: from the fitted scale or 100 %
// (`actualScale` view points per pixel), whichever is smaller, up to
// kMaximumScale or the fitted scale, whichever is larger.
[[nodiscard]] double minimumScale(const QSizeF &view, const QSizeF &picture, double actualScale);
[[nodiscard]] double maximumScale(const QSizeF &view, const QSizeF &picture);

// The viewport moved as little as needed so that the picture never drifts
// off: along an axis where the picture is smaller than the view it is
// centred, where larger it leaves no gap at either side.
[[nodiscard]] Viewport clamped(const Viewport &viewport, const QSizeF &view, const QSizeF &picture);

// Zoomed to `scale` (held within the limits) with the picture point under
// `anchor` (a view point) staying under it, then clamped.
[[nodiscard]] Viewport zoomedAround(const Viewport &viewport, double scale, const QPointF &anchor,
                                    const QSizeF &view, const QSizeF &picture, double actualScale);

// Panned by `delta` view points, then clamped.
[[nodiscard]] Viewport panned(const Viewport &viewport, const QPointF &delta, const QSizeF &view,
                              const QSizeF &picture);

// The view resized from `oldView` to `newView`: the picture point at the
// view's centre stays at its centre.
[[nodiscard]] Viewport resized(const Viewport &viewport, const QSizeF &oldView, const QSizeF &newView,
                               const QSizeF &picture);

// The scale after `notches` wheel notches (negative zooms out).
[[nodiscard]] double steppedScale(double scale, double notches);

// True when the viewport shows the picture larger than the fitted view.
[[nodiscard]] bool isZoomedIn(const Viewport &viewport, const QSizeF &view, const QSizeF &picture);

[[nodiscard]] QPointF toPicture(const Viewport &viewport, const QPointF &viewPoint);
[[nodiscard]] QPointF toView(const Viewport &viewport, const QPointF &picturePoint);
// The part of the picture shown in a view of `view`, in picture pixels.
[[nodiscard]] QRectF visiblePictureRect(const Viewport &viewport, const QSizeF &view);

// The radius in picture pixels of a brush `diameter` view points wide: the
// brush covers on the picture exactly what its outline shows on screen.
[[nodiscard]] double brushRadius(double diameter, double scale);

// The subject's rectangle on a canvas once its bounds in the cut-out
// changed from `oldBounds` to `newBounds` (a touch-up kept or erased at its
// edge): every pixel that stays is shown where it was, at the same scale,
// mirrored pictures included.
[[nodiscard]] QRectF remappedSubjectRect(const QRectF &placed, const QRectF &oldBounds, const QRectF &newBounds,
                                         bool mirrored);

// The previews of the compare layout (two side by side, captions above)
// and the one canvas of a panel layout, for a centre area of `centre`:
// they grow with the area and never get smaller than `minimum`.
[[nodiscard]] QSize compareViewSize(const QSize &centre, const QSize &minimum);
[[nodiscard]] QSize panelViewSize(const QSize &centre, const QSize &minimum);

} // namespace KSViewportGeometry
