#include "KSTiffEncoder.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

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
    explicit Writer(char *data) : m_data(data) {}
    void put16(qint64 at, quint16 value) { qToLittleEndian(value, m_data + at); }
    void put32(qint64 at, quint32 value) { qToLittleEndian(value, m_data + at); }

private:
    char *m_data;
};

} // namespace

QByteArray KSTiffEncoder::encode(const QImage &image)
{
    const bool straight = image.format() == QImage::Format_RGBA8888;
    if (image.isNull() || (!straight && image.format() != QImage::Format_RGBA8888_Premultiplied))
        return {};

    const qint64 width = image.width();
    const qint64 height = image.height();
    const qint64 rowBytes = 4 * width;
    const qint64 pixelBytes = rowBytes * height;
    const qint64 rowsPerStrip = std::max<qint64>(1, kStripBytes / rowBytes);
    const qint64 strips = (height + rowsPerStrip - 1) / rowsPerStrip;

    // Layout: header, pixels, directory, then the values too long for it.
    constexpr int entryCount = 14;
    const qint64 pixelsAt = 8;
    const qint64 directoryAt = pixelsAt + pixelBytes;
    const qint64 bitsAt = directoryAt + 2 + 12 * entryCount + 4;
    const qint64 resolutionAt = bitsAt + 8;
    const qint64 offsetsAt = resolutionAt + 8;
    const qint64 countsAt = offsetsAt + 4 * strips;
    const qint64 total = countsAt + 4 * strips;
    if (total > std::numeric_limits<quint32>::max())
        return {};

    QByteArray data(total, Qt::Uninitialized);
    char *bytes = data.data();
    Writer out(bytes);
    bytes[0] = 'I';
    bytes[1] = 'I';
    out.put16(2, 42);
    out.put32(4, quint32(directoryAt));
    for (qint64 y = 0; y < height; ++y)
        std::memcpy(bytes + pixelsAt + y * rowBytes, image.constScanLine(int(y)), size_t(rowBytes));

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
    return data;
}
