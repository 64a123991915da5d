#include "KSCollectionFlowLayout.h"

#include <algorithm>
#include <cmath>

int KSCollectionFlowLayout::columnCount(const Metrics &metrics, int width)
{
    const int pitch = metrics.itemSize.width() + metrics.minimumInteritemSpacing;
    if (pitch <= 0)
        return 1;
    return std::max(1, (width + metrics.minimumInteritemSpacing) / pitch);
}

QList<QRect> KSCollectionFlowLayout::itemFrames(const Metrics &metrics, int count, int width)
{
    QList<QRect> frames;
    if (count <= 0)
        return frames;
    const int columns = columnCount(metrics, width);
    const double spacing = columns > 1
        ? std::max<double>(metrics.minimumInteritemSpacing,
                           double(width - columns * metrics.itemSize.width()) / (columns - 1))
        : 0.0;
    frames.reserve(count);
    for (int index = 0; index < count; ++index) {
        const int row = index / columns;
        const int column = index % columns;
        const int x = int(std::lround(column * (metrics.itemSize.width() + spacing)));
        const int y = row * (metrics.itemSize.height() + metrics.minimumLineSpacing);
        frames.append(QRect(QPoint(x, y), metrics.itemSize));
    }
    return frames;
}

int KSCollectionFlowLayout::contentHeight(const Metrics &metrics, int count, int width)
{
    if (count <= 0)
        return 0;
    const int columns = columnCount(metrics, width);
    const int rows = (count + columns - 1) / columns;
    return rows * metrics.itemSize.height() + (rows - 1) * metrics.minimumLineSpacing;
}
