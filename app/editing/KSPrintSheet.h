#pragma once

#include <QImage>
#include <QLine>
#include <QList>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <optional>

// A sheet of copies of one printed photo, for a photo lab or a home
// printer: as many copies as fit on a 4 x 6 in, A6 or A4 sheet at 300 dpi,
// a margin round them and thin cut lines along every copy's edges.
namespace KSPrintSheet {

enum class Paper { fourBySix, a6, a4 };

inline constexpr int kDpi = 300;
inline constexpr double kMarginMm = 4.0;
inline constexpr double kGapMm = 2.0;

// "4x6", "A6", "A4": the names the command line takes (in any case).
[[nodiscard]] QString paperName(Paper paper);
[[nodiscard]] std::optional<Paper> paperFromName(const QString &name);
[[nodiscard]] QList<Paper> papers();
// Portrait, in millimetres.
[[nodiscard]] QSizeF paperSizeMm(Paper paper);

struct Layout
{
    QSize sheet;          // pixels at kDpi; landscape when that holds more copies
    QSize copy;           // one copy's pixels at kDpi
    QList<QRect> copies;  // row by row
    QList<QLine> cutLines; // across the whole sheet, on the pixels just outside the copies
};

// The copies of a photo printed at `photoMm` on the paper, in a grid centred
// within the margin with kGapMm between copies. No copies when not even one
// fits or the photo has no printed size.
[[nodiscard]] Layout layout(Paper paper, const QSizeF &photoMm);

// Why no copy of a photo printed at `photoMm` fits on the paper, in
// English; empty when one does. Known before anything is rendered.
[[nodiscard]] QString whyNoCopyFits(Paper paper, const QSizeF &photoMm);

// The sheet: white paper, each copy the photo scaled to its printed size
// (whatever the photo was transparent is white), grey cut lines, the
// resolution kDpi. Null when no copy fits.
[[nodiscard]] QImage render(const QImage &photo, const QSizeF &photoMm, Paper paper);

// One sheet of different photos of one printed size, one copy each, in
// the layout's places row by row; the places left over stay white. Null
// when there are none, more than fit, or one of them is null.
[[nodiscard]] QImage renderMany(const QList<QImage> &photos, const QSizeF &photoMm, Paper paper);

} // namespace KSPrintSheet
