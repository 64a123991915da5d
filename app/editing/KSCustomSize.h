#pragma once

#include "KSEditChangeSizeItem.h"
#include "KSOutputRender.h"

#include <QSize>
#include <QString>

#include <optional>

// The size the user types into the size panel: width x height in pixels,
// millimetres or inches, with a resolution. Remembered in the settings.
struct KSCustomSize
{
    enum class Unit { px, mm, in };

    double width = 35;
    double height = 45;
    Unit unit = Unit::mm;
    int dpi = 300;

    // Where it is remembered.
    static inline const QString kWidthKey = QStringLiteral("kCustomSizeWidth");
    static inline const QString kHeightKey = QStringLiteral("kCustomSizeHeight");
    static inline const QString kUnitKey = QStringLiteral("kCustomSizeUnit");
    static inline const QString kDpiKey = QStringLiteral("kCustomSizeDpi");

    static constexpr int kMinDpi = 72;
    static constexpr int kMaxDpi = 1200;
    // No side beyond what a save renders (KSOutputRender's limits, which
    // also bound the area).
    static constexpr int kMaxPixels = KSOutputRender::kMaxSide;

    // The size in whole pixels; nothing for a size with no area or beyond
    // the limits of what a save renders.
    [[nodiscard]] std::optional<QSize> pixelSize() const;
    // The printed size in millimetres; empty for a size in pixels.
    [[nodiscard]] QSizeF printSizeMm() const;
    // "40 × 50 mm · 300 dpi · 472 × 591 px", for the panel's second line.
    [[nodiscard]] QString description() const;
    // The panel's row for this size, titled `title`.
    [[nodiscard]] KSEditChangeSizeItem item(const QString &title) const;

    [[nodiscard]] static QString unitName(Unit unit);
    [[nodiscard]] static std::optional<Unit> unitFromName(const QString &name);

    // The remembered size; the default (35 x 45 mm at 300 dpi) when none is
    // stored or the stored one is unusable.
    [[nodiscard]] static KSCustomSize load();
    // The size the settings hold as it is, usable or not; nothing when none
    // is stored or its unit is unknown.
    [[nodiscard]] static std::optional<KSCustomSize> stored();
    // Remembers a usable size; false, and nothing stored, for any other.
    static bool save(const KSCustomSize &size);

    bool operator==(const KSCustomSize &) const = default;
};
