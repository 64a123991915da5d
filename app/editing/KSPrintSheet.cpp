#include "KSPrintSheet.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace KSPrintSheet {

namespace {

constexpr double kMmPerInch = 25.4;
// Light enough not to show through a careless cut, dark enough to see.
const QColor kCutLineColour(170, 170, 170);

int pixels(double mm)
{
    return int(std::lround(mm / kMmPerInch * kDpi));
}

struct Grid
{
    int columns = 0;
    int rows = 0;
};

Grid gridFor(const QSize &sheet, const QSize &copy, int margin, int gap)
{
    const auto fit = [gap](int room, int side) { return room < side ? 0 : (room + gap) / (side + gap); };
    return {fit(sheet.width() - 2 * margin, copy.width()), fit(sheet.height() - 2 * margin, copy.height())};
}

} // namespace

QString paperName(Paper paper)
{
    switch (paper) {
    case Paper::fourBySix: return QStringLiteral("4x6");
    case Paper::a6: return QStringLiteral("A6");
    case Paper::a4: return QStringLiteral("A4");
    }
    return {};
}

std::optional<Paper> paperFromName(const QString &name)
{
    for (Paper paper : papers()) {
        if (paperName(paper).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return paper;
    }
    return std::nullopt;
}

QList<Paper> papers()
{
    return {Paper::fourBySix, Paper::a6, Paper::a4};
}

QSizeF paperSizeMm(Paper paper)
{
    switch (paper) {
    case Paper::fourBySix: return {4 * kMmPerInch, 6 * kMmPerInch};
    case Paper::a6: return {105, 148};
    case Paper::a4: return {210, 297};
    }
    return {};
}

Layout layout(Paper paper, const QSizeF &photoMm)
{
    Layout result;
    if (!(photoMm.width() > 0 && photoMm.height() > 0))
        return result;
    const QSizeF paperMm = paperSizeMm(paper);
    const QSize portrait(pixels(paperMm.width()), pixels(paperMm.height()));
    const QSize copy(pixels(photoMm.width()), pixels(photoMm.height()));
    const int margin = pixels(kMarginMm);
    const int gap = pixels(kGapMm);
    const Grid upright = gridFor(portrait, copy, margin, gap);
    const Grid turned = gridFor(portrait.transposed(), copy, margin, gap);
    const bool landscape = turned.columns * turned.rows > upright.columns * upright.rows;
    const Grid grid = landscape ? turned : upright;
    result.sheet = landscape ? portrait.transposed() : portrait;
    result.copy = copy;
    if (grid.columns * grid.rows == 0)
        return result;

    const int gridWidth = grid.columns * copy.width() + (grid.columns - 1) * gap;
    const int gridHeight = grid.rows * copy.height() + (grid.rows - 1) * gap;
    const int left = (result.sheet.width() - gridWidth) / 2;
    const int top = (result.sheet.height() - gridHeight) / 2;
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column)
            result.copies.append(QRect(left + column * (copy.width() + gap), top + row * (copy.height() + gap),
                                       copy.width(), copy.height()));
    }
    // A guillotine cut along each edge of every column and row.
    const int right = result.sheet.width() - 1;
    const int bottom = result.sheet.height() - 1;
    for (int column = 0; column < grid.columns; ++column) {
        const int x = left + column * (copy.width() + gap);
        result.cutLines << QLine(x - 1, 0, x - 1, bottom) << QLine(x + copy.width(), 0, x + copy.width(), bottom);
    }
    for (int row = 0; row < grid.rows; ++row) {
        const int y = top + row * (copy.height() + gap);
        result.cutLines << QLine(0, y - 1, right, y - 1) << QLine(0, y + copy.height(), right, y + copy.height());
    }
    return result;
}

QString whyNoCopyFits(Paper paper, const QSizeF &photoMm)
{
    if (!layout(paper, photoMm).copies.isEmpty())
        return {};
    if (!(photoMm.width() > 0 && photoMm.height() > 0))
        return QStringLiteral("a size without a printed size cannot go on %1 paper").arg(paperName(paper));
    return QStringLiteral("no copy of a %1 x %2 mm photo fits on %3 paper")
        .arg(photoMm.width(), 0, 'g', 4)
        .arg(photoMm.height(), 0, 'g', 4)
        .arg(paperName(paper));
}

namespace {

// A white sheet at kDpi with the cut lines, and `copyAt(i)` in each place
// while it gives a picture.
template <typename CopyAt>
QImage drawSheet(const Layout &sheetLayout, CopyAt copyAt)
{
    QImage sheet(sheetLayout.sheet, QImage::Format_RGB32);
    if (sheet.isNull())
        return {};
    sheet.fill(Qt::white);
    const double dotsPerMetre = kDpi / kMmPerInch * 1000.0;
    sheet.setDotsPerMeterX(int(std::lround(dotsPerMetre)));
    sheet.setDotsPerMeterY(int(std::lround(dotsPerMetre)));
    QPainter painter(&sheet);
    painter.setPen(QPen(kCutLineColour, 1));
    for (const QLine &line : sheetLayout.cutLines)
        painter.drawLine(line);
    for (qsizetype i = 0; i < sheetLayout.copies.size(); ++i) {
        const QImage copy = copyAt(i);
        if (copy.isNull())
            break;
        const QRect &place = sheetLayout.copies[i];
        painter.fillRect(place, Qt::white);
        painter.drawImage(place.topLeft(), copy);
    }
    painter.end();
    return sheet;
}

} // namespace

QImage render(const QImage &photo, const QSizeF &photoMm, Paper paper)
{
    const Layout sheetLayout = layout(paper, photoMm);
    if (photo.isNull() || sheetLayout.copies.isEmpty())
        return {};
    // One scaled copy, drawn as many times as fit.
    const QImage copy = photo.scaled(sheetLayout.copy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return drawSheet(sheetLayout, [&](qsizetype) { return copy; });
}

QImage renderMany(const QList<QImage> &photos, const QSizeF &photoMm, Paper paper)
{
    const Layout sheetLayout = layout(paper, photoMm);
    if (photos.isEmpty() || photos.size() > sheetLayout.copies.size()
        || std::any_of(photos.cbegin(), photos.cend(), [](const QImage &photo) { return photo.isNull(); }))
        return {};
    return drawSheet(sheetLayout, [&](qsizetype i) {
        return i < photos.size() ? photos[i].scaled(sheetLayout.copy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 : QImage();
    });
}

} // namespace KSPrintSheet
