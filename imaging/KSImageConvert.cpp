#include "KSImageConvert.h"

#include "CommLog.h"

#include <limits>

namespace {
constexpr QImage::Format kBitmapFormat = QImage::Format_RGBA8888_Premultiplied;

bool fitsBitmap(std::size_t width, std::size_t height)
{
    constexpr std::size_t maxSide = std::numeric_limits<int>::max() / 4;
    return width >= 1 && height >= 1 && width <= maxSide && height <= maxSide;
}
} // namespace

QImage KSImageConvert::newBitmapRGBA8ContextFromImage(const QImage &image)
{
    if (image.isNull())
        return {};
    QImage bitmap(image.size(), kBitmapFormat);
    if (bitmap.isNull()) {
        CommLog::E(QStringLiteral("Error allocating memory for bitmap\n"));
        return {};
    }
    bitmap.fill(Qt::transparent);
    return bitmap;
}

QImage KSImageConvert::convertImageToBitmapRGBA8(const QImage &image, const BitmapInfoBlock &block)
{
    if (image.isNull())
        return {};
    // Qt's conversion premultiplies exactly like drawing into a cleared
    // premultiplied bitmap, without a painter and without clearing first.
    QImage bitmap = image.convertToFormat(kBitmapFormat);
    bitmap.setDevicePixelRatio(1.0);
    if (bitmap.isNull())
        CommLog::E(QStringLiteral("Error getting bitmap pixel data\n"));
    if (block)
        block(std::size_t(4) * std::size_t(image.width()), std::size_t(image.height()), std::size_t(image.width()));
    return bitmap;
}

QImage KSImageConvert::convertBitmapToDestinationWithPionter(const unsigned char *bitmap, std::size_t width,
                                                             std::size_t height)
{
    if (!bitmap || !fitsBitmap(width, height))
        return {};
    const QImage wrapped(bitmap, int(width), int(height), int(4 * width), kBitmapFormat);
    QImage copy = wrapped.copy();
    if (copy.isNull())
        CommLog::E(QStringLiteral("Error: Memory not allocated for bitmap"));
    return copy;
}
