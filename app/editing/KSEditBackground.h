#pragma once

#include "KSColor.h"
#include "KSColorConst.h"

// What lies behind the subject. Only a colour for now (the clear colour is
// transparency); pictures and the photo's own backdrop will be further
// kinds, so every reader asks the kind first.
struct KSEditBackground
{
    enum class Kind { colour };

    Kind kind = Kind::colour;
    KSColor colour = KSClear_Color();

    [[nodiscard]] static KSEditBackground ofColour(const KSColor &colour)
    {
        KSEditBackground background;
        background.colour = colour;
        return background;
    }
    [[nodiscard]] bool isTransparent() const { return kind == Kind::colour && colour == KSClear_Color(); }

    friend bool operator==(const KSEditBackground &a, const KSEditBackground &b)
    {
        return a.kind == b.kind && a.colour == b.colour;
    }
};
