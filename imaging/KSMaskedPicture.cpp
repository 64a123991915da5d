#include "KSMaskedPicture.h"

#include "KSCutImageAlpha.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

// Reduced copies stop once the smallest is this small.
constexpr int kSmallestLevelSide = 48;
// From this many screen pixels per picture pixel, pixels show as squares.
constexpr double kSharpPixelsFrom = 2.0;

inline QRgb premultiplied(QRgb colour, uchar alpha)
{
    return qPremultiply((colour & 0x00ffffffu) | (QRgb(alpha) << 24));
}

// The mean of four premultiplied pixels, channel by channel, rounded.
inline QRgb mean(QRgb a, QRgb b, QRgb c, QRgb d)
{
    const auto channel = [&](int shift) {
        const quint32 sum = ((a >> shift) & 0xff) + ((b >> shift) & 0xff) + ((c >> shift) & 0xff)
            + ((d >> shift) & 0xff);
        return ((sum + 2) / 4) << shift;
    };
    return channel(24) | channel(16) | channel(8) | channel(0);
}

QSize halved(const QSize &size)
{
    return QSize((size.width() + 1) / 2, (size.height() + 1) / 2);
}

// `rect` (pixels of one size) as the pixels of a copy reduced `levels` times.
QRect reducedRect(const QRect &rect, int levels)
{
    if (rect.isEmpty())
        return {};
    return QRect(QPoint(rect.left() >> levels, rect.top() >> levels),
                 QPoint(rect.right() >> levels, rect.bottom() >> levels));
}

// The colours and the mask inside `rect` joined pixel by pixel into a
// picture of `format`.
template<typename Join>
QImage joined(const QImage &colours, const QImage &mask, const QRect &rect, QImage::Format format, Join join)
{
    const QRect area = rect.intersected(colours.rect());
    if (area.isEmpty() || mask.size() != colours.size())
        return {};
    QImage region(area.size(), format);
    if (region.isNull())
        return {};
    for (int y = 0; y < area.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(colours.constScanLine(area.top() + y)) + area.left();
        const uchar *alpha = mask.constScanLine(area.top() + y) + area.left();
        auto *to = reinterpret_cast<QRgb *>(region.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            to[x] = join(from[x], alpha[x]);
    }
    return region;
}

} // namespace

KSMaskedPicture::KSMaskedPicture(QImage cutout)
{
    if (cutout.isNull())
        return;
    QImage pixels = std::move(cutout).convertToFormat(QImage::Format_ARGB32);
    if (pixels.isNull())
        return;
    QImage mask(pixels.size(), QImage::Format_Grayscale8);
    if (mask.isNull())
        return;
    for (int y = 0; y < pixels.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(pixels.scanLine(y));
        uchar *alpha = mask.scanLine(y);
        for (int x = 0; x < pixels.width(); ++x) {
            alpha[x] = uchar(qAlpha(row[x]));
            row[x] |= 0xff000000u;
        }
    }
    pixels.reinterpretAsFormat(QImage::Format_RGB32);
    m_colours = std::move(pixels);
    m_store = KSMaskEditStore(mask);
}

QImage KSMaskedPicture::withPhotoColours(QImage colours, const QImage &cutoutMask, const QImage &photo)
{
    if (colours.isNull() || photo.isNull() || cutoutMask.size() != colours.size())
        return colours;
    QImage fill = photo.size() == colours.size()
        ? photo
        : photo.scaled(colours.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    fill = std::move(fill).convertToFormat(QImage::Format_RGB32);
    colours = std::move(colours).convertToFormat(QImage::Format_RGB32);
    if (fill.isNull() || colours.isNull())
        return colours;
    for (int y = 0; y < colours.height(); ++y) {
        const uchar *alpha = cutoutMask.constScanLine(y);
        const auto *from = reinterpret_cast<const QRgb *>(fill.constScanLine(y));
        QRgb *to = nullptr;
        for (int x = 0; x < colours.width(); ++x) {
            if (alpha[x] >= kReliableAlpha)
                continue;
            // Only rows that take a photo pixel are written (and copied).
            if (!to)
                to = reinterpret_cast<QRgb *>(colours.scanLine(y));
            to[x] = from[x];
        }
    }
    return colours;
}

QList<QImage> KSMaskedPicture::photoLevelsOf(const QImage &colours)
{
    return makeLevels(colours, nullptr);
}

void KSMaskedPicture::setColours(const QImage &colours, const QList<QImage> &photoLevels)
{
    if (colours.size() != m_colours.size())
        return;
    m_colours = colours.convertToFormat(QImage::Format_RGB32);
    m_photoLevels = photoLevels;
    // The new colours show only where the cut-out was clear: only where the
    // mask has been edited can the subject look different.
    for (int index : std::as_const(m_editedTiles))
        refreshLevels(m_levels, m_colours, &m_store.mask(), m_store.tileRect(index));
}

void KSMaskedPicture::maskChanged(const QList<QRect> &rects)
{
    for (const QRect &rect : rects) {
        for (int index : m_store.tilesIn(rect))
            m_editedTiles.insert(index);
        refreshLevels(m_levels, m_colours, &m_store.mask(), rect);
    }
}

QRect KSMaskedPicture::visibleBounds() const
{
    const QImage &alpha = m_store.mask();
    int rect[4] = {0, 0, 0, 0};
    if (alpha.isNull()
        || KSCutImageAlpha::visibleBounds(alpha.constBits(), alpha.width(), alpha.height(), 1,
                                          int(alpha.bytesPerLine()), rect)
            != 0)
        return this->rect();
    return QRect(rect[0], rect[1], rect[2], rect[3]);
}

QImage KSMaskedPicture::subjectImage(const QImage &colours, const QImage &mask, const QRect &rect)
{
    return joined(colours, mask, rect, QImage::Format_ARGB32,
                  [](QRgb colour, uchar alpha) { return (colour & 0x00ffffffu) | (QRgb(alpha) << 24); });
}

QImage KSMaskedPicture::composeRegion(const QImage &colours, const QImage &mask, const QRect &rect)
{
    return joined(colours, mask, rect, QImage::Format_ARGB32_Premultiplied, premultiplied);
}

QList<QImage> KSMaskedPicture::makeLevels(const QImage &colours, const QImage *mask)
{
    QList<QImage> levels;
    QSize size = colours.size();
    while (std::max(size.width(), size.height()) > kSmallestLevelSide) {
        size = halved(size);
        QImage level(size, QImage::Format_ARGB32_Premultiplied);
        if (level.isNull())
            break;
        levels.append(level);
    }
    refreshLevels(levels, colours, mask, colours.rect());
    return levels;
}

void KSMaskedPicture::refreshLevels(QList<QImage> &levels, const QImage &colours, const QImage *mask,
                                    const QRect &rect)
{
    const QRect changed = rect.intersected(colours.rect());
    if (changed.isEmpty())
        return;
    for (int index = 0; index < levels.size(); ++index) {
        QImage &level = levels[index];
        const QRect area = reducedRect(changed, index + 1).intersected(level.rect());
        // The level below: the full-size picture for the first copy.
        const bool fromFull = index == 0;
        const bool masked = fromFull && mask;
        const QImage &below = fromFull ? colours : levels[index - 1];
        const int belowWidth = below.width();
        const int belowHeight = below.height();
        const auto pixelBelow = [&](const QRgb *row, const uchar *alphaRow, int x) {
            return masked ? premultiplied(row[x], alphaRow[x]) : row[x];
        };
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const int y0 = 2 * y;
            const int y1 = std::min(y0 + 1, belowHeight - 1);
            const auto *row0 = reinterpret_cast<const QRgb *>(below.constScanLine(y0));
            const auto *row1 = reinterpret_cast<const QRgb *>(below.constScanLine(y1));
            const uchar *alpha0 = masked ? mask->constScanLine(y0) : nullptr;
            const uchar *alpha1 = masked ? mask->constScanLine(y1) : nullptr;
            auto *to = reinterpret_cast<QRgb *>(level.scanLine(y));
            for (int x = area.left(); x <= area.right(); ++x) {
                const int x0 = 2 * x;
                const int x1 = std::min(x0 + 1, belowWidth - 1);
                to[x] = mean(pixelBelow(row0, alpha0, x0), pixelBelow(row0, alpha0, x1), pixelBelow(row1, alpha1, x0),
                             pixelBelow(row1, alpha1, x1));
            }
        }
    }
}

const QList<QImage> &KSMaskedPicture::levelsFor(Layer layer)
{
    // Made the first time a layer is drawn reduced: a picture only rendered
    // or saved (the command line's) never holds them.
    if (layer == Layer::subject) {
        if (m_levels.isEmpty() && !m_colours.isNull())
            m_levels = makeLevels(m_colours, &m_store.mask());
        return m_levels;
    }
    if (m_photoLevels.isEmpty() && !m_colours.isNull())
        m_photoLevels = makeLevels(m_colours, nullptr);
    return m_photoLevels;
}

void KSMaskedPicture::draw(QPainter &painter, const QRectF &target, const QRectF &source, const QRectF &exposed,
                           Layer layer)
{
    if (isNull() || target.isEmpty() || source.isEmpty())
        return;
    const QRectF visible = exposed.intersected(target);
    if (visible.isEmpty())
        return;
    const double kx = target.width() / source.width();
    const double ky = target.height() / source.height();
    const QTransform &world = painter.worldTransform();
    const double worldScale = std::sqrt(std::abs(world.determinant()));
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // Screen pixels per picture pixel.
    const double screenScale = std::min(kx, ky) * worldScale * ratio;
    if (!(screenScale > 0) || !std::isfinite(screenScale))
        return;

    // The smallest copy that still has a pixel for every screen pixel.
    int levels = 0;
    const int available = int(levelsFor(layer).size());
    while (levels < available && std::ldexp(1.0, -(levels + 1)) >= screenScale)
        ++levels;
    const double unit = std::ldexp(1.0, levels); // full-size pixels per pixel of that copy

    // The visible part of the source, in pixels of that copy, widened to
    // whole pixels (and one more for smooth sampling at the edges).
    const QRectF wanted(source.x() + (visible.left() - target.x()) / kx, source.y() + (visible.top() - target.y()) / ky,
                        visible.width() / kx, visible.height() / ky);
    const QRectF wantedInCopy(wanted.x() / unit, wanted.y() / unit, wanted.width() / unit, wanted.height() / unit);
    const QRectF sourceInCopy(source.x() / unit, source.y() / unit, source.width() / unit, source.height() / unit);
    const QRect copyBounds = levels == 0 ? m_colours.rect() : levelsFor(layer)[levels - 1].rect();
    const auto widened = [](const QRectF &r, int margin) {
        return QRect(QPoint(int(std::floor(r.left())) - margin, int(std::floor(r.top())) - margin),
                     QPoint(int(std::ceil(r.right())) + margin - 1, int(std::ceil(r.bottom())) + margin - 1));
    };
    const QRect pixels = widened(wantedInCopy, 1).intersected(widened(sourceInCopy, 0)).intersected(copyBounds);
    if (pixels.isEmpty())
        return;
    const QRectF drawn(target.x() + (pixels.x() * unit - source.x()) * kx,
                       target.y() + (pixels.y() * unit - source.y()) * ky, pixels.width() * unit * kx,
                       pixels.height() * unit * ky);

    painter.save();
    painter.setClipRect(visible, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, screenScale < kSharpPixelsFrom);
    if (levels > 0)
        painter.drawImage(drawn, levelsFor(layer)[levels - 1], QRectF(pixels));
    else if (layer == Layer::photo)
        painter.drawImage(drawn, m_colours, QRectF(pixels));
    else
        painter.drawImage(drawn, composeRegion(m_colours, m_store.mask(), pixels));
    painter.restore();
}

QImage KSMaskedPicture::reducedColours(double scale)
{
    const QList<QImage> &levels = levelsFor(Layer::photo);
    QImage best;
    for (const QImage &level : levels) {
        if (double(level.width()) / m_colours.width() < scale)
            break;
        best = level;
    }
    return best;
}

QImage KSMaskedPicture::reducedSubject(const QRect &rect, const QSize &size)
{
    if (size.isEmpty() || rect.isEmpty())
        return {};
    QImage reduced(size, QImage::Format_ARGB32_Premultiplied);
    if (reduced.isNull())
        return {};
    reduced.fill(Qt::transparent);
    QPainter painter(&reduced);
    const QRectF whole(QPointF(0, 0), QSizeF(size));
    draw(painter, whole, QRectF(rect), whole);
    painter.end();
    return reduced;
}

qsizetype KSMaskedPicture::levelBytes() const
{
    qsizetype bytes = 0;
    for (const QImage &level : m_levels)
        bytes += level.sizeInBytes();
    for (const QImage &level : m_photoLevels)
        bytes += level.sizeInBytes();
    return bytes;
}
