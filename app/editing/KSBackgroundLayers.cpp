#include "KSBackgroundLayers.h"

#include "KSBackdropFill.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A blur is made where its sigma is about this many pixels: enough for the
// bilinear enlargement that follows to stay smooth, few enough to be quick.
constexpr double kWorkingSigma = 4.0;
// The smallest side a reduced backdrop keeps.
constexpr int kMinWorkingSide = 16;
// The contact shadow: its half-height as a share of its width, and at
// most as a share of the subject's height; the band of the subject's
// bottom rows that makes its footprint; its centre lies this share of its
// half-height below the base.
constexpr double kContactFlatness = 0.07;
constexpr double kContactMaxHalfHeight = 0.05;
constexpr double kFootprintBand = 0.1;
constexpr double kContactDrop = 0.3;
// The footprint's columns count where the band's alpha reaches this share.
constexpr double kFootprintLevel = 0.1;
// A shadow map is made at most this wide or tall (shadows are soft).
constexpr int kMaxShadowMapSide = 1024;

// Canvas pixels to view pixels.
QTransform canvasToView(const QRectF &view, const QSize &pixels)
{
    return QTransform::fromTranslate(-view.x(), -view.y())
        * QTransform::fromScale(pixels.width() / view.width(), pixels.height() / view.height());
}

// Photo pixels to canvas pixels: the photo follows the subject from its
// bounds to its rectangle, mirrored with it.
QTransform photoToCanvas(const KSBackgroundLayers::Scene &scene)
{
    const QRectF bounds(scene.subjectBounds);
    const QRectF &to = scene.subjectRect;
    const double sx = to.width() / bounds.width();
    const double sy = to.height() / bounds.height();
    if (scene.mirrored)
        return QTransform(-sx, 0, 0, sy, to.right() + bounds.left() * sx, to.top() - bounds.top() * sy);
    return QTransform(sx, 0, 0, sy, to.left() - bounds.left() * sx, to.top() - bounds.top() * sy);
}

bool usableView(const QRectF &view, const QSize &pixels)
{
    return view.width() > 0 && view.height() > 0 && !pixels.isEmpty();
}

bool usableSubject(const KSBackgroundLayers::Scene &scene)
{
    return !scene.subjectBounds.isEmpty() && scene.subjectRect.width() > 0 && scene.subjectRect.height() > 0;
}

// The blur's sigma in photo pixels.
double photoSigma(const KSBackgroundLayers::Scene &scene)
{
    const double frameSide = std::min(scene.frame.width(), scene.frame.height());
    const double canvasPerPhoto = scene.subjectRect.height() / scene.subjectBounds.height();
    return std::max(0.0, scene.background.clamped().blur * frameSide / canvasPerPhoto);
}

// A mask of 0..1 as black with that alpha, premultiplied.
QImage shadowPixels(const std::vector<float> &map, int width, int height, double opacity)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        const float *in = map.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const int a = int(std::lround(std::clamp(in[x] * opacity, 0.0, 1.0) * 255.0));
            row[x] = quint32(a) << 24;
        }
    }
    return image;
}

// The subject's alpha as Grayscale8, mirrored when the scene is.
QImage subjectAlpha(const QImage &subject, bool mirrored)
{
    QImage alpha = subject.convertToFormat(QImage::Format_Alpha8);
    alpha.reinterpretAsFormat(QImage::Format_Grayscale8);
    return mirrored ? alpha.mirrored(true, false) : alpha;
}

KSBackgroundLayers::ShadowPiece dropShadow(const KSEditShadow &shadow, const QImage &subject, bool mirrored,
                                           const QRectF &placed)
{
    const double height = placed.height();
    const double sigma = shadow.dropBlur * height;
    // The map's pixels per view pixel: the subject's own resolution at most,
    // fewer for a wide blur.
    double scale = std::min(1.0, double(subject.height()) / height);
    if (sigma > kWorkingSigma)
        scale = std::min(scale, kWorkingSigma / sigma);
    scale = std::min(scale, kMaxShadowMapSide / std::max(placed.width(), height));
    const int width = std::max(1, int(std::lround(placed.width() * scale)));
    const int rows = std::max(1, int(std::lround(height * scale)));
    const int margin = int(std::ceil(3.0 * sigma * scale)) + 1;
    QImage alpha = subjectAlpha(subject, mirrored).scaled(width, rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage padded(width + 2 * margin, rows + 2 * margin, QImage::Format_Grayscale8);
    if (alpha.isNull() || padded.isNull())
        return {};
    padded.fill(0);
    for (int y = 0; y < rows; ++y)
        std::copy_n(alpha.constScanLine(y), width, padded.scanLine(y + margin) + margin);
    padded = KSBackdropFill::blurred(padded, sigma * scale);
    std::vector<float> map(size_t(padded.width()) * size_t(padded.height()));
    for (int y = 0; y < padded.height(); ++y) {
        const uchar *row = padded.constScanLine(y);
        for (int x = 0; x < padded.width(); ++x)
            map[size_t(y) * size_t(padded.width()) + size_t(x)] = row[x] / 255.0f;
    }
    const double edge = margin / scale;
    const QPointF shift(shadow.offset.x() * height, shadow.offset.y() * height);
    return {shadowPixels(map, padded.width(), padded.height(), shadow.opacity),
            placed.adjusted(-edge, -edge, edge, edge).translated(shift)};
}

KSBackgroundLayers::ShadowPiece contactShadow(const KSEditShadow &shadow, const QImage &subject, bool mirrored,
                                              const QRectF &placed)
{
    // The footprint: how much of each column of the subject's bottom band
    // is subject.
    const QImage alpha = subjectAlpha(subject, mirrored);
    const int band = std::max(1, int(std::lround(alpha.height() * kFootprintBand)));
    std::vector<float> footprint(size_t(alpha.width()), 0.0f);
    for (int y = alpha.height() - band; y < alpha.height(); ++y) {
        const uchar *row = alpha.constScanLine(y);
        for (int x = 0; x < alpha.width(); ++x)
            footprint[size_t(x)] = std::max(footprint[size_t(x)], row[x] / 255.0f);
    }
    const auto first = std::find_if(footprint.begin(), footprint.end(), [](float a) { return a >= kFootprintLevel; });
    const auto last = std::find_if(footprint.rbegin(), footprint.rend(), [](float a) { return a >= kFootprintLevel; });
    if (first == footprint.end())
        return {};
    const double columnWidth = placed.width() / alpha.width();
    const double left = placed.left() + double(first - footprint.begin()) * columnWidth;
    const double right = placed.left() + double(footprint.rend() - last) * columnWidth;
    const double centre = (left + right) / 2.0;
    const double halfWidth = (right - left) / 2.0 * shadow.size;
    const double halfHeight =
        std::max(0.5, std::min(kContactFlatness * 2.0 * halfWidth, kContactMaxHalfHeight * placed.height()));
    const double sigma = shadow.softness * halfHeight;
    const double middle = placed.bottom() + kContactDrop * halfHeight;
    // The shadow's box in view pixels, with room for its blur.
    const double room = 2.0 * sigma;
    const QRectF box(centre - halfWidth - room, middle - halfHeight - room, 2.0 * (halfWidth + room),
                     2.0 * (halfHeight + room));
    const double scale = std::min(1.0, kMaxShadowMapSide / std::max(box.width(), box.height()));
    const int width = std::max(2, int(std::ceil(box.width() * scale)));
    const int height = std::max(2, int(std::ceil(box.height() * scale)));
    std::vector<float> map(size_t(width) * size_t(height), 0.0f);
    for (int x = 0; x < width; ++x) {
        // The point of the view this column shows, and the footprint's
        // column it stretches from.
        const double vx = box.left() + (x + 0.5) / scale;
        const double across = (vx - centre) / halfWidth;
        if (std::abs(across) >= 1.0)
            continue;
        const double fromFootprint = centre + (vx - centre) / shadow.size;
        const int column = std::clamp(int((fromFootprint - placed.left()) / columnWidth), 0, int(footprint.size()) - 1);
        const double taper = std::sqrt(1.0 - across * across);
        const double strength = footprint[size_t(column)] * taper;
        for (int y = 0; y < height; ++y) {
            const double down = (box.top() + (y + 0.5) / scale - middle) / halfHeight;
            if (std::abs(down) < 1.0)
                map[size_t(y) * size_t(width) + size_t(x)] = float(strength * (1.0 - down * down));
        }
    }
    if (sigma * scale >= 1.0 / 3.0) {
        QImage grey(width, height, QImage::Format_Grayscale8);
        if (grey.isNull())
            return {};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                grey.scanLine(y)[x] = uchar(std::lround(map[size_t(y) * size_t(width) + size_t(x)] * 255.0f));
        grey = KSBackdropFill::blurred(grey, sigma * scale);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                map[size_t(y) * size_t(width) + size_t(x)] = grey.constScanLine(y)[x] / 255.0f;
    }
    // The darkest point is the darkness asked, however soft the shadow.
    const float peak = *std::max_element(map.begin(), map.end());
    if (peak <= 0.0f)
        return {};
    for (float &value : map)
        value /= peak;
    return {shadowPixels(map, width, height, shadow.darkness),
            QRectF(box.topLeft(), QSizeF(width / scale, height / scale))};
}

} // namespace

namespace KSBackgroundLayers {

double backdropScale(const Scene &scene, const QSize &photoSize, const QRectF &view, const QSize &pixels)
{
    if (photoSize.isEmpty() || !usableView(view, pixels) || !usableSubject(scene))
        return 0.0;
    const double viewPerPhoto =
        pixels.height() / view.height() * scene.subjectRect.height() / scene.subjectBounds.height();
    double scale = std::min(1.0, viewPerPhoto);
    const double sigma = photoSigma(scene);
    if (sigma * scale > kWorkingSigma)
        scale = kWorkingSigma / sigma;
    const double floor = double(kMinWorkingSide) / std::min(photoSize.width(), photoSize.height());
    return std::min(1.0, std::max(scale, floor));
}

Backdrop prepareBackdrop(const QImage &colours, const QImage &mask, double scale)
{
    if (colours.isNull() || !(scale > 0))
        return {};
    const QSize size(std::max(1, int(std::lround(colours.width() * std::min(scale, 1.0)))),
                     std::max(1, int(std::lround(colours.height() * std::min(scale, 1.0)))));
    return {KSBackdropFill::filled(colours, mask, size), colours.size()};
}

QImage backdrop(const Scene &scene, const Backdrop &source, const QRectF &view, const QSize &pixels)
{
    if (scene.background.kind != KSEditBackground::Kind::blurredPhoto || source.isNull()
        || !usableView(view, pixels) || !usableSubject(scene))
        return {};
    QImage working = source.filled;
    const double have = double(working.width()) / source.photoSize.width();
    const double need = backdropScale(scene, source.photoSize, view, pixels);
    if (need < have * 0.75) {
        const QSize smaller(std::max(1, int(std::lround(source.photoSize.width() * need))),
                            std::max(1, int(std::lround(source.photoSize.height() * need))));
        working = working.scaled(smaller, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const double sx = double(working.width()) / source.photoSize.width();
    const double sy = double(working.height()) / source.photoSize.height();
    working = KSBackdropFill::blurred(working, photoSigma(scene) * (sx + sy) / 2.0);
    if (working.isNull())
        return {};
    const QTransform toView = QTransform::fromScale(1.0 / sx, 1.0 / sy) * photoToCanvas(scene)
        * canvasToView(view, pixels);
    return KSBackdropFill::warped(working, toView, pixels);
}

QRectF pictureRect(const KSEditBackground &background, const QRectF &frame)
{
    if (!background.picture || background.picture->isNull() || frame.isEmpty())
        return {};
    const KSEditBackground placed = background.clamped();
    const QSizeF picture(background.picture->size());
    const double cover = std::max(frame.width() / picture.width(), frame.height() / picture.height());
    const QSizeF size = picture * (cover * placed.pictureScale);
    // Never so far that the frame shows beyond the picture.
    const double roomX = std::max(0.0, (size.width() - frame.width()) / 2.0);
    const double roomY = std::max(0.0, (size.height() - frame.height()) / 2.0);
    const double dx = std::clamp(placed.pictureOffset.x() * frame.width(), -roomX, roomX);
    const double dy = std::clamp(placed.pictureOffset.y() * frame.height(), -roomY, roomY);
    const QPointF centre = frame.center() + QPointF(dx, dy);
    return QRectF(centre.x() - size.width() / 2.0, centre.y() - size.height() / 2.0, size.width(), size.height());
}

QImage picture(const Scene &scene, const QRectF &view, const QSize &pixels)
{
    if (scene.background.kind != KSEditBackground::Kind::picture || !usableView(view, pixels))
        return {};
    const QRectF rect = pictureRect(scene.background, scene.frame);
    if (rect.isEmpty())
        return {};
    const QImage &source = *scene.background.picture;
    const QTransform toCanvas(rect.width() / source.width(), 0, 0, rect.height() / source.height(), rect.left(),
                              rect.top());
    return KSBackdropFill::warped(source, toCanvas * canvasToView(view, pixels), pixels);
}

ShadowPiece shadowPiece(const Scene &scene, const QImage &subject, const QRectF &view, const QSize &pixels)
{
    if (scene.shadow.isNone() || subject.isNull() || !subject.hasAlphaChannel() || !usableView(view, pixels)
        || scene.subjectRect.isEmpty())
        return {};
    const QRectF placed = canvasToView(view, pixels).mapRect(scene.subjectRect);
    if (placed.width() < 1.0 || placed.height() < 1.0)
        return {};
    const KSEditShadow shadow = scene.shadow.clamped();
    try {
        return shadow.kind == KSEditShadow::Kind::drop ? dropShadow(shadow, subject, scene.mirrored, placed)
                                                       : contactShadow(shadow, subject, scene.mirrored, placed);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

QImage shadow(const Scene &scene, const QImage &subject, const QRectF &view, const QSize &pixels)
{
    const ShadowPiece piece = shadowPiece(scene, subject, view, pixels);
    if (piece.isNull())
        return {};
    QImage layer(pixels, QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return {};
    layer.fill(Qt::transparent);
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(piece.target, piece.image);
    painter.end();
    return layer;
}

} // namespace KSBackgroundLayers
