#pragma once

#include "KSColor.h"
#include "KSColorConst.h"
#include "KSEditBackground.h"
#include "KSEditShadow.h"
#include "KSImageLoader.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <functional>

// The picture a save writes, built from the subject picture and the state a
// canvas holds, without any widget: both canvases of the editor and the
// command line render through here, so that they cannot disagree.
//
// Output rules. With a size preset B the output is exactly B pixels and
// shows the largest rectangle of B's proportions centred on the canvas
// (scaled down, or up when the canvas is smaller than B). Without a preset
// the whole canvas is fitted into a square of maxSide pixels, never enlarged.
// The subject is resampled once, straight from its own pixels to the output.
class KSOutputRender
{
public:
    struct Request
    {
        // The subject: the cut-out cropped to its visible bounds as the crop
        // view writes it, or the whole cut-out placed over the whole canvas.
        QImage subject;
        // The canvas in picture pixels (whole pixels count, as the canvas
        // the picture is drawn on has whole pixels).
        QSizeF imageSize;
        // Where the subject lies on the canvas: pixels, origin top-left;
        // KSEditGeometry::subjectRect() of a canvas's drag view frame.
        QRectF subjectRect;
        // The clear colour means a transparent background. Under a picture or
        // the photo's backdrop an opaque colour, which they cover.
        KSColor backgroundColor = KSClear_Color();
        // What lies behind the subject when it is more than a colour (a
        // picture, the photo's backdrop blurred); a colour kind leaves the
        // colour above in charge.
        KSEditBackground background;
        // Drawn from the subject's alpha between the background and the subject.
        KSEditShadow shadow;
        // What the photo's backdrop is made of: the photo's colours (opaque)
        // and the subject's mask, of the same size, and where the subject's
        // picture lies in them; the backdrop moves, scales and mirrors with
        // the subject from there to subjectRect.
        QImage photoColours;
        QImage photoMask;
        QRect subjectBounds;
        // The size preset in pixels; (0, 0) for none.
        QSizeF backgroundSize;
        // Without a preset the output fits a square of this side; 0 keeps
        // the canvas size.
        int maxSide = 0;
        // The subject as the user sees it, mirrored left to right.
        bool isMirrorImage = false;
        // For a format without alpha: what would stay transparent (a colour
        // with alpha below 1) is composited onto white.
        bool opaque = false;
        // The printed size of the output in millimetres, for a preset that
        // has one; empty otherwise.
        QSizeF printSizeMm;
    };

    // The largest picture a save renders, whatever names its size (the
    // command line's --size, a preset, the custom size): no side beyond what
    // common image tools open, and no more pixels than the loader reads back.
    static constexpr int kMaxSide = 30000;
    static constexpr qint64 kMaxPixels = KSImageLoader::kMaxPixels;
    // Whether a picture of `pixels` is within those limits (and not empty).
    [[nodiscard]] static bool withinLimits(const QSizeF &pixels);
    // "30000 pixels a side and 200 megapixels", for messages.
    [[nodiscard]] static QString limitsText();
    // Why the output of a request is beyond those limits, in English; empty
    // when it is within them. Known before anything is rendered.
    [[nodiscard]] static QString whyBeyondLimits(const Request &request);

    // The canvas region the output shows, in canvas pixels, origin top-left:
    // the size frame the crop view draws for the preset, or the whole canvas.
    [[nodiscard]] static QRectF outputRegion(const Request &request);

    // The output's size in pixels; invalid for a canvas under 1 x 1.
    [[nodiscard]] static QSize outputPixelSize(const Request &request);

    // The output's print resolution in dots per inch across and down: its
    // pixels over the printed size. Empty without a printed size.
    [[nodiscard]] static QSizeF dotsPerInch(const Request &request);

    // The output picture: Format_RGB32 on an opaque background (an opaque
    // colour, or any background when `opaque` is set), else
    // Format_ARGB32_Premultiplied. Null for a canvas under 1 x 1, an output
    // beyond the limits or too large to allocate, or a null subject.
    [[nodiscard]] static QImage renderOutputImage(const Request &request);

    // ---- the same picture a band of rows at a time
    // The subject's pixels inside a rectangle of its own (origin top-left),
    // Format_ARGB32_Premultiplied: what a band reads instead of `subject`.
    using SubjectRegion = std::function<QImage(const QRect &rect)>;

    // Whether the request draws more than a colour behind the subject: a
    // picture, the photo's backdrop or a shadow.
    [[nodiscard]] static bool hasLayers(const Request &request);

    // Whether the output has an alpha channel (a background not opaque).
    [[nodiscard]] static bool hasAlpha(const Request &request);
    // Whether renderOutputBand() can make a band from the subject's rows
    // alone: the subject is drawn at its own size, as it is at the
    // cut-out's size, on a colour without shadow. Otherwise render the
    // whole picture.
    [[nodiscard]] static bool rendersInBands(const Request &request, const QSize &subjectSize);
    // Rows [top, top + rows) of renderOutputImage() for a subject of
    // `subjectSize` read through `region` (`request.subject` is not used),
    // pixel for pixel the same, so that no picture of the output's size is
    // held. Null unless rendersInBands().
    [[nodiscard]] static QImage renderOutputBand(const Request &request, const QSize &subjectSize,
                                                 const SubjectRegion &region, int top, int rows);
};
