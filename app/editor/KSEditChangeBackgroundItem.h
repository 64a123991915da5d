#pragma once

#include <QString>
#include <QtGlobal>

// One choice of the background colour panel.
struct KSEditChangeBackgroundItem
{
    // Values of `hex` that stand for no colour of their own.
    static constexpr qint64 kTransparentHex = -2;
    static constexpr qint64 kMoreColorsHex = -1;

    QString title; // already localized
    qint64 hex = 0; // 0xRRGGBB, or one of the two values above
};
