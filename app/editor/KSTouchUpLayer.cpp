#include "KSTouchUpLayer.h"

#include "KSColorConst.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double kStrokeOpacity = 0.45;

} // namespace

KSTouchUpLayer::KSTouchUpLayer(QWidget *parent) : KSPictureLayer(parent)
{
    setLayer(KSMaskedPicture::Layer::subject);
    setGhostOpacity(kGhostOpacity);
}

QRect KSTouchUpLayer::outlineRect() const
{
    if (!m_brushCentre)
        return {};
    const double r = m_brushDiameter / 2 + 2;
    return QRectF(m_brushCentre->x() - r, m_brushCentre->y() - r, 2 * r, 2 * r).toAlignedRect();
}

QRect KSTouchUpLayer::strokesRect() const
{
    QRectF united;
    for (const KSPendingStroke &stroke : m_strokes)
        united |= toLayer(stroke.bounds());
    return united.toAlignedRect().adjusted(-2, -2, 2, 2);
}

void KSTouchUpLayer::setBrushOutline(const std::optional<QPointF> &centre, double diameter)
{
    if (centre == m_brushCentre && diameter == m_brushDiameter)
        return;
    update(outlineRect());
    m_brushCentre = centre;
    m_brushDiameter = diameter;
    update(outlineRect());
}

void KSTouchUpLayer::setPendingStrokes(const QList<KSPendingStroke> &strokes)
{
    update(strokesRect());
    m_strokes = strokes;
    update(strokesRect());
}

void KSTouchUpLayer::paintEvent(QPaintEvent *event)
{
    KSPictureLayer::paintEvent(event);
    QPainter painter(this);
    painter.setClipRect(event->rect());
    painter.setRenderHint(QPainter::Antialiasing);

    const double scale = source().isEmpty() ? 0.0 : width() / source().width();
    for (const KSPendingStroke &stroke : std::as_const(m_strokes)) {
        QColor colour = stroke.keep ? KSRGBHexColor(0x00CC8F).toQColor() : KSRGBHexColor(0xE5484D).toQColor();
        colour.setAlphaF(float(kStrokeOpacity));
        QPen pen(colour, std::max(1.0, 2 * stroke.radius * scale), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(pen);
        if (stroke.points.size() == 1) {
            const QPointF at = toLayer(QRectF(stroke.points.first(), QSizeF())).topLeft();
            painter.drawPoint(at);
            continue;
        }
        QPainterPath path;
        for (qsizetype i = 0; i < stroke.points.size(); ++i) {
            const QPointF at = toLayer(QRectF(stroke.points.at(i), QSizeF())).topLeft();
            if (i == 0)
                path.moveTo(at);
            else
                path.lineTo(at);
        }
        painter.strokePath(path, pen);
    }

    if (m_brushCentre && m_brushDiameter > 0) {
        // Dark under light, so the outline reads on any picture.
        const double r = m_brushDiameter / 2;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 160), 1.5));
        painter.drawEllipse(*m_brushCentre, r, r);
        painter.setPen(QPen(Qt::white, 0.8));
        painter.drawEllipse(*m_brushCentre, r, r);
    }
}
