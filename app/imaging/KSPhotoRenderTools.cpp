#include "KSPhotoRenderTools.h"

#include "CommLog.h"
#include "KSImageExtension.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

namespace {

// Grey level of every mask pixel at the mask's own size: red x 255 / alpha of
// the premultiplied pixel, truncated, low 8 bits kept. The mask is grey, so
// red stands for the level. A pixel with alpha 0 counts as level 0.
QImage maskLevels(const QImage &mask)
{
    if (mask.format() == QImage::Format_Grayscale8)
        return mask;
    QImage pixels = mask;
    if (pixels.format() != QImage::Format_RGB32 && pixels.format() != QImage::Format_ARGB32_Premultiplied)
        pixels = mask.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage levels(mask.size(), QImage::Format_Grayscale8);
    if (pixels.isNull() || levels.isNull())
        return {};
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        uchar *out = levels.scanLine(y);
        for (int x = 0; x < pixels.width(); ++x) {
            const uint alpha = uint(qAlpha(in[x]));
            out[x] = alpha ? uchar((uint(qRed(in[x])) * 255u / alpha) & 0xFFu) : 0;
        }
    }
    return levels;
}

// Source position of each destination pixel for a stretch with pixel centres
// aligned: two neighbours and the weight of the second in 1/256.
struct AxisTable
{
    std::vector<int> first;
    std::vector<int> second;
    std::vector<uint> weight;

    AxisTable(int source, int destination)
        : first(size_t(destination)), second(size_t(destination)), weight(size_t(destination))
    {
        const double ratio = double(source) / double(destination);
        for (int i = 0; i < destination; ++i) {
            const double position = std::clamp((i + 0.5) * ratio - 0.5, 0.0, double(source - 1));
            int lower = int(position);
            uint w = uint(std::lround((position - lower) * 256.0));
            if (w == 256) {
                ++lower;
                w = 0;
            }
            first[size_t(i)] = lower;
            second[size_t(i)] = std::min(lower + 1, source - 1);
            weight[size_t(i)] = w;
        }
    }
};

// Delivers the mask's grey levels stretched to the cut-out's size one row at
// a time, so that no full-size copy of the mask is ever made. Every buffer is
// allocated up front; row() allocates nothing.
class MaskRows
{
public:
    MaskRows(const QImage &levels, int width, int height)
        : m_levels(levels), m_width(width), m_height(height), m_columns(levels.width(), width),
          m_rows(levels.height(), height), m_blended(size_t(levels.width())), m_out(size_t(width))
    {
    }

    const uchar *row(int y)
    {
        const bool sameWidth = m_levels.width() == m_width;
        if (sameWidth && m_levels.height() == m_height)
            return m_levels.constScanLine(y);

        const uint fy = m_rows.weight[size_t(y)];
        const uchar *upper = m_levels.constScanLine(m_rows.first[size_t(y)]);
        const uchar *lower = m_levels.constScanLine(m_rows.second[size_t(y)]);
        if (sameWidth) {
            for (int x = 0; x < m_width; ++x)
                m_out[size_t(x)] = uchar((upper[x] * (256u - fy) + lower[x] * fy + 128u) >> 8);
            return m_out.data();
        }
        for (int x = 0; x < m_levels.width(); ++x)
            m_blended[size_t(x)] = upper[x] * (256u - fy) + lower[x] * fy;
        for (int x = 0; x < m_width; ++x) {
            const uint fx = m_columns.weight[size_t(x)];
            m_out[size_t(x)] = uchar((m_blended[size_t(m_columns.first[size_t(x)])] * (256u - fx)
                                      + m_blended[size_t(m_columns.second[size_t(x)])] * fx + 32768u)
                                     >> 16);
        }
        return m_out.data();
    }

private:
    const QImage &m_levels;
    int m_width;
    int m_height;
    AxisTable m_columns;
    AxisTable m_rows;
    std::vector<uint> m_blended;
    std::vector<uchar> m_out;
};

// a x b / 255 rounded to nearest, exact for all bytes.
inline uint multiplyBytes(uint a, uint b)
{
    const uint t = a * b + 128u;
    return (t + (t >> 8)) >> 8;
}

// The original in one of the four layouts the compositing loop knows, with
// straight colours. Conversions of an unshared image happen in place where Qt
// can.
QImage straightOriginal(QImage original)
{
    switch (original.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        return original;
    default:
        break;
    }
    const QImage::Format target =
        original.hasAlphaChannel() ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
    return std::move(original).convertToFormat(target);
}

QByteArray encodeTiff(const QImage &image)
{
    QByteArray data;
    data.reserve(qsizetype(image.sizeInBytes()) + 64 * 1024);
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(image)) {
        CommLog::E(QStringLiteral("TIFF encoding of the cut-out failed: %1").arg(writer.errorString()));
        return {};
    }
    return data;
}

} // namespace

QSizeF KSPhotoRenderTools::zipSize(const QSizeF &size, const QSizeF &maxImageSize)
{
    const double w = size.width();
    const double h = size.height();
    if (!(w > maxImageSize.width() || h > maxImageSize.height()))
        return size;
    const double ratioW = w / maxImageSize.width();
    const double ratioH = h / maxImageSize.height();
    const double factor = ratioW > ratioH ? ratioW : ratioH;
    return {w / factor, h / factor};
}

QImage KSPhotoRenderTools::zipInputImage(const QImage &image, const QSizeF &maxImageSize)
{
    const QSizeF size(image.size());
    const QSizeF zipped = zipSize(size, maxImageSize);
    if (zipped == size)
        return image;
    return KSImageExtension::adjuectWithNewSize(image, zipped);
}

QImage KSPhotoRenderTools::cutoutImage(QImage original, const QImage &grayImage, bool needManualChangeAlphaValue)
{
    if (original.isNull() || grayImage.isNull())
        return {};
    CommLog::I(QStringLiteral("original imageRef"));
    try {
        QImage cutout = straightOriginal(std::move(original));
        const QImage levels = maskLevels(grayImage);
        const int width = cutout.width();
        const int height = cutout.height();
        // bits() detaches: from here on the pixels are ours alone.
        if (cutout.isNull() || levels.isNull() || !cutout.bits()) {
            CommLog::I(QStringLiteral(" return ni"));
            return {};
        }
        MaskRows mask(levels, width, height);

        std::array<uchar, 256> snapped{};
        for (uint level = 0; level < 256; ++level)
            snapped[level] = uchar(!needManualChangeAlphaValue ? level : level < 128 ? 0 : level > 200 ? 255 : level);

        const QImage::Format format = cutout.format();
        for (int y = 0; y < height; ++y) {
            const uchar *m = mask.row(y);
            uchar *line = cutout.scanLine(y);
            auto *pixels = reinterpret_cast<quint32 *>(line);
            switch (format) {
            case QImage::Format_RGB32: // 0xffRRGGBB -> bytes R, G, B, mask
                for (int x = 0; x < width; ++x)
                    pixels[x] = qToBigEndian(quint32(pixels[x] << 8) | snapped[m[x]]);
                break;
            case QImage::Format_ARGB32: // 0xAARRGGBB, straight
                for (int x = 0; x < width; ++x) {
                    const quint32 p = pixels[x];
                    pixels[x] = qToBigEndian(quint32(p << 8) | multiplyBytes(snapped[m[x]], p >> 24));
                }
                break;
            case QImage::Format_RGBX8888:
                for (int x = 0; x < width; ++x)
                    line[4 * x + 3] = snapped[m[x]];
                break;
            default: // Format_RGBA8888, straight
                for (int x = 0; x < width; ++x)
                    line[4 * x + 3] = uchar(multiplyBytes(snapped[m[x]], line[4 * x + 3]));
                break;
            }
        }
        cutout.reinterpretAsFormat(QImage::Format_RGBA8888);
        cutout.setDevicePixelRatio(1.0);
        return cutout;
    } catch (const std::bad_alloc &) {
        CommLog::I(QStringLiteral(" return ni"));
        return {};
    }
}

QByteArray KSPhotoRenderTools::originalImage(QImage original, const QImage &grayImage,
                                             bool needManualChangeAlphaValue)
{
    try {
        const QImage cutout = cutoutImage(std::move(original), grayImage, needManualChangeAlphaValue);
        if (cutout.isNull())
            return {};
        QByteArray data = encodeTiff(cutout);
        CommLog::I(QStringLiteral("free(grayData)"));
        CommLog::I(QStringLiteral("imageData"));
        return data;
    } catch (const std::bad_alloc &) {
        CommLog::E(QStringLiteral("Out of memory while encoding the cut-out"));
        return {};
    }
}

QByteArray KSPhotoRenderTools::originalImage(QImage original, const QImage &grayImage)
{
    return originalImage(std::move(original), grayImage, false);
}

QImage KSPhotoRenderTools::inputImage(const QImage &picture, const QColor &backgroundColor, const QSizeF &imageSize,
                                      const QRectF &inputImageRect)
{
    const double w = imageSize.width();
    const double h = imageSize.height();
    if (!(w >= 1.0 && h >= 1.0 && w < 1e6 && h < 1e6))
        return {};
    // A picture that carries only coverage (Alpha8) counts as one without
    // colour alpha, like a picture with no alpha at all.
    const bool alpha = picture.hasAlphaChannel() && picture.format() != QImage::Format_Alpha8;
    QImage canvas(int(w), int(h), alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (canvas.isNull())
        return {};
    canvas.fill(alpha ? Qt::transparent : Qt::black);

    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.fillRect(canvas.rect(), backgroundColor);
    if (!picture.isNull()) {
        // The placement rectangle counts y upwards from the bottom edge.
        const QRectF target(inputImageRect.x(), canvas.height() - inputImageRect.y() - inputImageRect.height(),
                            inputImageRect.width(), inputImageRect.height());
        painter.drawImage(target, picture, QRectF(picture.rect()));
    }
    painter.end();
    return canvas;
}
