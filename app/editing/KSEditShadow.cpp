#include "KSEditShadow.h"

#include <algorithm>
#include <cmath>

KSEditShadow KSEditShadow::clamped() const
{
    KSEditShadow shadow = *this;
    const auto within = [](double value, double low, double high, double fallback) {
        return std::isfinite(value) ? std::clamp(value, low, high) : fallback;
    };
    const KSEditShadow defaults;
    shadow.darkness = within(darkness, 0.0, 1.0, defaults.darkness);
    shadow.softness = within(softness, 0.0, 1.0, defaults.softness);
    shadow.size = within(size, kMinContactSize, kMaxContactSize, defaults.size);
    shadow.offset = QPointF(within(offset.x(), -kMaxDropOffset, kMaxDropOffset, defaults.offset.x()),
                            within(offset.y(), -kMaxDropOffset, kMaxDropOffset, defaults.offset.y()));
    shadow.dropBlur = within(dropBlur, 0.0, kMaxDropBlur, defaults.dropBlur);
    shadow.opacity = within(opacity, 0.0, 1.0, defaults.opacity);
    return shadow;
}
