#pragma once

#include "KSMaskBrush.h"

// The Touch Up tool's brush as its panel sets it.
struct KSBrushSettings
{
    // The outline's width on screen, in points: zooming in makes the brush
    // finer on the picture, as the outline shows.
    static constexpr double kMinimumDiameter = 4.0;
    static constexpr double kMaximumDiameter = 300.0;
    // One press of [ or ] changes the size by this factor.
    static constexpr double kSizeStep = 1.25;

    KSMaskBrush::Mode mode = KSMaskBrush::Mode::erase;
    double diameter = 40.0;
    double softness = 0.2; // 0..1 of the radius
    // A rough stroke that marks a whole region (KSSmartBrush).
    bool smart = false;

    friend bool operator==(const KSBrushSettings &, const KSBrushSettings &) = default;
};
