#include "KSPictureCompleteness.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes of a device, read ahead in blocks.
class ByteReader
{
public:
    explicit ByteReader(QIODevice &device) : m_device(device) {}

    // The next byte, or -1 at the end.
    int next()
    {
        if (m_at == m_size && !refill())
            return -1;
        return quint8(m_block[m_at++]);
    }

    // Moves past count bytes; false when the data ends first.
    bool skip(qint64 count)
    {
        const qint64 buffered = m_size - m_at;
        if (count <= buffered) {
            m_at += int(count);
            return true;
        }
        count -= buffered;
        m_at = m_size;
        if (!m_device.isSequential() && m_device.pos() + count <= m_device.size())
            return m_device.seek(m_device.pos() + count);
        while (count > 0) {
            if (!refill())
                return false;
            const int taken = int(std::min<qint64>(count, m_size));
            m_at = taken;
            count -= taken;
        }
        return true;
    }

    // Moves to the next 0xFF byte and past it; false when there is none.
    bool skipPastMarkerByte()
    {
        for (;;) {
            const void *found = std::memchr(m_block + m_at, 0xFF, size_t(m_size - m_at));
            if (found) {
                m_at = int(static_cast<const char *>(found) - m_block) + 1;
                return true;
            }
            m_at = m_size;
            if (!refill())
                return false;
        }
    }

private:
    bool refill()
    {
        const qint64 read = m_device.read(m_block, sizeof(m_block));
        m_size = read > 0 ? int(read) : 0;
        m_at = 0;
        return m_size > 0;
    }

    QIODevice &m_device;
    char m_block[64 * 1024];
    int m_size = 0;
    int m_at = 0;
};

bool isStandalone(int marker)
{
    // SOI, TEM and RST0..7 carry no length.
    return marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// The byte after a marker's 0xFF (fill bytes skipped), or -1 at the end.
int markerCode(ByteReader &in)
{
    int code = in.next();
    while (code == 0xFF)
        code = in.next();
    return code;
}

// A JPEG is whole when its segments and scans run up to its end marker;
// libjpeg decodes a file cut off before it and fills the rest with grey.
QString jpegMissingData(QIODevice &device)
{
    ByteReader in(device);
    const QString cutOff = QStringLiteral("the JPEG data ends before its end marker");
    if (in.next() != 0xFF || in.next() != 0xD8)
        return QStringLiteral("the JPEG data has no start marker");
    int pending = -1; // a marker found at the end of a scan
    for (;;) {
        int code = pending;
        pending = -1;
        if (code < 0) {
            // Stray bytes between segments are skipped, as libjpeg does.
            if (!in.skipPastMarkerByte() || (code = markerCode(in)) < 0)
                return cutOff;
        }
        if (code == 0xD9)
            return {};
        if (code == 0x00 || isStandalone(code))
            continue;
        const int high = in.next();
        const int low = in.next();
        if (low < 0)
            return cutOff;
        const int length = (high << 8) | low;
        if (length < 2)
            return QStringLiteral("a JPEG segment has a length below its own size");
        if (!in.skip(length - 2))
            return cutOff;
        if (code != 0xDA)
            continue;
        // Entropy-coded data: it ends at the first marker that is neither a
        // stuffed 0xFF nor a restart marker.
        for (;;) {
            if (!in.skipPastMarkerByte())
                return cutOff;
            const int next = markerCode(in);
            if (next < 0)
                return cutOff;
            if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7)) {
                pending = next;
                break;
            }
        }
    }
}

// An uncompressed BMP holds its rows in full; a compressed one as many
// bytes as its header says, when it says.
QString bmpMissingData(QIODevice &device)
{
    const QByteArray head = device.read(54);
    if (head.size() < 26)
        return QStringLiteral("the BMP header is cut off");
    const auto u16 = [&head](int at) { return qFromLittleEndian<quint16>(head.constData() + at); };
    const auto u32 = [&head](int at) { return qFromLittleEndian<quint32>(head.constData() + at); };
    const quint64 pixelsAt = u32(10);
    const quint32 headerSize = u32(14);
    quint64 width = 0;
    quint64 height = 0;
    quint64 bitsPerPixel = 0;
    quint32 compression = 0;
    quint64 declaredBytes = 0;
    if (headerSize == 12) {
        width = u16(18);
        height = u16(20);
        bitsPerPixel = u16(24);
    } else if (head.size() >= 54) {
        width = quint64(std::abs(qint64(qint32(u32(18)))));
        height = quint64(std::abs(qint64(qint32(u32(22)))));
        bitsPerPixel = u16(28);
        compression = u32(30);
        declaredBytes = u32(34);
    } else {
        return QStringLiteral("the BMP header is cut off");
    }
    // Plain rows (BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS) are padded to 4 bytes.
    const bool plainRows = compression == 0 || compression == 3 || compression == 6;
    const quint64 pixelBytes = plainRows ? (width * bitsPerPixel + 31) / 32 * 4 * height : declaredBytes;
    const quint64 needed = pixelsAt + pixelBytes;
    if (quint64(device.size()) < needed)
        return QStringLiteral("the BMP holds %1 of the %2 bytes its header announces").arg(device.size()).arg(needed);
    return {};
}

} // namespace

QString KSPictureCompleteness::missingData(QIODevice &device, const QByteArray &format)
{
    if (format == "jpeg" || format == "jpg")
        return jpegMissingData(device);
    if (format == "bmp")
        return bmpMissingData(device);
    return {};
}
