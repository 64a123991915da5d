#include "FaceFixtures.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace FaceFixtures {

namespace {

QColor scaled(const QColor &c, double k)
{
    return QColor(std::min(255, int(c.red() * k)), std::min(255, int(c.green() * k)), std::min(255, int(c.blue() * k)));
}

void drawHead(QPainter &p, const Head &head)
{
    const double a = head.halfHeight;
    const double b = a * 0.72;
    const double cx = head.centre.x();
    const double cy = head.centre.y();
    const QColor skin(215, 175, 150);
    const QColor hair(55, 40, 35);
    const QColor shirt(40, 60, 90);
    p.setPen(Qt::NoPen);
    const auto ellipse = [&p](QPointF c, double rx, double ry, const QColor &colour) {
        p.setBrush(colour);
        p.drawEllipse(c, rx, ry);
    };
    // Shoulders and neck first, the head over them.
    ellipse({cx, cy + a * 2.4}, a * 2.4, a * 1.3, shirt);
    p.setBrush(scaled(skin, 0.93));
    p.drawRect(QRectF(cx - a * 0.32, cy, a * 0.64, a * 1.4));
    ellipse({cx, cy - a * 0.1}, b * 1.1, a * 0.9, hair);
    ellipse({cx, cy + a * 0.08}, b, a * 0.92, skin);
    p.setBrush(hair);
    p.drawChord(QRectF(cx - b, cy - a * 0.92, 2 * b, a * 0.6), 0, 180 * 16);
    p.drawRect(QRectF(cx - b, cy - a * 0.62, 2 * b, a * 0.05));
    const double eyeY = head.eyeLineY();
    for (int side : {-1, 1}) {
        const QPointF eye(cx + side * b * 0.4, eyeY);
        ellipse(eye, b * 0.3, a * 0.13, scaled(skin, 0.62));
        ellipse(eye, b * 0.19, a * 0.06, QColor(225, 225, 225));
        ellipse(eye, a * 0.055, a * 0.055, QColor(20, 25, 30));
        p.setPen(QPen(hair, a * 0.06));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(eye.x() - b * 0.27, eyeY - a * 0.23, b * 0.54, a * 0.12), 0, 180 * 16);
        p.setPen(Qt::NoPen);
    }
    ellipse({cx, eyeY + a * 0.18}, b * 0.11, a * 0.22, scaled(skin, 1.12));
    ellipse({cx, cy + a * 0.33}, b * 0.2, a * 0.06, scaled(skin, 0.7));
    ellipse({cx, cy + a * 0.55}, b * 0.32, a * 0.07, QColor(140, 70, 70));
}

} // namespace

QImage cutoutWithHeads(QSize size, const QList<Head> &heads)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    double smallest = 1e9;
    for (const Head &head : heads) {
        drawHead(painter, head);
        smallest = std::min(smallest, head.halfHeight);
    }
    painter.end();
    // Soften the drawing as a lens would: the detector looks for shading,
    // not for hard edges.
    const double soften = std::max(1.0, smallest * 0.06);
    const QSize reduced(std::max(1, int(size.width() / soften)), std::max(1, int(size.height() / soften)));
    return image.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace FaceFixtures
