#pragma once

#include "KSEditBackground.h"
#include "KSEditShadow.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

// The layers behind the subject, for any view of the canvas at any pixel
// size: the backdrop (a picture, or the photo's own backdrop blurred) and
// the shadow. A save draws them over the output region at its size, a
// canvas over what it shows at screen resolution: the same functions, so
// that the screen shows what the file gets. No widgets; any thread.
//
// Coordinates: canvas pixels are the cut-out's (the document's), origin
// top-left. `view` is the part of the canvas a layer shows; a layer is a
// picture of `pixels` that shows exactly `view`.
namespace KSBackgroundLayers {

struct Scene
{
    KSEditBackground background;
    KSEditShadow shadow;
    QRectF frame;        // the output region: what the picture background covers
    QRectF subjectRect;  // where the subject is drawn
    QRect subjectBounds; // where the subject lies in the photo: the backdrop follows it to subjectRect
    bool mirrored = false;

    friend bool operator==(const Scene &, const Scene &) = default;
};

// The photo with the subject's area filled from its surroundings, at some
// share of the photo's size: what the blurred backdrop is made of.
struct Backdrop
{
    QImage filled;   // Format_RGB32
    QSize photoSize; // the photo's size it was made from
    [[nodiscard]] bool isNull() const { return filled.isNull(); }
};

// The share of the photo's size a backdrop needs for `view` at `pixels`:
// no more than the view shows of the photo, and less the stronger the blur.
[[nodiscard]] double backdropScale(const Scene &scene, const QSize &photoSize, const QRectF &view,
                                   const QSize &pixels);
// The photo's colours (opaque) with the area under `mask` (the subject,
// Grayscale8 of the same size) filled, reduced to `scale`.
[[nodiscard]] Backdrop prepareBackdrop(const QImage &colours, const QImage &mask, double scale);

// The photo's backdrop of a blurred-photo scene, blurred by the scene's
// strength, aligned with the subject (moved, scaled and mirrored with it),
// mirrored at its edges where the moved photo leaves the view: Format_RGB32
// of `pixels`. Null for another kind or without a backdrop.
[[nodiscard]] QImage backdrop(const Scene &scene, const Backdrop &source, const QRectF &view, const QSize &pixels);

// The picture of a picture scene, covering the frame as placed: Format_RGB32
// of `pixels`. Null for another kind.
[[nodiscard]] QImage picture(const Scene &scene, const QRectF &view, const QSize &pixels);

// Where the picture of a picture background lies, in canvas pixels: it
// covers the frame whatever its proportions and placement.
[[nodiscard]] QRectF pictureRect(const KSEditBackground &background, const QRectF &frame);

// The shadow as a piece: black with alpha (Format_ARGB32_Premultiplied)
// to be drawn stretched into `target` (view pixels). Null without a shadow.
struct ShadowPiece
{
    QImage image;
    QRectF target;
    [[nodiscard]] bool isNull() const { return image.isNull(); }
};
[[nodiscard]] ShadowPiece shadowPiece(const Scene &scene, const QImage &subject, const QRectF &view,
                                      const QSize &pixels);

// The scene's shadow: black with alpha, Format_ARGB32_Premultiplied of
// `pixels`, clear where there is none. `subject` is the subject (alpha
// used) at any size, unmirrored: a reduced copy does for the screen. Null
// without a shadow.
[[nodiscard]] QImage shadow(const Scene &scene, const QImage &subject, const QRectF &view, const QSize &pixels);

} // namespace KSBackgroundLayers
