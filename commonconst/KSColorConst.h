#pragma once

#include "KSColor.h"
#include "KSCommonConstGlobal.h"

#include <QString>

// Colour constructors. R, G and B are on the scale 0..255, alpha on 0..1;
// each component is narrowed to single precision and nothing is clamped.
KSCOMMONCONST_EXPORT KSColor KSRGBAColor(double R, double G, double B, double A);
KSCOMMONCONST_EXPORT KSColor KSRGBColor(double R, double G, double B);

// A 24-bit 0xRRGGBB value; bits above the low 24 are ignored.
KSCOMMONCONST_EXPORT KSColor KSRGBHexColor(qint64 hex);
KSCOMMONCONST_EXPORT KSColor KSRGBHexColor(qint64 hex, double alpha);

// A designer's text such as "#FF8800": the first character is dropped
// whatever it is, the rest is read as hexadecimal (optional "0x", either
// case, up to the first other character, saturating at 32 bits). Text
// without a readable digit gives opaque black.
KSCOMMONCONST_EXPORT KSColor KSRGBDesignHexColor(const QString &hex);

// "RRGGBB" in upper case, no "#" and no alpha; each component is scaled by
// 255.999999 and truncated, so 0.5 gives 7F.
KSCOMMONCONST_EXPORT QString KSColorString(const KSColor &color);

// The shared fully transparent colour.
KSCOMMONCONST_EXPORT const KSColor &KSClear_Color();
