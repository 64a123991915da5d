#include "KSMaskEdit.h"

qsizetype KSMaskEdit::byteSize() const
{
    qsizetype bytes = qsizetype(sizeof(KSMaskEdit)) + tiles.capacity() * qsizetype(sizeof(Tile));
    for (const Tile &tile : tiles)
        bytes += tile.packed.capacity();
    return bytes;
}

QRect KSMaskEdit::bounds() const
{
    QRect united;
    for (const Tile &tile : tiles)
        united |= tile.rect;
    return united;
}

QList<QRect> KSMaskEdit::rects() const
{
    QList<QRect> result;
    result.reserve(tiles.size());
    for (const Tile &tile : tiles)
        result.append(tile.rect);
    return result;
}
