#pragma once

#include "KSCommonConstGlobal.h"

#include <QColor>

class QDataStream;
class QMimeData;

// An sRGB colour of four single-precision components: red, green, blue and
// alpha, nominally 0..1 and never clamped. It keeps the components exactly as
// they were given, which QColor's 16-bit channels cannot (0.5 would come back
// as 0.500008), and turns into a QColor wherever Qt asks for one.
class KSCOMMONCONST_EXPORT KSColor
{
public:
    // Transparent black.
    constexpr KSColor() = default;
    constexpr KSColor(float red, float green, float blue, float alpha)
        : m_red(red), m_green(green), m_blue(blue), m_alpha(alpha)
    {
    }
    // The components of any Qt colour, converted to sRGB first.
    KSColor(const QColor &color);
    // Reads a colour archived with operator<<; transparent black when the
    // archive holds none (the stream's status then tells why).
    explicit KSColor(QDataStream &archive);
    // The colour carried by a drag or the clipboard (QMimeData::colorData());
    // transparent black when it carries none.
    explicit KSColor(const QMimeData &pasteboard);

    constexpr float redF() const { return m_red; }
    constexpr float greenF() const { return m_green; }
    constexpr float blueF() const { return m_blue; }
    constexpr float alphaF() const { return m_alpha; }

    // Components outside 0..1 become an extended-range QColor; alpha, which
    // QColor cannot extend, is limited to 0..1 there.
    QColor toQColor() const;
    operator QColor() const { return toQColor(); }

    bool operator==(const KSColor &other) const = default;

private:
    float m_red = 0.0f;
    float m_green = 0.0f;
    float m_blue = 0.0f;
    float m_alpha = 0.0f;
};

KSCOMMONCONST_EXPORT QDataStream &operator<<(QDataStream &stream, const KSColor &color);
KSCOMMONCONST_EXPORT QDataStream &operator>>(QDataStream &stream, KSColor &color);
