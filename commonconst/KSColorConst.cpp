#include "KSColorConst.h"

#include <algorithm>
#include <cstdint>

KSColor KSRGBAColor(double R, double G, double B, double A)
{
    return KSColor(float(R / 255.0), float(G / 255.0), float(B / 255.0), float(A));
}

KSColor KSRGBColor(double R, double G, double B)
{
    return KSRGBAColor(R, G, B, 1.0);
}

KSColor KSRGBHexColor(qint64 hex)
{
    return KSRGBHexColor(hex, 1.0);
}

KSColor KSRGBHexColor(qint64 hex, double alpha)
{
    return KSRGBAColor(double((hex & 0xFF0000) >> 16), double((hex & 0xFF00) >> 8),
                       double(hex & 0xFF), alpha);
}

namespace {
int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads an unsigned 32-bit hexadecimal number the way designers' tools and
// the platform scanners do: optional "0x"/"0X", digits up to the first other
// character, saturation instead of wrap-around on overflow, 0 without digits.
quint32 scanHex32(const QString &text)
{
    qsizetype i = 0;
    if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        i = 2;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0)
            break;
        value = std::min<std::uint64_t>(value * 16 + std::uint64_t(digit), 0xFFFFFFFFu);
    }
    return quint32(value);
}

unsigned long scaledComponent(float component)
{
    // Truncation of the 255.999999 scale keeps 1.0 at FF and 0.5 at 7F;
    // components outside 0..1 are held to two digits.
    return (unsigned long)std::clamp(long(double(component) * 255.999999), 0L, 255L);
}
} // namespace

KSColor KSRGBDesignHexColor(const QString &hex)
{
    const quint32 value = scanHex32(QStringLiteral("0x") + hex.mid(1));
    return KSRGBHexColor(qint64(value), 1.0);
}

QString KSColorString(const KSColor &color)
{
    return QString::asprintf("%02lX%02lX%02lX", scaledComponent(color.redF()),
                             scaledComponent(color.greenF()), scaledComponent(color.blueF()));
}

const KSColor &KSClear_Color()
{
    static const KSColor clear(0.0f, 0.0f, 0.0f, 0.0f);
    return clear;
}
