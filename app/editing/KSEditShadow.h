#pragma once

#include <QPointF>

// A shadow under or behind the subject, made from its alpha so that it
// follows the silhouette. A plain value, as the background is. Lengths are
// shares of the subject's height as placed, so that a shadow keeps its look
// when the subject is resized and at every output size.
struct KSEditShadow
{
    enum class Kind {
        none,
        contact, // a soft, flat shadow at the subject's base, under its footprint
        drop,    // the silhouette moved and blurred
    };

    static constexpr double kMaxContactSize = 2.0;
    static constexpr double kMinContactSize = 0.3;
    static constexpr double kMaxDropOffset = 0.5;
    static constexpr double kMaxDropBlur = 0.2;

    Kind kind = Kind::none;

    // ---- contact: suits a product on white
    double darkness = 0.55; // the shadow's opacity at its darkest, 0..1
    double softness = 0.5;  // 0 = a hard edge, 1 = as soft as the shadow is tall
    double size = 1.1;      // its width over the footprint's, kMinContactSize..kMaxContactSize

    // ---- drop
    QPointF offset{0.02, 0.03}; // right and down, shares of the subject's height
    double dropBlur = 0.025;    // the blur's sigma, a share of the subject's height
    double opacity = 0.45;      // 0..1

    [[nodiscard]] static KSEditShadow contact()
    {
        KSEditShadow shadow;
        shadow.kind = Kind::contact;
        return shadow;
    }
    [[nodiscard]] static KSEditShadow drop()
    {
        KSEditShadow shadow;
        shadow.kind = Kind::drop;
        return shadow;
    }
    [[nodiscard]] bool isNone() const { return kind == Kind::none; }
    // The same shadow with every value in range.
    [[nodiscard]] KSEditShadow clamped() const;

    friend bool operator==(const KSEditShadow &a, const KSEditShadow &b)
    {
        if (a.kind != b.kind)
            return false;
        switch (a.kind) {
        case Kind::none: return true;
        case Kind::contact: return a.darkness == b.darkness && a.softness == b.softness && a.size == b.size;
        case Kind::drop: return a.offset == b.offset && a.dropBlur == b.dropBlur && a.opacity == b.opacity;
        }
        return false;
    }
    friend bool operator!=(const KSEditShadow &a, const KSEditShadow &b) { return !(a == b); }
};
