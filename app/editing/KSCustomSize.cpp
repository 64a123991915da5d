#include "KSCustomSize.h"

#include "KSUserDefaultKit.h"

#include <QSize>

#include <cmath>

namespace {
constexpr double kMmPerInch = 25.4;

double millimetresPer(KSCustomSize::Unit unit)
{
    return unit == KSCustomSize::Unit::in ? kMmPerInch : 1.0;
}

QString number(double value)
{
    return QString::number(value, 'g', 4);
}
} // namespace

std::optional<QSize> KSCustomSize::pixelSize() const
{
    if (!(width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height)))
        return std::nullopt;
    if (unit != Unit::px && (dpi < kMinDpi || dpi > kMaxDpi))
        return std::nullopt;
    const double perUnit = unit == Unit::px ? 1.0 : dpi / kMmPerInch * millimetresPer(unit);
    const double w = std::round(width * perUnit);
    const double h = std::round(height * perUnit);
    if (!KSOutputRender::withinLimits(QSizeF(w, h)))
        return std::nullopt;
    return QSize(int(w), int(h));
}

QSizeF KSCustomSize::printSizeMm() const
{
    if (unit == Unit::px)
        return {};
    return QSizeF(width, height) * millimetresPer(unit);
}

QString KSCustomSize::description() const
{
    const std::optional<QSize> pixels = pixelSize();
    const QString pixelText = pixels ? QStringLiteral("%1 × %2 px").arg(pixels->width()).arg(pixels->height())
                                     : QStringLiteral("—");
    if (unit == Unit::px)
        return pixelText;
    return QStringLiteral("%1 × %2 %3 · %4 dpi · %5")
        .arg(number(width), number(height), unitName(unit))
        .arg(dpi)
        .arg(pixelText);
}

KSEditChangeSizeItem KSCustomSize::item(const QString &title) const
{
    KSEditChangeSizeItem item;
    item.title = title;
    item.tips = description();
    item.key = QStringLiteral("Custom");
    item.isCustom = true;
    if (const std::optional<QSize> pixels = pixelSize()) {
        item.width = pixels->width();
        item.height = pixels->height();
        item.printSizeMm = printSizeMm();
    }
    return item;
}

QString KSCustomSize::unitName(Unit unit)
{
    switch (unit) {
    case Unit::px: return QStringLiteral("px");
    case Unit::mm: return QStringLiteral("mm");
    case Unit::in: return QStringLiteral("in");
    }
    return {};
}

std::optional<KSCustomSize::Unit> KSCustomSize::unitFromName(const QString &name)
{
    for (Unit unit : {Unit::px, Unit::mm, Unit::in}) {
        if (unitName(unit) == name)
            return unit;
    }
    return std::nullopt;
}

std::optional<KSCustomSize> KSCustomSize::stored()
{
    if (!KSUserDefaultKit::hasObjectForKey(kWidthKey))
        return std::nullopt;
    KSCustomSize size;
    size.width = KSUserDefaultKit::getFromUserDefaults_Double(kWidthKey, 0);
    size.height = KSUserDefaultKit::getFromUserDefaults_Double(kHeightKey, 0);
    size.dpi = KSUserDefaultKit::getFromUserDefaults_Integer(kDpiKey, size.dpi);
    const std::optional<Unit> unit = unitFromName(KSUserDefaultKit::getFromUserDefaults_NSString(kUnitKey));
    if (!unit)
        return std::nullopt;
    size.unit = *unit;
    return size;
}

KSCustomSize KSCustomSize::load()
{
    const std::optional<KSCustomSize> size = stored();
    return size && size->pixelSize() ? *size : KSCustomSize();
}

bool KSCustomSize::save(const KSCustomSize &size)
{
    if (!size.pixelSize())
        return false;
    KSUserDefaultKit::saveToUserDefaultsForKey(kWidthKey, size.width);
    KSUserDefaultKit::saveToUserDefaultsForKey(kHeightKey, size.height);
    KSUserDefaultKit::saveToUserDefaultsForKey(kUnitKey, unitName(size.unit));
    KSUserDefaultKit::saveToUserDefaultsForKey(kDpiKey, size.dpi);
    return true;
}
