#include "KSCutImageAlpha.h"

#include "CommLog.h"
#include "KSImageConvert.h"

#include <QSysInfo>

namespace {

// The layouts whose alpha is the last byte of each pixel in memory, which the
// scan reads without converting the picture first.
bool alphaIsLastByte(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return true;
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    default:
        return false;
    }
}

} // namespace

int KSCutImageAlpha::visibleBounds(const unsigned char *bitmap, int width, int height, int bytesPerPixel,
                                   int bytesPerRow, int rect[4])
{
    if (!bitmap || !rect || width < 1 || height < 1
        || (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4)
        || qint64(bytesPerPixel) * width > bytesPerRow)
        return -1;
    if (bytesPerPixel == 3) {
        rect[0] = 0;
        rect[1] = 0;
        rect[2] = width;
        rect[3] = height;
        return 0;
    }

    const int alphaOffset = bytesPerPixel - 1;
    const auto alphaRow = [&](int y) { return bitmap + qint64(y) * bytesPerRow + alphaOffset; };
    const auto rowVisible = [&](int y) {
        const unsigned char *alpha = alphaRow(y);
        for (int x = 0; x < width; ++x)
            if (alpha[x * bytesPerPixel] >= kVisibleAlpha)
                return true;
        return false;
    };

    int top = 0;
    while (top < height && !rowVisible(top))
        ++top;
    if (top == height)
        return -1;
    int bottom = height - 1;
    while (bottom > top && !rowVisible(bottom))
        --bottom;

    // Each row only needs looking at outside the columns already known.
    int minX = width, maxX = -1;
    for (int y = top; y <= bottom; ++y) {
        const unsigned char *alpha = alphaRow(y);
        for (int x = 0; x < minX; ++x) {
            if (alpha[x * bytesPerPixel] >= kVisibleAlpha) {
                minX = x;
                break;
            }
        }
        for (int x = width - 1; x > maxX; --x) {
            if (alpha[x * bytesPerPixel] >= kVisibleAlpha) {
                maxX = x;
                break;
            }
        }
    }
    rect[0] = minX;
    rect[1] = top;
    rect[2] = maxX - minX + 1;
    rect[3] = bottom - top + 1;
    return 0;
}

QRectF KSCutImageAlpha::getProperImage(const QImage &picture)
{
    if (picture.isNull())
        return {};
    const QRectF whole(picture.rect());
    if (!picture.hasAlphaChannel())
        return whole;

    const QImage bitmap =
        alphaIsLastByte(picture.format()) ? picture : KSImageConvert::convertImageToBitmapRGBA8(picture);
    int rect[4] = {0, 0, 0, 0};
    if (bitmap.isNull()
        || visibleBounds(bitmap.constBits(), bitmap.width(), bitmap.height(), 4, int(bitmap.bytesPerLine()), rect)
            != 0)
        return whole;
    CommLog::I(QStringLiteral("the subject's bounds: x=%1 y=%2 w=%3 h=%4").arg(rect[0]).arg(rect[1]).arg(rect[2]).arg(rect[3]));
    return QRectF(rect[0], rect[1], rect[2], rect[3]);
}
