#include "KSSizePresets.h"

#include "CommLang.h"

namespace {
const QString kChineseSimplified = QStringLiteral("ChineseSimplified");

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

KSEditChangeSizeItem keyedItem(const char *titleKey, const char *tipsKey, qint64 width, qint64 height)
{
    return {lang(titleKey), lang(tipsKey), width, height};
}

QList<KSEditChangeSizeItem> chineseCertificateItems()
{
    return {
        keyedItem("Min1Inch", "Min1InchDes", 259, 377),
        keyedItem("1Inch", "1InchDes", 295, 413),
        keyedItem("Max1Inch", "Max1InchDes", 390, 567),
        keyedItem("Min2Inch", "Min2InchDes", 413, 531),
        keyedItem("2Inch", "2InchDes", 413, 579),
    };
}

QList<KSEditChangeSizeItem> overseaCertificateItems()
{
    return {
        keyedItem("OverseaInch1", "OverseaInchDes1", 600, 600),
        keyedItem("OverseaInch2", "OverseaInchDes2", 466, 600),
        keyedItem("OverseaInch3", "OverseaInchDes3", 466, 600),
    };
}

// Built on first need and kept for the run.
const QList<KSEditChangeSizeItem> &certificateItems(const QString &appLanguage)
{
    static std::optional<QList<KSEditChangeSizeItem>> chinese;
    static std::optional<QList<KSEditChangeSizeItem>> oversea;
    std::optional<QList<KSEditChangeSizeItem>> &list = appLanguage == kChineseSimplified ? chinese : oversea;
    if (!list)
        list = appLanguage == kChineseSimplified ? chineseCertificateItems() : overseaCertificateItems();
    return *list;
}
} // namespace

QList<KSEditChangeSizeList> KSSizePresets::sizeLists(const QString &appLanguage)
{
    return {
        {QStringLiteral("Regular"), {{lang("Source"), QString(), 0, 0}}},
        {QStringLiteral("Certificate"), certificateItems(appLanguage)},
        {QStringLiteral("EBusiness"),
         {{QStringLiteral("1000x1000px"), lang("ProductImg"), 1000, 1000},
          {QStringLiteral("800x800px"), lang("ProductImg"), 800, 800}}},
    };
}

std::optional<QSizeF> KSSizePresets::find(const QString &name)
{
    const QString localized = CommLang::GetAppLang(name);
    for (const QString &language : {kChineseSimplified, QStringLiteral("English")}) {
        for (const KSEditChangeSizeList &list : sizeLists(language)) {
            for (const KSEditChangeSizeItem &item : list.items) {
                if (item.title.compare(name, Qt::CaseInsensitive) == 0 || item.title == localized)
                    return QSizeF(double(item.width), double(item.height));
            }
        }
    }
    return std::nullopt;
}
