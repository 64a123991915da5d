#include "KSOutputRender.h"

#include "KSBackgroundLayers.h"
#include "KSEditGeometry.h"
#include "KSImageExtension.h"
#include "KSPhotoRenderTools.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The canvas the picture is drawn on has whole pixels: the canvas size is
// truncated, as the background canvas truncates it.
QSize canvasPixels(const QSizeF &imageSize)
{
    const double w = imageSize.width();
    const double h = imageSize.height();
    if (!(w >= 1.0 && h >= 1.0 && w < 1e6 && h < 1e6))
        return {};
    return {int(w), int(h)};
}

// The background as it ends up in the file. A format without alpha gets the
// colour composited onto white, so that nothing transparent is left over.
QColor backgroundFor(const KSOutputRender::Request &request)
{
    // A picture or the backdrop covers every pixel.
    if (request.background.kind != KSEditBackground::Kind::colour)
        return Qt::white;
    const QColor colour = request.backgroundColor.toQColor();
    if (!request.opaque || colour.alphaF() >= 1.0)
        return colour;
    const double a = std::clamp(double(colour.alphaF()), 0.0, 1.0);
    const auto overWhite = [a](double c) { return std::clamp(c * a + (1.0 - a), 0.0, 1.0); };
    return QColor::fromRgbF(float(overWhite(colour.redF())), float(overWhite(colour.greenF())),
                            float(overWhite(colour.blueF())));
}

// A size preset has both sides; (0, 0) stands for none.
bool hasPreset(const KSOutputRender::Request &request)
{
    return request.backgroundSize.width() > 0.0 && request.backgroundSize.height() > 0.0;
}

} // namespace

bool KSOutputRender::withinLimits(const QSizeF &pixels)
{
    const double w = pixels.width();
    const double h = pixels.height();
    return w >= 1.0 && h >= 1.0 && w <= kMaxSide && h <= kMaxSide && w * h <= double(kMaxPixels);
}

QString KSOutputRender::limitsText()
{
    return QStringLiteral("%1 pixels a side and %2 megapixels").arg(kMaxSide).arg(kMaxPixels / 1'000'000);
}

QString KSOutputRender::whyBeyondLimits(const Request &request)
{
    const QSize pixels = outputPixelSize(request);
    if (!pixels.isValid() || withinLimits(QSizeF(pixels)))
        return {};
    return QStringLiteral("a picture of %1 x %2 pixels is beyond the limit of %3")
        .arg(pixels.width())
        .arg(pixels.height())
        .arg(limitsText());
}

QRectF KSOutputRender::outputRegion(const Request &request)
{
    const QSize canvas = canvasPixels(request.imageSize);
    if (canvas.isEmpty())
        return {};
    // The size frame the crop view shows over the canvas.
    return KSEditGeometry::maskFrame(QSizeF(canvas), request.backgroundSize);
}

QSize KSOutputRender::outputPixelSize(const Request &request)
{
    const QSize canvas = canvasPixels(request.imageSize);
    if (canvas.isEmpty())
        return {};
    if (hasPreset(request))
        return KSImageExtension::pixelSize(request.backgroundSize);
    if (request.maxSide <= 0)
        return canvas;
    const QSizeF limit(request.maxSide, request.maxSide);
    return KSImageExtension::pixelSize(KSPhotoRenderTools::zipSize(QSizeF(canvas), limit));
}

QSizeF KSOutputRender::dotsPerInch(const Request &request)
{
    const QSize pixels = outputPixelSize(request);
    const QSizeF &mm = request.printSizeMm;
    if (pixels.isEmpty() || !(mm.width() > 0 && mm.height() > 0))
        return {};
    constexpr double kMmPerInch = 25.4;
    return QSizeF(pixels.width() * kMmPerInch / mm.width(), pixels.height() * kMmPerInch / mm.height());
}

namespace {

// Where the subject is drawn in the output, in output pixels, origin
// top-left, and at which size it is resampled first.
struct Placement
{
    QSize size;        // the output's
    QRectF target;     // where the subject lands
    QSize resampledTo; // the subject's size once reduced; empty when drawn straight into target
};

Placement placementFor(const KSOutputRender::Request &request, const QSize &subjectSize)
{
    Placement placement;
    const QRectF region = KSOutputRender::outputRegion(request);
    const QSize size = KSOutputRender::outputPixelSize(request);
    // Nothing is drawn beyond the size limits, whoever asks.
    if (subjectSize.isEmpty() || region.isEmpty() || !size.isValid() || !KSOutputRender::withinLimits(QSizeF(size)))
        return placement;
    placement.size = size;
    const double sx = size.width() / region.width();
    const double sy = size.height() / region.height();
    const QRectF &s = request.subjectRect;
    const QRectF target((s.x() - region.x()) * sx, (s.y() - region.y()) * sy, s.width() * sx, s.height() * sy);
    placement.target = target;
    if (target.width() < subjectSize.width() + 0.5 && target.height() < subjectSize.height() + 0.5) {
        // Reduced or kept: scale the subject on its own with area averaging,
        // which keeps fine detail that a bilinear draw would alias away, and
        // place it on whole pixels so that the draw is a plain copy (at the
        // subject's own size, its pixels unchanged). The scaled copy is no
        // larger than the subject, so memory stays bounded.
        const QRectF rounded(QPointF(std::round(target.left()), std::round(target.top())),
                             QPointF(std::round(target.right()), std::round(target.bottom())));
        if (rounded.width() >= 1.0 && rounded.height() >= 1.0) {
            placement.target = rounded;
            placement.resampledTo = KSImageExtension::pixelSize(rounded.size());
        }
    }
    // Enlarged subjects are drawn straight into the target: the painter only
    // samples what lands inside the output, however large the subject grew.
    return placement;
}

// The subject drawn over the background on a canvas of `canvas` pixels;
// `placement` counts y downwards from the canvas's top.
QImage composed(const QImage &subject, const QColor &background, const QSize &canvas, const QRectF &placement)
{
    // The background canvas counts y upwards from its bottom edge.
    const QRectF bottomLeft(placement.x(), canvas.height() - placement.y() - placement.height(), placement.width(),
                            placement.height());
    QImage output = KSPhotoRenderTools::inputImage(subject, background, QSizeF(canvas), bottomLeft);
    // On an opaque background every pixel ends opaque, and premultiplied
    // 0xffRRGGBB is RGB32 bit for bit: encoders then skip the alpha channel.
    if (background.alpha() == 255)
        output.reinterpretAsFormat(QImage::Format_RGB32);
    return output;
}

// The subject as it is drawn: premultiplied, resampled to `resampledTo`
// when given, mirrored when asked. Null when memory runs out.
QImage preparedSubject(const KSOutputRender::Request &request, const QSize &resampledTo)
{
    QImage picture = request.subject.format() == QImage::Format_ARGB32_Premultiplied
        ? request.subject
        : request.subject.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!resampledTo.isEmpty())
        picture = KSImageExtension::resizeWithNewSize(picture, QSizeF(resampledTo));
    if (request.isMirrorImage)
        picture = KSImageExtension::flipImage(picture);
    return picture;
}

// What lies behind the subject beyond a colour, on a canvas of the
// output's size: the picture or the photo's backdrop, then the shadow.
// Format_ARGB32_Premultiplied; null when memory runs out.
QImage layered(const KSOutputRender::Request &request, const QSize &size)
{
    KSBackgroundLayers::Scene scene;
    scene.background = request.background;
    scene.shadow = request.shadow;
    scene.frame = KSOutputRender::outputRegion(request);
    scene.subjectRect = request.subjectRect;
    scene.subjectBounds = request.subjectBounds.isEmpty() ? QRect(QPoint(), request.subject.size())
                                                          : request.subjectBounds;
    scene.mirrored = request.isMirrorImage;
    const QRectF &view = scene.frame;
    QImage canvas;
    switch (request.background.kind) {
    case KSEditBackground::Kind::colour: break;
    case KSEditBackground::Kind::picture: canvas = KSBackgroundLayers::picture(scene, view, size); break;
    case KSEditBackground::Kind::blurredPhoto:
        if (!request.photoColours.isNull() && request.photoMask.size() == request.photoColours.size()) {
            const double scale = KSBackgroundLayers::backdropScale(scene, request.photoColours.size(), view, size);
            canvas = KSBackgroundLayers::backdrop(
                scene, KSBackgroundLayers::prepareBackdrop(request.photoColours, request.photoMask, scale), view,
                size);
        }
        break;
    }
    if (canvas.isNull()) {
        canvas = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (canvas.isNull())
            return {};
        canvas.fill(backgroundFor(request));
    } else {
        // Opaque RGB32 is premultiplied ARGB bit for bit.
        canvas.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    }
    const KSBackgroundLayers::ShadowPiece shadow =
        KSBackgroundLayers::shadowPiece(scene, request.subject, view, size);
    if (!shadow.isNull()) {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(shadow.target, shadow.image);
    }
    return canvas;
}

// The subject over its layers, drawn as the colour's canvas draws it.
QImage renderLayered(const KSOutputRender::Request &request, const QSize &size, const QRectF &target,
                     const QSize &resampledTo)
{
    const QImage picture = preparedSubject(request, resampledTo);
    if (picture.isNull())
        return {};
    QImage canvas = layered(request, size);
    if (canvas.isNull())
        return {};
    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture, QRectF(picture.rect()));
    painter.end();
    if (backgroundFor(request).alpha() == 255)
        canvas.reinterpretAsFormat(QImage::Format_RGB32);
    return canvas;
}

} // namespace

bool KSOutputRender::hasLayers(const Request &request)
{
    return request.background.kind != KSEditBackground::Kind::colour || !request.shadow.isNone();
}

QImage KSOutputRender::renderOutputImage(const Request &request)
{
    if (request.subject.isNull())
        return {};
    const Placement placement = placementFor(request, request.subject.size());
    if (placement.size.isEmpty())
        return {};
    if (hasLayers(request))
        return renderLayered(request, placement.size, placement.target, placement.resampledTo);
    const QImage picture = preparedSubject(request, placement.resampledTo);
    if (picture.isNull())
        return {};
    return composed(picture, backgroundFor(request), placement.size, placement.target);
}

bool KSOutputRender::hasAlpha(const Request &request)
{
    return backgroundFor(request).alpha() != 255;
}

bool KSOutputRender::rendersInBands(const Request &request, const QSize &subjectSize)
{
    // Layers are made for the whole picture.
    if (hasLayers(request))
        return false;
    const Placement placement = placementFor(request, subjectSize);
    return !placement.size.isEmpty() && placement.resampledTo == subjectSize;
}

QImage KSOutputRender::renderOutputBand(const Request &request, const QSize &subjectSize, const SubjectRegion &region,
                                        int top, int rows)
{
    const Placement placement = placementFor(request, subjectSize);
    if (!region || hasLayers(request) || placement.size.isEmpty() || placement.resampledTo != subjectSize || rows < 1
        || top < 0
        || top + rows > placement.size.height())
        return {};
    // The subject's rows that land in the band: a plain copy, each output
    // row from one row of the subject (mirroring keeps rows).
    const int subjectTop = int(placement.target.top());
    const int first = std::max(0, top - subjectTop);
    const int last = std::min(subjectSize.height(), top + rows - subjectTop);
    // A band without subject rows still gets the canvas a subject gives
    // (with alpha): a clear pixel drawn outside it.
    QImage part(1, 1, QImage::Format_ARGB32_Premultiplied);
    part.fill(Qt::transparent);
    QRectF partPlacement(-2, -2, 1, 1);
    if (first < last) {
        part = region(QRect(0, first, subjectSize.width(), last - first));
        if (part.size() != QSize(subjectSize.width(), last - first))
            return {};
        if (request.isMirrorImage)
            part = KSImageExtension::flipImage(part);
        partPlacement = QRectF(placement.target.left(), subjectTop + first - top, part.width(), part.height());
    }
    return composed(part, backgroundFor(request), QSize(placement.size.width(), rows), partPlacement);
}
