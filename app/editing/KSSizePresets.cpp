#include "KSSizePresets.h"

#include "CommLang.h"
#include "KSCustomSize.h"

namespace {
const QString kChineseSimplified = QStringLiteral("ChineseSimplified");
constexpr double kMmPerInch = 25.4;

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

using Vertical = KSIdPhotoRule::Vertical;

// The published rules. Sizes without a rule of their own take the Chinese
// exit-entry rule's proportions (head 28-33 mm and crown 3-5 mm below the
// top edge on a 48 mm photo), scaled to their height.
const QString kUsSource = QStringLiteral(
    "U.S. Department of State, passport photo requirements (travel.state.gov; 22 CFR 51.26): "
    "head 1 to 1 3/8 in from chin to top of head, eyes 1 1/8 to 1 3/8 in above the bottom edge");
const QString kUkSource = QStringLiteral(
    "HM Passport Office, \"Photos for passports\" (GOV.UK): head 29 to 34 mm from chin to crown; "
    "ICAO Doc 9303 Part 3 and ISO/IEC 19794-5 for EU passports: head 32 to 36 mm, eye line 50 to 70 % of the "
    "height above the bottom edge; the range here satisfies both");
const QString kIcaoSource = QStringLiteral(
    "EU Schengen visa photo guidelines after ICAO Doc 9303 Part 3 and ISO/IEC 19794-5: head 32 to 36 mm "
    "(70 to 80 % of the height) from chin to crown, eye line 50 to 70 % of the height above the bottom edge");
const QString kChinaSource = QStringLiteral(
    "National Immigration Administration of the People's Republic of China, photo requirements for exit-entry "
    "documents (passport and visa, 33 x 48 mm): head 28 to 33 mm from chin to crown, crown 3 to 5 mm below the "
    "top edge");
const QString kChinaScaledSource = QStringLiteral(
    "no published head rule for this size: the exit-entry rule of the National Immigration Administration of "
    "China (head 28 to 33 mm, crown 3 to 5 mm below the top edge, on 48 mm) scaled to the photo's height");

KSIdPhotoRule chinaScaledRule(double heightMm)
{
    const double k = heightMm / 48.0;
    return {28 * k, 33 * k, Vertical::crownFromTop, 3 * k, 5 * k, kChinaScaledSource};
}

KSEditChangeSizeItem presetItem(const QString &title, const QString &tips, qint64 width, qint64 height, const QString &key)
{
    KSEditChangeSizeItem item;
    item.title = title;
    item.tips = tips;
    item.width = width;
    item.height = height;
    item.key = key;
    return item;
}

// An ID size: pixels, printed size in millimetres and its rule.
KSEditChangeSizeItem idItem(const char *key, const char *tipsKey, qint64 width, qint64 height, QSizeF printMm,
                            const KSIdPhotoRule &rule)
{
    KSEditChangeSizeItem item = presetItem(lang(key), lang(tipsKey), width, height, QLatin1String(key));
    item.printSizeMm = printMm;
    item.idRule = rule;
    return item;
}

QList<KSEditChangeSizeItem> chineseCertificateItems()
{
    return {
        idItem("Min1Inch", "Min1InchDes", 259, 377, {22, 32}, chinaScaledRule(32)),
        idItem("1Inch", "1InchDes", 295, 413, {25, 35}, chinaScaledRule(35)),
        idItem("Max1Inch", "Max1InchDes", 390, 567, {33, 48},
               {28, 33, Vertical::crownFromTop, 3, 5, kChinaSource}),
        idItem("Min2Inch", "Min2InchDes", 413, 531, {35, 45},
               {32, 36, Vertical::eyeLineFromBottom, 22.5, 31.5, kIcaoSource}),
        idItem("2Inch", "2InchDes", 413, 579, {35, 49}, chinaScaledRule(49)),
    };
}

QList<KSEditChangeSizeItem> overseaCertificateItems()
{
    return {
        idItem("OverseaInch1", "OverseaInchDes1", 600, 600, {2 * kMmPerInch, 2 * kMmPerInch},
               {1 * kMmPerInch, 1.375 * kMmPerInch, Vertical::eyeLineFromBottom, 1.125 * kMmPerInch,
                1.375 * kMmPerInch, kUsSource}),
        idItem("OverseaInch2", "OverseaInchDes2", 466, 600, {35, 45},
               {32, 34, Vertical::eyeLineFromBottom, 22.5, 31.5, kUkSource}),
        idItem("OverseaInch3", "OverseaInchDes3", 466, 600, {35, 45},
               {32, 36, Vertical::eyeLineFromBottom, 22.5, 31.5, kIcaoSource}),
    };
}

// Built on first need and kept for the run, with the texts of that moment.
const QList<KSEditChangeSizeItem> &chineseItems()
{
    static const QList<KSEditChangeSizeItem> items = chineseCertificateItems();
    return items;
}

const QList<KSEditChangeSizeItem> &overseaItems()
{
    static const QList<KSEditChangeSizeItem> items = overseaCertificateItems();
    return items;
}

KSEditChangeSizeItem shopItem(const char *title, qint64 side)
{
    return presetItem(QLatin1String(title), lang("ProductImg"), side, side, QLatin1String(title));
}
} // namespace

QList<KSEditChangeSizeList> KSSizePresets::sizeLists(const QString &appLanguage)
{
    const KSEditChangeSizeItem source = presetItem(lang("Source"), QString(), 0, 0, QStringLiteral("Source"));
    const bool chinese = appLanguage == kChineseSimplified;
    QList<KSEditChangeSizeItem> certificate = chinese ? chineseItems() + overseaItems() : overseaItems() + chineseItems();
    certificate.append(KSCustomSize::load().item(lang("CustomSize")));
    return {
        {QStringLiteral("Regular"), {source}},
        {QStringLiteral("Certificate"), certificate},
        {QStringLiteral("EBusiness"), {shopItem("1000x1000px", 1000), shopItem("800x800px", 800)}},
    };
}

std::optional<KSEditChangeSizeItem> KSSizePresets::findItem(const QString &name)
{
    const QString localized = CommLang::GetAppLang(name);
    for (const KSEditChangeSizeList &list : sizeLists(CommLang::currentLanguage())) {
        for (const KSEditChangeSizeItem &item : list.items) {
            if (item.key.compare(name, Qt::CaseInsensitive) == 0 || item.title.compare(name, Qt::CaseInsensitive) == 0
                || item.title == localized)
                return item;
        }
    }
    return std::nullopt;
}

std::optional<QSizeF> KSSizePresets::find(const QString &name)
{
    const std::optional<KSEditChangeSizeItem> item = findItem(name);
    if (!item)
        return std::nullopt;
    return QSizeF(double(item->width), double(item->height));
}

QList<KSEditChangeSizeItem> KSSizePresets::idPresets()
{
    QList<KSEditChangeSizeItem> presets;
    for (const KSEditChangeSizeItem &item : overseaItems() + chineseItems())
        if (item.idRule)
            presets.append(item);
    return presets;
}
