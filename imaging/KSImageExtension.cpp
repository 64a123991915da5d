#include "KSImageExtension.h"

#include <algorithm>
#include <cmath>
#include <limits>

QSize KSImageExtension::pixelSize(const QSizeF &size)
{
    const double w = size.width();
    const double h = size.height();
    constexpr double maxSide = std::numeric_limits<int>::max();
    if (!std::isfinite(w) || !std::isfinite(h) || w <= 0 || h <= 0 || w >= maxSide || h >= maxSide)
        return {};
    return {std::max(1, int(std::lround(w))), std::max(1, int(std::lround(h)))};
}

QImage KSImageExtension::resizeWithNewSize(const QImage &image, const QSizeF &size)
{
    const QSize target = pixelSize(size);
    if (image.isNull() || !target.isValid())
        return {};
    if (target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage KSImageExtension::adjuectWithNewSize(const QImage &image, const QSizeF &size)
{
    return resizeWithNewSize(image, size);
}

QImage KSImageExtension::cropImageWithRect(const QImage &image, const QRectF &rect)
{
    if (image.isNull() || !std::isfinite(rect.x()) || !std::isfinite(rect.y())
        || !std::isfinite(rect.width()) || !std::isfinite(rect.height()))
        return {};
    const QRectF r = rect.normalized();
    // Clamp before converting so that huge values cannot overflow an int.
    const auto clampToPicture = [](double v, int limit) { return int(std::clamp(v, -1.0, double(limit) + 1.0)); };
    const int left = clampToPicture(std::floor(r.left()), image.width());
    const int top = clampToPicture(std::floor(r.top()), image.height());
    const int right = clampToPicture(std::ceil(r.right()), image.width());
    const int bottom = clampToPicture(std::ceil(r.bottom()), image.height());
    const QRect clipped = QRect(left, top, right - left, bottom - top).intersected(image.rect());
    if (clipped.isEmpty())
        return {};
    return image.copy(clipped);
}

QImage KSImageExtension::flipImage(const QImage &image)
{
    if (image.isNull())
        return {};
    return image.mirrored(true, false);
}

QImage KSImageExtension::scaleImage(const QImage &image, double scale)
{
    if (image.isNull() || !std::isfinite(scale) || scale <= 0)
        return {};
    return resizeWithNewSize(image, QSizeF(image.size()) * scale);
}
