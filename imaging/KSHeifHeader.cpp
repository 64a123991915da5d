#include "KSHeifHeader.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QtEndian>

#include <climits>

namespace {

// A 'meta' box holds item descriptions only; the pixels are elsewhere.
constexpr qint64 kMaxMetaBytes = 16 << 20;

// Bytes read front to back; reading past the end leaves it failed.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool failed() const { return m_failed; }
    bool atEnd() const { return m_at >= m_bytes.size(); }
    qsizetype position() const { return m_at; }

    quint32 number(int size)
    {
        if (m_failed || m_bytes.size() - m_at < size) {
            m_failed = true;
            return 0;
        }
        quint32 value = 0;
        for (int i = 0; i < size; ++i)
            value = value << 8 | quint8(m_bytes[m_at + i]);
        m_at += size;
        return value;
    }

    QByteArrayView take(qint64 size)
    {
        if (m_failed || size < 0 || m_bytes.size() - m_at < size) {
            m_failed = true;
            return {};
        }
        const QByteArrayView part = m_bytes.sliced(m_at, qsizetype(size));
        m_at += qsizetype(size);
        return part;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_failed = false;
};

struct Box
{
    QByteArrayView type;
    QByteArrayView payload;
};

// The boxes inside `bytes`, in order; nothing when one runs past the end.
std::optional<QList<Box>> boxesIn(QByteArrayView bytes)
{
    QList<Box> boxes;
    Reader in(bytes);
    while (!in.atEnd()) {
        const qsizetype start = in.position();
        qint64 size = in.number(4);
        const QByteArrayView type = in.take(4);
        if (size == 1) {
            const qint64 high = in.number(4);
            size = high << 32 | in.number(4);
        }
        else if (size == 0)
            size = bytes.size() - start;
        const qint64 header = in.position() - start;
        const QByteArrayView payload = in.take(size - header);
        if (in.failed())
            return std::nullopt;
        boxes.append({type, payload});
    }
    return boxes;
}

std::optional<Box> firstOf(const QList<Box> &boxes, const char *type)
{
    for (const Box &box : boxes)
        if (box.type == QByteArrayView(type))
            return box;
    return std::nullopt;
}

// The payload of the top-level 'meta' box, read from the device.
QByteArray metaBox(QIODevice &device)
{
    if (!device.seek(0))
        return {};
    for (;;) {
        const QByteArray head = device.read(8);
        if (head.size() < 8)
            return {};
        qint64 size = qFromBigEndian<quint32>(head.constData());
        qint64 header = 8;
        if (size == 1) {
            const QByteArray large = device.read(8);
            if (large.size() < 8)
                return {};
            size = qint64(qFromBigEndian<quint64>(large.constData()) & 0x7fffffffffffffffull);
            header = 16;
        } else if (size == 0) {
            size = device.size() - device.pos() + header;
        }
        if (size < header)
            return {};
        if (head.mid(4, 4) == "meta")
            return size - header <= kMaxMetaBytes ? device.read(size - header) : QByteArray();
        if (!device.seek(device.pos() + size - header))
            return {};
    }
}

} // namespace

std::optional<QSize> KSHeifHeader::declaredSize(QIODevice &device)
{
    const QByteArray meta = metaBox(device);
    if (meta.size() < 4)
        return std::nullopt;
    // 'meta' is a full box: version and flags first.
    const std::optional<QList<Box>> children = boxesIn(QByteArrayView(meta).sliced(4));
    if (!children)
        return std::nullopt;
    const std::optional<Box> pitm = firstOf(*children, "pitm");
    const std::optional<Box> iprp = firstOf(*children, "iprp");
    if (!pitm || !iprp)
        return std::nullopt;
    Reader primaryIn(pitm->payload);
    const quint32 pitmVersion = primaryIn.number(1);
    primaryIn.number(3); // flags
    const quint32 primary = primaryIn.number(pitmVersion == 0 ? 2 : 4);
    const std::optional<QList<Box>> properties = boxesIn(iprp->payload);
    if (primaryIn.failed() || !properties)
        return std::nullopt;
    const std::optional<Box> ipco = firstOf(*properties, "ipco");
    const std::optional<QList<Box>> listed = ipco ? boxesIn(ipco->payload) : std::nullopt;
    if (!listed)
        return std::nullopt;

    std::optional<QSize> size;
    int quarterTurns = 0;
    for (const Box &ipma : *properties) {
        if (ipma.type != QByteArrayView("ipma"))
            continue;
        Reader in(ipma.payload);
        const quint32 version = in.number(1);
        const quint32 flags = in.number(3);
        const quint32 entries = in.number(4);
        for (quint32 e = 0; e < entries && !in.failed(); ++e) {
            const quint32 item = in.number(version < 1 ? 2 : 4);
            const quint32 count = in.number(1);
            for (quint32 a = 0; a < count && !in.failed(); ++a) {
                const quint32 index = (flags & 1) ? in.number(2) & 0x7fff : in.number(1) & 0x7f;
                // Indices count from 1; 0 stands for no property.
                if (item != primary || index < 1 || index > quint32(listed->size()))
                    continue;
                const Box &property = listed->at(qsizetype(index - 1));
                Reader value(property.payload);
                if (property.type == QByteArrayView("ispe")) {
                    value.number(4); // version and flags
                    const quint32 width = value.number(4);
                    const quint32 height = value.number(4);
                    if (!value.failed() && width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX)
                        size = QSize(int(width), int(height));
                } else if (property.type == QByteArrayView("irot")) {
                    quarterTurns = int(value.number(1) & 3);
                }
            }
        }
        if (in.failed())
            return std::nullopt;
    }
    if (size && quarterTurns % 2 == 1)
        size->transpose();
    return size;
}
