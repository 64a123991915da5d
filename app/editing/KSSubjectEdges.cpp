#include "KSSubjectEdges.h"

#include <algorithm>
#include <cmath>

namespace KSSubjectEdges {

namespace {

// Opaque pixels of row `y` between columns first and last.
int rowRun(const QImage &mask, int y, int first, int last)
{
    const uchar *line = mask.constScanLine(y);
    return int(std::count_if(line + first, line + last + 1, [](uchar a) { return a >= kOpaqueAlpha; }));
}

// Opaque pixels of column `x` between rows first and last.
int columnRun(const QImage &mask, int x, int first, int last)
{
    int run = 0;
    for (int y = first; y <= last; ++y)
        run += mask.constScanLine(y)[x] >= kOpaqueAlpha ? 1 : 0;
    return run;
}

// One side: `border` is the outermost line of the mask, `inward` +1 or -1,
// `innermost` the subject's far line; `run` counts a line's opaque pixels
// within the subject's span.
template<typename Run>
bool sideIsCut(int border, int inward, int innermost, int extent, const Run &run)
{
    const int depth = std::abs(innermost - border) + 1;
    int borderRun = 0;
    for (int i = 0; i < std::min(kBorderReach, depth); ++i)
        borderRun = std::max(borderRun, run(border + inward * i));
    const int innerDepth = std::min(std::max(kMinInnerDepth, int(std::lround(kInnerDepthShare * depth))), depth - 1);
    return isCut(borderRun, run(border + inward * innerDepth), extent);
}

} // namespace

bool isCut(int borderRun, int innerRun, int extent)
{
    return borderRun >= kMinCutRun && borderRun >= kMinCutShare * extent && borderRun >= kKeptBreadthShare * innerRun;
}

Qt::Edges cutEdges(const QImage &mask, const QRect &bounds)
{
    Qt::Edges edges;
    if (mask.isNull() || mask.format() != QImage::Format_Grayscale8)
        return edges;
    const QRect b = bounds.intersected(mask.rect());
    if (b.isEmpty())
        return edges;
    const int right = mask.width() - 1, bottom = mask.height() - 1;
    const auto row = [&](int y) { return rowRun(mask, y, b.left(), b.right()); };
    const auto column = [&](int x) { return columnRun(mask, x, b.top(), b.bottom()); };
    // The bounds must reach the border's reach before a line is read.
    if (b.left() < kBorderReach && sideIsCut(0, 1, b.right(), b.height(), column))
        edges |= Qt::LeftEdge;
    if (b.right() > right - kBorderReach && sideIsCut(right, -1, b.left(), b.height(), column))
        edges |= Qt::RightEdge;
    if (b.top() < kBorderReach && sideIsCut(0, 1, b.bottom(), b.width(), row))
        edges |= Qt::TopEdge;
    if (b.bottom() > bottom - kBorderReach && sideIsCut(bottom, -1, b.top(), b.width(), row))
        edges |= Qt::BottomEdge;
    return edges;
}

Qt::Edges mirrored(Qt::Edges edges)
{
    Qt::Edges flipped = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (edges.testFlag(Qt::LeftEdge))
        flipped |= Qt::RightEdge;
    if (edges.testFlag(Qt::RightEdge))
        flipped |= Qt::LeftEdge;
    return flipped;
}

} // namespace KSSubjectEdges
