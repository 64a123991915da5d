#pragma once

#include "KSEditChangeSizeList.h"

#include <QFont>
#include <QList>
#include <QStringList>

// The width rule of the size panel, apart from any widget, so that it can
// be checked with plain numbers.
class KSEditChangeSizeMetrics
{
public:
    static constexpr int kRowHeight = 70;

    // Every preset's title and then its description, group by group, as
    // shown (each passed through the localization lookup).
    [[nodiscard]] static QStringList measuredTexts(const QList<KSEditChangeSizeList> &lists);
    // The width of the text on one line, truncated to whole points.
    [[nodiscard]] static int textWidth(const QString &text, const QFont &font);
    // The largest of the widest text + 74 (308 + 74 without any text), the
    // e-business button's left edge + 48 and the width the row of group
    // buttons needs to show every title whole, in whole points.
    [[nodiscard]] static int calculativeWidth(const QList<int> &textWidths, double eBusinessBtnLeft,
                                              int buttonRowWidth = 0);
};
