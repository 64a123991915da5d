#pragma once

#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <optional>

// The handle of the subject's frame that a drag grabbed; mouseNone moves it.
enum class MouseDragLocation : int {
    mouseNone = 0,
    topLeft = 1,
    topMiddle = 2,
    topRight = 3,
    middleLeft = 4,
    middleRight = 5,
    bottomMiddle = 6,
    bottomLeft = 7,
    bottomRight = 8,
};

// Geometry of the editor's canvases, kept free of widgets so that it can be
// checked with plain numbers.
//
// Canvas rectangles (the subject's eraserCropRect, the fitted rectangle) are
// in picture pixels, origin top-left, y downwards. Screen rectangles are in
// points in the canvas area's coordinates (also origin top-left). A drag
// view's frame is the subject's rectangle on screen grown by kDragMargin on
// every side.
namespace KSEditGeometry {

inline constexpr double kDragMargin = 3.0;
inline constexpr double kHandleSide = 6.0;
inline constexpr double kHitSide = 35.0;
// A resize stops shrinking the frame once either side reaches this, so that
// the subject can never turn inside out or vanish under the pointer.
inline constexpr double kMinimumFrameSide = 16.0;

// min(container.width / content.width, container.height / content.height):
// the factor that fits content into container with its proportions kept.
// 0 when content has no area.
[[nodiscard]] double fitScale(const QSizeF &container, const QSizeF &content);

// content scaled by fitScale and centred in a container whose origin is
// (0, 0): the largest rectangle of content's proportions inside container.
// Serves the canvas fit, the show view's picture, the rectangle of a
// background size fitted into the cut-out, the size frame over the canvas
// and the crop of a size preset.
[[nodiscard]] QRectF fitRect(const QSizeF &container, const QSizeF &content);

struct CanvasFit
{
    double imageScale = 0.0; // points per canvas pixel
    QRectF imageViewFrame;   // the canvas area, centred in the canvas view
};

// The canvas area of a canvas view of `frame` showing a canvas of
// `imageSize` pixels; none unless both widths are positive, in which case
// the view places nothing.
[[nodiscard]] std::optional<CanvasFit> canvasFit(const QSizeF &frame, const QSizeF &imageSize);

// The drag view's frame for a subject rectangle at `scale` points per pixel.
[[nodiscard]] QRectF dragViewFrame(const QRectF &subjectRect, double scale);

// The inverse: the subject's rectangle in canvas pixels (origin top-left)
// for a drag view's frame; the zero rectangle for a scale that is not
// positive.
[[nodiscard]] QRectF subjectRect(const QRectF &dragFrame, double scale);

// The result canvas's eraserCropRect from the crop view's drag frame: the
// subject in crop-view pixels, moved to the fitted rectangle at
// `fittedOrigin`.
[[nodiscard]] QRectF resultCanvasCropRect(const QRectF &cropDragFrame, double cropScale, const QPointF &fittedOrigin);

// The crop view's eraserCropRect from the result canvas's drag frame, the
// inverse of resultCanvasCropRect: the canvas of `canvasImageSize` is taken
// as centred in the cut-out of `cropImageSize`.
[[nodiscard]] QRectF handBackCropRect(const QRectF &canvasDragFrame, double canvasScale,
                                      const QSizeF &canvasImageSize, const QSizeF &cropImageSize);

// Where the subject is drawn on a canvas of `imageSize` pixels when the
// picture is rendered: the subject's rectangle with the origin moved to the
// bottom-left corner, y upwards.
[[nodiscard]] QRectF placementRect(const QRectF &dragFrame, double scale, const QSizeF &imageSize);

// The size frame over a canvas area of `bounds`: the largest rectangle of
// the background size's proportions, centred; the whole area when no size
// is chosen (either side not positive).
[[nodiscard]] QRectF maskFrame(const QSizeF &bounds, const QSizeF &backgroundSize);

// A rectangle in whole points for a widget's geometry: each edge rounded,
// so that the two sides of a moving rectangle never disagree by a point.
[[nodiscard]] QRect roundedEdges(const QRectF &rect);

// The eight handle squares of a drag view of `viewSize`, in its own
// coordinates (origin top-left), in hit-test order: topLeft, middleLeft,
// bottomLeft, topMiddle, bottomMiddle, topRight, middleRight, bottomRight.
[[nodiscard]] QList<QRectF> handleRects(const QSizeF &viewSize);

// The 35-point square around a handle in which a press grabs it.
[[nodiscard]] QRectF hitSquare(const QRectF &handleRect);

// The handle whose hit square holds `point` (drag view coordinates); where
// squares overlap a corner wins over a middle, then the first in hit-test
// order. mouseNone elsewhere.
[[nodiscard]] MouseDragLocation dragLocation(const QPointF &point, const QSizeF &viewSize);

// The handle squares of handleRects, each moved the least that brings it
// inside `visible` (drag view coordinates: the part of the view the canvas
// area shows), so that a subject touching or crossing the canvas's edge
// keeps every handle on screen. A square is left where it is when
// `visible` cannot hold it.
[[nodiscard]] QList<QRectF> reachableHandleRects(const QSizeF &viewSize, const QRectF &visible);

// dragLocation over the reachable squares.
[[nodiscard]] MouseDragLocation dragLocation(const QPointF &point, const QSizeF &viewSize, const QRectF &visible);

// `item` moved the least that brings it inside `bounds`; as it is when it
// is larger than `bounds`.
[[nodiscard]] QRectF movedInside(const QRectF &item, const QRectF &bounds);

// The drag view's frame after the pointer moved by `offset` since the press
// that began the drag at `beginFrame`. A move keeps the size; a handle
// resizes with the proportions of `currentSize` kept and the opposite
// corner or edge fixed (corners and sides follow dx, the top and bottom
// middles dy). bottomLeft never drags and gives beginFrame back.
[[nodiscard]] QRectF draggedFrame(MouseDragLocation location, const QRectF &beginFrame, const QPointF &offset,
                                  const QSizeF &currentSize);

} // namespace KSEditGeometry
