#pragma once

#include "KSMaskEdit.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

// A grey mask (one byte per pixel, 255 opaque) that is edited in place and
// remembers each edit as the square tiles it changed, never as a copy of
// the whole mask.
//
// An edit: beginEdit(); for every region about to be written, prepare(rect)
// first, then write through row(); commitEdit() returns the tiles whose
// bytes differ from before. apply() swaps an edit's tiles with the mask,
// which undoes a committed edit and redoes an undone one. Not thread-safe;
// the mask itself may be copied (QImage shares it) and read anywhere.
class KSMaskEditStore
{
public:
    static constexpr int kTileSide = 128;

    // Any picture format: the grey level becomes the mask.
    explicit KSMaskEditStore(const QImage &mask = QImage());

    [[nodiscard]] const QImage &mask() const { return m_mask; }
    [[nodiscard]] QSize size() const { return m_mask.size(); }
    [[nodiscard]] bool isNull() const { return m_mask.isNull(); }

    void beginEdit();
    [[nodiscard]] bool isEditing() const { return m_editing; }
    // Keeps the present content of every tile `rect` touches, once per edit.
    void prepare(const QRect &rect);
    // A writable row; only the prepared regions may be written.
    [[nodiscard]] uchar *row(int y) { return m_mask.scanLine(y); }
    [[nodiscard]] const uchar *constRow(int y) const { return m_mask.constScanLine(y); }
    // The tile's bytes as they were when the edit began, rows packed
    // tileRect(index).width() apart; nullptr for a tile not prepared.
    [[nodiscard]] const uchar *savedTile(int index) const;
    // Ends the edit: the tiles that changed, with their former content.
    [[nodiscard]] KSMaskEdit commitEdit();
    // Ends the edit and puts every prepared tile back as it was.
    void cancelEdit();

    // Swaps the edit's tiles with the mask's (not while editing) and returns
    // the rectangles that changed.
    QList<QRect> apply(KSMaskEdit &edit);

    [[nodiscard]] int tileColumns() const;
    [[nodiscard]] int tileRows() const;
    [[nodiscard]] int tileIndex(int column, int row) const { return row * tileColumns() + column; }
    [[nodiscard]] QRect tileRect(int index) const;
    // The indices of the tiles `rect` touches, row by row.
    [[nodiscard]] QList<int> tilesIn(const QRect &rect) const;

private:
    [[nodiscard]] QByteArray readTile(const QRect &rect) const;
    void writeTile(const QRect &rect, const QByteArray &bytes);

    QImage m_mask;
    QHash<int, QByteArray> m_saved;
    bool m_editing = false;
};
