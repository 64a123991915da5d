#include "KSHomeCardLayout.h"

double KSHomeCardLayout::offsetForWidth(double width)
{
    return width * 0.5 - kOuterSpan * 0.5;
}

KSHomeCardLayout KSHomeCardLayout::forViewSize(const QSizeF &size)
{
    const double offset = offsetForWidth(size.width());
    const double top = size.height() * 0.5 - kCardHeight * 0.5;

    KSHomeCardLayout layout;
    layout.person = QRectF(offset, top, kCardWidth, kCardHeight);
    const double objectRight = size.width() - offset;
    layout.object = QRectF(objectRight - kCardWidth, top, kCardWidth, kCardHeight);
    return layout;
}
