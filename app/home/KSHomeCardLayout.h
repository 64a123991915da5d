#pragma once

#include <QRectF>
#include <QSizeF>

// Where the two home cards stand in a home view of a given size. Kept apart
// from the widget so the rule can be checked without a window.
//
// The cards are symmetric about the centre with their outer edges 600 apart,
// whatever the width: a view narrower than 600 pushes them past its edges.
struct KSHomeCardLayout
{
    static constexpr double kCardWidth = 238.5;
    static constexpr double kCardHeight = 345.0;
    static constexpr double kOuterSpan = 600.0;

    QRectF person;
    QRectF object;

    // Offset of the person card's left edge (and of the object card's right
    // edge from the view's right edge): width / 2 - 300, not rounded.
    [[nodiscard]] static double offsetForWidth(double width);
    [[nodiscard]] static KSHomeCardLayout forViewSize(const QSizeF &size);
};
