#pragma once

#include <QRectF>
#include <QString>
#include <QTest>
#include <cmath>

// Canvas rectangles come out of divisions; two hundredths of a point or
// pixel is far below what a user or a saved picture can show.
inline bool fuzzyRect(const QRectF &a, const QRectF &b)
{
    constexpr double tolerance = 0.01;
    return std::abs(a.x() - b.x()) < tolerance && std::abs(a.y() - b.y()) < tolerance
        && std::abs(a.width() - b.width()) < tolerance && std::abs(a.height() - b.height()) < tolerance;
}

inline QString describeRect(const QRectF &r)
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

#define COMPARE_RECT(actual, expected) QVERIFY2(fuzzyRect(actual, expected), qPrintable(describeRect(actual)))
