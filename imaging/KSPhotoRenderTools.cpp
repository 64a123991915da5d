#include "KSPhotoRenderTools.h"

#include "CommLog.h"
#include "KSImageExtension.h"
#include "KSTiffEncoder.h"

#include <QPainter>
#include <QtEndian>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The mask's grey levels stretched (bilinear) to the cut-out's size. The
// columns are stretched up front, once per mask row; the rows are blended
// inside the compositing loop, so no full-size copy of the mask is made.
class StretchedMask
{
public:
    StretchedMask(const QImage &levels, int width, int height)
        : m_levels(levels), m_width(width), m_rows(levels.height(), height)
    {
        if (levels.width() == width)
            return;
        m_wide.resize(size_t(width) * size_t(levels.height()));
        const AxisTable columns(levels.width(), width);
        const int *__restrict first = columns.first.data();
        const int *__restrict second = columns.second.data();
        const uint *__restrict weight = columns.weight.data();
        for (int y = 0; y < levels.height(); ++y) {
            const uchar *__restrict in = levels.constScanLine(y);
            uchar *__restrict out = m_wide.data() + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x)
                out[x] = uchar((in[first[x]] * (256u - weight[x]) + in[second[x]] * weight[x] + 128u) >> 8);
        }
    }

    // The two mask rows that output row y blends, and the second one's weight.
    void rows(int y, const uchar *&upper, const uchar *&lower, uint &weight) const
    {
        upper = row(m_rows.first[size_t(y)]);
        lower = row(m_rows.second[size_t(y)]);
        weight = m_rows.weight[size_t(y)];
    }

private:
    const uchar *row(int sourceRow) const
    {
        return m_wide.empty() ? m_levels.constScanLine(sourceRow) : m_wide.data() + size_t(sourceRow) * size_t(m_width);
    }

    const QImage &m_levels;
    int m_width;
    AxisTable m_rows;
    std::vector<uchar> m_wide;
};

// a x b / 255 rounded to nearest, exact for all bytes.
inline uint multiplyBytes(uint a, uint b)
{
    const uint t = a * b + 128u;
    return (t + (t >> 8)) >> 8;
}

// One row of the cut-out: the mask level blended from two mask rows (weight
// 0 for an unstretched row gives the upper row exactly), optionally snapped,
// becomes the alpha of each pixel; the pixels end as bytes R, G, B, A.
template<QImage::Format format, bool snap>
void compositeRow(uchar *__restrict line, const uchar *__restrict upper, const uchar *__restrict lower, uint weight,
                  int width, const uchar *__restrict snapped)
{
    auto *pixels = reinterpret_cast<quint32 *>(line);
    const uint keep = 256u - weight;
    for (int x = 0; x < width; ++x) {
        uint m = (upper[x] * keep + lower[x] * weight + 128u) >> 8;
        if constexpr (snap)
            m = snapped[m];
        if constexpr (format == QImage::Format_RGB32) { // 0xffRRGGBB
            pixels[x] = qToBigEndian(quint32(pixels[x] << 8) | m);
        } else if constexpr (format == QImage::Format_ARGB32) { // 0xAARRGGBB, straight
            const quint32 p = pixels[x];
            pixels[x] = qToBigEndian(quint32(p << 8) | multiplyBytes(m, p >> 24));
        } else if constexpr (format == QImage::Format_RGBX8888) {
            line[4 * x + 3] = uchar(m);
        } else { // Format_RGBA8888, straight
            line[4 * x + 3] = uchar(multiplyBytes(m, line[4 * x + 3]));
        }
    }
}

#ifdef __SSE2__
// The common case, an opaque photo without snapping, eight pixels at a time.
void compositeOpaqueRowSse2(uchar *line, const uchar *upper, const uchar *lower, uint weight, int width)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi16(short(256u - weight));
    const __m128i take = _mm_set1_epi16(short(weight));
    const __m128i half = _mm_set1_epi16(128);
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i middleByte = _mm_set1_epi32(0xFF00);
    const auto pixelsWithAlpha = [&](__m128i pixels, __m128i alpha) { // 0xffRRGGBB -> bytes R, G, B, alpha
        const __m128i red = _mm_and_si128(_mm_srli_epi32(pixels, 16), lowByte);
        const __m128i green = _mm_and_si128(pixels, middleByte);
        const __m128i blue = _mm_slli_epi32(_mm_and_si128(pixels, lowByte), 16);
        return _mm_or_si128(_mm_or_si128(red, green), _mm_or_si128(blue, _mm_slli_epi32(alpha, 24)));
    };
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(upper + x)), zero);
        const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(lower + x)), zero);
        // At most 255 x 256 + 128: fits 16 bits.
        const __m128i m = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, keep), _mm_mullo_epi16(b, take)), half), 8);
        auto *first = reinterpret_cast<__m128i *>(line + 4 * x);
        _mm_storeu_si128(first, pixelsWithAlpha(_mm_loadu_si128(first), _mm_unpacklo_epi16(m, zero)));
        _mm_storeu_si128(first + 1, pixelsWithAlpha(_mm_loadu_si128(first + 1), _mm_unpackhi_epi16(m, zero)));
    }
    compositeRow<QImage::Format_RGB32, false>(line + 4 * x, upper + x, lower + x, weight, width - x, nullptr);
}
#endif

template<bool snap>
void compositeRow(QImage::Format format, uchar *line, const uchar *upper, const uchar *lower, uint weight, int width,
                  const uchar *snapped)
{
    switch (format) {
    case QImage::Format_RGB32:
#ifdef __SSE2__
        if constexpr (!snap)
            return compositeOpaqueRowSse2(line, upper, lower, weight, width);
#endif
        return compositeRow<QImage::Format_RGB32, snap>(line, upper, lower, weight, width, snapped);
    case QImage::Format_ARGB32:
        return compositeRow<QImage::Format_ARGB32, snap>(line, upper, lower, weight, width, snapped);
    case QImage::Format_RGBX8888:
        return compositeRow<QImage::Format_RGBX8888, snap>(line, upper, lower, weight, width, snapped);
    default:
        return compositeRow<QImage::Format_RGBA8888, snap>(line, upper, lower, weight, width, snapped);
    }
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
        const StretchedMask mask(levels, width, height);

        std::array<uchar, 256> snapped{};
        for (uint level = 0; level < 256; ++level)
            snapped[level] = uchar(level < 128 ? 0 : level > 200 ? 255 : level);

        const QImage::Format format = cutout.format();
        for (int y = 0; y < height; ++y) {
            const uchar *upper = nullptr;
            const uchar *lower = nullptr;
            uint weight = 0;
            mask.rows(y, upper, lower, weight);
            if (needManualChangeAlphaValue)
                compositeRow<true>(format, cutout.scanLine(y), upper, lower, weight, width, snapped.data());
            else
                compositeRow<false>(format, cutout.scanLine(y), upper, lower, weight, width, snapped.data());
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
        QByteArray data = KSTiffEncoder::encode(cutout);
        if (data.isEmpty())
            CommLog::E(QStringLiteral("The cut-out of %1 x %2 pixels is too large for TIFF data").arg(cutout.width()).arg(cutout.height()));
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
