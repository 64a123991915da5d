#include "KSOutputRender.h"

#include "KSEditGeometry.h"
#include "KSImageExtension.h"
#include "KSPhotoRenderTools.h"

#include <QColor>

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

QImage KSOutputRender::renderOutputImage(const Request &request)
{
    const QRectF region = outputRegion(request);
    const QSize size = outputPixelSize(request);
    if (request.subject.isNull() || region.isEmpty() || !size.isValid() || !withinLimits(QSizeF(size)))
        return {};

    // Where the subject lands in the output, in output pixels, origin top-left.
    const double sx = size.width() / region.width();
    const double sy = size.height() / region.height();
    const QRectF &s = request.subjectRect;
    const QRectF target((s.x() - region.x()) * sx, (s.y() - region.y()) * sy, s.width() * sx, s.height() * sy);

    QImage picture = request.subject.format() == QImage::Format_ARGB32_Premultiplied
        ? request.subject
        : request.subject.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QRectF placement = target;
    if (target.width() < picture.width() + 0.5 && target.height() < picture.height() + 0.5) {
        // Reduced or kept: scale the subject on its own with area averaging,
        // which keeps fine detail that a bilinear draw would alias away, and
        // place it on whole pixels so that the draw is a plain copy (at the
        // subject's own size, its pixels unchanged). The scaled copy is no
        // larger than the subject, so memory stays bounded.
        const QRectF rounded(QPointF(std::round(target.left()), std::round(target.top())),
                             QPointF(std::round(target.right()), std::round(target.bottom())));
        if (rounded.width() >= 1.0 && rounded.height() >= 1.0) {
            picture = KSImageExtension::resizeWithNewSize(picture, rounded.size());
            placement = rounded;
        }
    }
    // Enlarged subjects are drawn straight into the target: the painter only
    // samples what lands inside the output, however large the subject grew.
    if (request.isMirrorImage)
        picture = KSImageExtension::flipImage(picture);
    if (picture.isNull())
        return {};

    // The background canvas counts y upwards from its bottom edge.
    const QRectF bottomLeft(placement.x(), size.height() - placement.y() - placement.height(), placement.width(),
                            placement.height());
    const QColor background = backgroundFor(request);
    QImage output = KSPhotoRenderTools::inputImage(picture, background, QSizeF(size), bottomLeft);
    // On an opaque background every pixel ends opaque, and premultiplied
    // 0xffRRGGBB is RGB32 bit for bit: encoders then skip the alpha channel.
    if (background.alpha() == 255)
        output.reinterpretAsFormat(QImage::Format_RGB32);
    return output;
}
