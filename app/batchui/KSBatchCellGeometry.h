#pragma once

#include <QRect>
#include <QSize>

// Where the parts of one photo's cell of the batch grid lie, for the
// delegate that draws it and for the clicks on its button. Plain
// functions of the cell's rectangle.
namespace KSBatchCellGeometry {

// A cell of the grid, spacing included.
inline constexpr QSize kCellSize{184, 218};
// Room between the cell's edge and what it shows.
inline constexpr int kInset = 8;
// The state line's and the name's heights.
inline constexpr int kLineHeight = 18;

// The square the thumbnail is fitted into, at the top.
[[nodiscard]] QRect thumbnailBox(const QRect &cell);
// The thumbnail of `pictureSize` fitted into thumbnailBox(), centred; empty
// for an empty picture.
[[nodiscard]] QRect thumbnailRect(const QRect &cell, const QSize &pictureSize);
// The photo's name, under the thumbnail.
[[nodiscard]] QRect nameRect(const QRect &cell);
// The state (or the failure's cause), under the name.
[[nodiscard]] QRect stateRect(const QRect &cell);
// The progress ring in the thumbnail's middle.
[[nodiscard]] QRect ringRect(const QRect &cell);
// The button drawn on the thumbnail's lower part: Retry for a failed or
// cancelled photo, Cancel for one under way.
[[nodiscard]] QRect buttonRect(const QRect &cell);

} // namespace KSBatchCellGeometry
