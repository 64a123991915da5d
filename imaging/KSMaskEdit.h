#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>

// One edit of a mask, kept as the tiles it changed. Each tile holds the
// content the mask does not show at present: what was there before the
// edit while the edit is applied, what the edit wrote once it is undone.
// Applying the edit (KSMaskEditStore::apply) swaps the two, so undo and redo
// are one step and every changed tile is kept once, packed.
struct KSMaskEdit
{
    struct Tile
    {
        QRect rect;        // in mask pixels
        QByteArray packed; // the tile's rows, run-length packed
    };

    QList<Tile> tiles;

    [[nodiscard]] bool isEmpty() const { return tiles.isEmpty(); }
    // The memory the edit holds, for the history's budget.
    [[nodiscard]] qsizetype byteSize() const;
    // The union of the changed tiles.
    [[nodiscard]] QRect bounds() const;
    [[nodiscard]] QList<QRect> rects() const;
};
