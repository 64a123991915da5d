#include "KSBatchCellGeometry.h"

#include <algorithm>

namespace KSBatchCellGeometry {

namespace {
constexpr int kRingSide = 56;
constexpr QSize kButtonSize{96, 26};
constexpr int kButtonBottomGap = 10;
} // namespace

QRect thumbnailBox(const QRect &cell)
{
    const int side = std::max(0, std::min(cell.width() - 2 * kInset, cell.height() - 2 * kInset - 2 * kLineHeight));
    return QRect(cell.left() + (cell.width() - side) / 2, cell.top() + kInset, side, side);
}

QRect thumbnailRect(const QRect &cell, const QSize &pictureSize)
{
    const QRect box = thumbnailBox(cell);
    if (pictureSize.isEmpty() || box.isEmpty())
        return {};
    const QSize fitted = pictureSize.scaled(box.size(), Qt::KeepAspectRatio);
    return QRect(box.left() + (box.width() - fitted.width()) / 2, box.top() + (box.height() - fitted.height()) / 2,
                 fitted.width(), fitted.height());
}

QRect nameRect(const QRect &cell)
{
    const QRect box = thumbnailBox(cell);
    return QRect(cell.left() + kInset, box.bottom() + 1 + 4, cell.width() - 2 * kInset, kLineHeight);
}

QRect stateRect(const QRect &cell)
{
    return nameRect(cell).translated(0, kLineHeight);
}

QRect ringRect(const QRect &cell)
{
    const QRect box = thumbnailBox(cell);
    const int side = std::min(kRingSide, box.width());
    return QRect(box.center().x() - side / 2 + 1, box.center().y() - side / 2 + 1, side, side);
}

QRect buttonRect(const QRect &cell)
{
    const QRect box = thumbnailBox(cell);
    const int width = std::min(kButtonSize.width(), box.width());
    return QRect(box.center().x() - width / 2 + 1, box.bottom() + 1 - kButtonBottomGap - kButtonSize.height(), width,
                 kButtonSize.height());
}

} // namespace KSBatchCellGeometry
