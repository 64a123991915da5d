#include "KSMaskBrush.h"

#include "KSBrushStamp.h"
#include "KSMaskEditStore.h"

#include <cmath>

KSMaskBrush::KSMaskBrush(KSMaskEditStore &store, Mode mode, double radius, double softness)
    : m_store(store), m_mode(mode), m_radius(radius), m_softness(softness)
{
    m_store.beginEdit();
}

QRect KSMaskBrush::strokeTo(const QPointF &point)
{
    const QPointF from = m_last.value_or(point);
    m_last = point;
    const QRect bounds = KSBrushStamp::segmentBounds(from, point, m_radius, m_store.size());
    if (bounds.isEmpty())
        return {};
    m_store.prepare(bounds);

    const int target = m_mode == Mode::keep ? 255 : 0;
    const double radiusSquared = m_radius * m_radius;
    for (int index : m_store.tilesIn(bounds)) {
        const QRect tile = m_store.tileRect(index);
        const QRect area = tile.intersected(bounds);
        QByteArray &coverage = m_coverage[index];
        if (coverage.isEmpty())
            coverage = QByteArray(qsizetype(tile.width()) * tile.height(), '\0');
        auto *strongest = reinterpret_cast<uchar *>(coverage.data());
        const uchar *before = m_store.savedTile(index);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            uchar *row = m_store.row(y);
            const qsizetype tileRow = qsizetype(y - tile.top()) * tile.width();
            const double cy = y + 0.5;
            for (int x = area.left(); x <= area.right(); ++x) {
                const QPointF centre(x + 0.5, cy);
                const double distance = KSBrushStamp::distanceToSegment(centre, from, point);
                if (distance * distance >= radiusSquared)
                    continue;
                const int cover = int(std::lround(255.0 * KSBrushStamp::coverage(distance, m_radius, m_softness)));
                const qsizetype at = tileRow + (x - tile.left());
                if (cover <= strongest[at])
                    continue;
                strongest[at] = uchar(cover);
                const int old = before[at];
                row[x] = uchar((old * 255 + (target - old) * cover + 127) / 255);
            }
        }
    }
    return bounds;
}

KSMaskEdit KSMaskBrush::finish()
{
    m_coverage.clear();
    return m_store.commitEdit();
}

void KSMaskBrush::cancel()
{
    m_coverage.clear();
    m_store.cancelEdit();
}
