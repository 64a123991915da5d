#include "KSTiffEncoder.h"

#include <QtEndian>

#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

enum Type : quint16 { Short = 3, Long = 4, Rational = 5 };

struct Entry
{
    quint16 tag;
    quint16 type;
    quint32 count;
    quint32 value; // or the offset of values that do not fit in four bytes
};

// Strips of about 1 MB, so that readers never need one huge buffer.
constexpr qint64 kStripBytes = 1 << 20;

class Writer
{
public:
    // Bytes that begin at file offset `base`.
    Writer(char *data, qint64 base) : m_data(data), m_base(base) {}
    void put16(qint64 at, quint16 value) { qToLittleEndian(value, m_data + at - m_base); }
    void put32(qint64 at, quint32 value) { qToLittleEndian(value, m_data + at - m_base); }

private:
    char *m_data;
    qint64 m_base;
};

// Layout: header, pixels, directory, then the values too long for it. The
// header and what follows the pixels are small; the pixels are the rows.
struct Layout
{
    QByteArray header;
    QByteArray trailer;
    qint64 rowBytes = 0;
};

std::optional<Layout> layoutFor(const QImage &image)
{
    const bool straight = image.format() == QImage::Format_RGBA8888;
    if (image.isNull() || (!straight && image.format() != QImage::Format_RGBA8888_Premultiplied))
        return std::nullopt;

    const qint64 width = image.width();
    const qint64 height = image.height();
    const qint64 rowBytes = 4 * width;
    const qint64 pixelBytes = rowBytes * height;
    const qint64 rowsPerStrip = std::max<qint64>(1, kStripBytes / rowBytes);
    const qint64 strips = (height + rowsPerStrip - 1) / rowsPerStrip;

    constexpr int entryCount = 14;
    const qint64 pixelsAt = 8;
    const qint64 directoryAt = pixelsAt + pixelBytes;
    const qint64 bitsAt = directoryAt + 2 + 12 * entryCount + 4;
    const qint64 resolutionAt = bitsAt + 8;
    const qint64 offsetsAt = resolutionAt + 8;
    const qint64 countsAt = offsetsAt + 4 * strips;
    const qint64 total = countsAt + 4 * strips;
    if (total > std::numeric_limits<quint32>::max())
        return std::nullopt;

    Layout layout;
    layout.rowBytes = rowBytes;
    layout.header = QByteArray(8, Qt::Uninitialized);
    Writer head(layout.header.data(), 0);
    layout.header[0] = 'I';
    layout.header[1] = 'I';
    head.put16(2, 42);
    head.put32(4, quint32(directoryAt));

    layout.trailer = QByteArray(total - directoryAt, Qt::Uninitialized);
    Writer out(layout.trailer.data(), directoryAt);
    // A single strip's offset and byte count sit in the entry itself.
    const bool oneStrip = strips == 1;
    const Entry entries[entryCount] = {
        {256, Long, 1, quint32(width)},                                          // image width
        {257, Long, 1, quint32(height)},                                         // image length
        {258, Short, 4, quint32(bitsAt)},                                        // 8 bits per sample
        {259, Short, 1, 1},                                                      // no compression
        {262, Short, 1, 2},                                                      // RGB
        {273, Long, quint32(strips), quint32(oneStrip ? pixelsAt : offsetsAt)},  // strip offsets
        {277, Short, 1, 4},                                                      // samples per pixel
        {278, Long, 1, quint32(rowsPerStrip)},                                   // rows per strip
        {279, Long, quint32(strips), quint32(oneStrip ? pixelBytes : countsAt)}, // strip byte counts
        {282, Rational, 1, quint32(resolutionAt)},                               // 72 pixels per inch
        {283, Rational, 1, quint32(resolutionAt)},
        {284, Short, 1, 1},                                                      // interleaved samples
        {296, Short, 1, 2},                                                      // resolution in inches
        {338, Short, 1, straight ? 2u : 1u},                                     // unassociated or associated alpha
    };
    out.put16(directoryAt, entryCount);
    for (int i = 0; i < entryCount; ++i) {
        const qint64 at = directoryAt + 2 + 12 * i;
        const Entry &entry = entries[i];
        out.put16(at, entry.tag);
        out.put16(at + 2, entry.type);
        out.put32(at + 4, entry.count);
        // A short that fits is stored in the first two bytes of the field.
        if (entry.type == Short && entry.count == 1) {
            out.put16(at + 8, quint16(entry.value));
            out.put16(at + 10, 0);
        } else {
            out.put32(at + 8, entry.value);
        }
    }
    out.put32(directoryAt + 2 + 12 * entryCount, 0); // no further directory
    for (int i = 0; i < 4; ++i)
        out.put16(bitsAt + 2 * i, 8);
    out.put32(resolutionAt, 72);
    out.put32(resolutionAt + 4, 1);
    for (qint64 strip = 0; strip < strips; ++strip) {
        const qint64 firstRow = strip * rowsPerStrip;
        const qint64 rows = std::min(rowsPerStrip, height - firstRow);
        out.put32(offsetsAt + 4 * strip, quint32(pixelsAt + firstRow * rowBytes));
        out.put32(countsAt + 4 * strip, quint32(rows * rowBytes));
    }
    return layout;
}

} // namespace

QByteArray KSTiffEncoder::encode(const QImage &image)
{
    const std::optional<Layout> layout = layoutFor(image);
    if (!layout)
        return {};
    const qint64 pixelBytes = layout->rowBytes * image.height();
    QByteArray data(layout->header.size() + pixelBytes + layout->trailer.size(), Qt::Uninitialized);
    char *bytes = data.data();
    std::memcpy(bytes, layout->header.constData(), size_t(layout->header.size()));
    char *pixels = bytes + layout->header.size();
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(pixels + y * layout->rowBytes, image.constScanLine(y), size_t(layout->rowBytes));
    std::memcpy(pixels + pixelBytes, layout->trailer.constData(), size_t(layout->trailer.size()));
    return data;
}

bool KSTiffEncoder::write(const QImage &image, QIODevice &device)
{
    const std::optional<Layout> layout = layoutFor(image);
    if (!layout || device.write(layout->header) != layout->header.size())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const char *row = reinterpret_cast<const char *>(image.constScanLine(y));
        if (device.write(row, layout->rowBytes) != layout->rowBytes)
            return false;
    }
    return device.write(layout->trailer) == layout->trailer.size();
}
