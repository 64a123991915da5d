#include "KSColor.h"

#include <QDataStream>
#include <QMimeData>
#include <algorithm>

KSColor::KSColor(const QColor &color)
{
    const QColor rgb = color.toExtendedRgb();
    m_red = rgb.redF();
    m_green = rgb.greenF();
    m_blue = rgb.blueF();
    m_alpha = rgb.alphaF();
}

KSColor::KSColor(QDataStream &archive)
{
    archive >> *this;
}

KSColor::KSColor(const QMimeData &pasteboard)
{
    const QVariant carried = pasteboard.colorData();
    if (carried.canConvert<QColor>())
        *this = KSColor(carried.value<QColor>());
}

QColor KSColor::toQColor() const
{
    return QColor::fromRgbF(m_red, m_green, m_blue, std::clamp(m_alpha, 0.0f, 1.0f));
}

namespace {
// Components travel as four 32-bit floats whatever the stream's own setting.
class SinglePrecisionScope
{
public:
    explicit SinglePrecisionScope(QDataStream &stream)
        : m_stream(stream), m_saved(stream.floatingPointPrecision())
    {
        stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
    }
    ~SinglePrecisionScope() { m_stream.setFloatingPointPrecision(m_saved); }

private:
    QDataStream &m_stream;
    QDataStream::FloatingPointPrecision m_saved;
};
} // namespace

QDataStream &operator<<(QDataStream &stream, const KSColor &color)
{
    SinglePrecisionScope scope(stream);
    return stream << color.redF() << color.greenF() << color.blueF() << color.alphaF();
}

QDataStream &operator>>(QDataStream &stream, KSColor &color)
{
    SinglePrecisionScope scope(stream);
    float red = 0, green = 0, blue = 0, alpha = 0;
    stream >> red >> green >> blue >> alpha;
    color = stream.status() == QDataStream::Ok ? KSColor(red, green, blue, alpha) : KSColor();
    return stream;
}
