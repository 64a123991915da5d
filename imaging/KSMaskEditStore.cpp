#include "KSMaskEditStore.h"

#include <algorithm>
#include <cstring>

namespace {

// Masks are long runs of 0 and 255 with a soft edge between: byte runs
// (PackBits) shrink a tile to a few hundred bytes at memory speed.
constexpr int kMaxRun = 128;

QByteArray pack(const QByteArray &raw)
{
    const auto *src = reinterpret_cast<const uchar *>(raw.constData());
    const qsizetype n = raw.size();
    QByteArray out;
    out.reserve(n / 8 + 16);
    qsizetype i = 0;
    while (i < n) {
        qsizetype run = 1;
        while (i + run < n && run < kMaxRun && src[i + run] == src[i])
            ++run;
        if (run >= 3) {
            out.append(char(1 - run));
            out.append(char(src[i]));
            i += run;
            continue;
        }
        qsizetype j = i;
        while (j < n && j - i < kMaxRun) {
            if (j + 2 < n && src[j] == src[j + 1] && src[j] == src[j + 2])
                break;
            ++j;
        }
        out.append(char(j - i - 1));
        out.append(reinterpret_cast<const char *>(src + i), j - i);
        i = j;
    }
    out.squeeze();
    return out;
}

// False for data that does not unpack to exactly `size` bytes.
bool unpack(const QByteArray &packed, qsizetype size, QByteArray *raw)
{
    raw->resize(size);
    auto *dst = reinterpret_cast<uchar *>(raw->data());
    const auto *src = reinterpret_cast<const uchar *>(packed.constData());
    const qsizetype n = packed.size();
    qsizetype i = 0, o = 0;
    while (i < n) {
        const int header = int(static_cast<signed char>(src[i++]));
        if (header >= 0) {
            const qsizetype count = header + 1;
            if (i + count > n || o + count > size)
                return false;
            std::memcpy(dst + o, src + i, size_t(count));
            i += count;
            o += count;
        } else {
            const qsizetype count = 1 - header;
            if (i >= n || o + count > size)
                return false;
            std::memset(dst + o, src[i++], size_t(count));
            o += count;
        }
    }
    return o == size;
}

} // namespace

KSMaskEditStore::KSMaskEditStore(const QImage &mask)
{
    if (mask.isNull())
        return;
    m_mask = mask.format() == QImage::Format_Grayscale8 ? mask : mask.convertToFormat(QImage::Format_Grayscale8);
}

int KSMaskEditStore::tileColumns() const
{
    return (m_mask.width() + kTileSide - 1) / kTileSide;
}

int KSMaskEditStore::tileRows() const
{
    return (m_mask.height() + kTileSide - 1) / kTileSide;
}

QRect KSMaskEditStore::tileRect(int index) const
{
    const int columns = tileColumns();
    if (columns == 0 || index < 0 || index >= columns * tileRows())
        return {};
    return QRect((index % columns) * kTileSide, (index / columns) * kTileSide, kTileSide, kTileSide)
        .intersected(m_mask.rect());
}

QList<int> KSMaskEditStore::tilesIn(const QRect &rect) const
{
    QList<int> indices;
    const QRect clipped = rect.intersected(m_mask.rect());
    if (clipped.isEmpty())
        return indices;
    for (int row = clipped.top() / kTileSide; row <= clipped.bottom() / kTileSide; ++row)
        for (int column = clipped.left() / kTileSide; column <= clipped.right() / kTileSide; ++column)
            indices.append(tileIndex(column, row));
    return indices;
}

QByteArray KSMaskEditStore::readTile(const QRect &rect) const
{
    QByteArray bytes(qsizetype(rect.width()) * rect.height(), Qt::Uninitialized);
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(bytes.data() + qsizetype(y) * rect.width(), m_mask.constScanLine(rect.top() + y) + rect.left(),
                    size_t(rect.width()));
    return bytes;
}

void KSMaskEditStore::writeTile(const QRect &rect, const QByteArray &bytes)
{
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(m_mask.scanLine(rect.top() + y) + rect.left(), bytes.constData() + qsizetype(y) * rect.width(),
                    size_t(rect.width()));
}

void KSMaskEditStore::beginEdit()
{
    m_saved.clear();
    m_editing = true;
}

void KSMaskEditStore::prepare(const QRect &rect)
{
    if (!m_editing)
        return;
    for (int index : tilesIn(rect)) {
        if (!m_saved.contains(index))
            m_saved.insert(index, readTile(tileRect(index)));
    }
}

const uchar *KSMaskEditStore::savedTile(int index) const
{
    const auto found = m_saved.constFind(index);
    return found == m_saved.constEnd() ? nullptr : reinterpret_cast<const uchar *>(found->constData());
}

KSMaskEdit KSMaskEditStore::commitEdit()
{
    KSMaskEdit edit;
    QList<int> indices = m_saved.keys();
    std::sort(indices.begin(), indices.end());
    for (int index : indices) {
        const QRect rect = tileRect(index);
        const QByteArray &before = m_saved[index];
        if (readTile(rect) != before)
            edit.tiles.append({rect, pack(before)});
    }
    m_saved.clear();
    m_editing = false;
    return edit;
}

void KSMaskEditStore::cancelEdit()
{
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
        writeTile(tileRect(it.key()), it.value());
    m_saved.clear();
    m_editing = false;
}

QList<QRect> KSMaskEditStore::apply(KSMaskEdit &edit)
{
    QList<QRect> changed;
    if (m_editing)
        return changed;
    QByteArray incoming;
    for (KSMaskEdit::Tile &tile : edit.tiles) {
        const QRect rect = tile.rect.intersected(m_mask.rect());
        if (rect != tile.rect || !unpack(tile.packed, qsizetype(rect.width()) * rect.height(), &incoming))
            continue; // not an edit of this mask
        QByteArray present = pack(readTile(rect));
        writeTile(rect, incoming);
        tile.packed = std::move(present);
        changed.append(rect);
    }
    return changed;
}
