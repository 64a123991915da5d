#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Where a grid of equal cells goes in a vertically scrolling area: rows
// fill from the left, as many cells as fit with at least the minimum
// spacing; the room left over in a row is shared out between its gaps, and
// a last, shorter row keeps the spacing of the full rows above it.
class KSCollectionFlowLayout
{
public:
    struct Metrics
    {
        QSize itemSize;
        int minimumLineSpacing = 0;
        int minimumInteritemSpacing = 0;
    };

    // At least one column, however narrow the area.
    [[nodiscard]] static int columnCount(const Metrics &metrics, int width);
    [[nodiscard]] static QList<QRect> itemFrames(const Metrics &metrics, int count, int width);
    // Height of the scrolled content holding `count` cells.
    [[nodiscard]] static int contentHeight(const Metrics &metrics, int count, int width);
};
