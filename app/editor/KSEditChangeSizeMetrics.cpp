#include "KSEditChangeSizeMetrics.h"

#include "CommLang.h"

#include <QFontMetricsF>
#include <algorithm>
#include <limits>

QStringList KSEditChangeSizeMetrics::measuredTexts(const QList<KSEditChangeSizeList> &lists)
{
    QStringList texts;
    for (const KSEditChangeSizeList &list : lists) {
        for (const KSEditChangeSizeItem &item : list.items) {
            texts.append(CommLang::GetAppLang(item.title));
            texts.append(CommLang::GetAppLang(item.tips));
        }
    }
    return texts;
}

int KSEditChangeSizeMetrics::textWidth(const QString &text, const QFont &font)
{
    const QFontMetricsF metrics(font);
    const QRectF bounds(0, 0, std::numeric_limits<float>::max(), 17);
    return int(metrics.boundingRect(bounds, Qt::TextSingleLine | Qt::AlignLeft, text).width());
}

int KSEditChangeSizeMetrics::calculativeWidth(const QList<int> &textWidths, double eBusinessBtnLeft,
                                              int buttonRowWidth)
{
    const int widest = textWidths.isEmpty() ? 308 : *std::max_element(textWidths.begin(), textWidths.end());
    // 48 points leave room for a short last title ("电商"); a longer one
    // ("Online Shop") would be cut off without the row's own need.
    return std::max({widest + 74, int(eBusinessBtnLeft + 48), buttonRowWidth});
}
