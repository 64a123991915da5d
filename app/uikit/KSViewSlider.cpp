#include "KSViewSlider.h"

#include "KSPaintKit.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
const QColor kAccent = QColor::fromRgb(0x00CC8Fu);
}

KSViewSlider::KSViewSlider(QWidget *parent)
    : QWidget(parent)
    , m_progressColor(kAccent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void KSViewSlider::setProgress(double progress)
{
    const double clamped = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    if (clamped == m_progress)
        return;
    m_progress = clamped;
    update();
}

void KSViewSlider::setProgressColor(const QColor &color)
{
    m_progressColor = color;
    update();
}

void KSViewSlider::setBackgroundColor(const QColor &color)
{
    m_trackColor = color;
    update();
}

void KSViewSlider::setRound(bool round)
{
    m_round = round;
    update();
}

void KSViewSlider::setLineWith(double width)
{
    m_lineWidth = std::max(0.0, width);
    updateGeometry();
    update();
}

void KSViewSlider::setRadius(double radius)
{
    m_radius = std::max(0.0, radius);
    update();
}

QSize KSViewSlider::sizeHint() const
{
    return QSize(200, std::max(1, int(std::ceil(m_lineWidth))));
}

double KSViewSlider::cornerRadius(double height) const
{
    return m_round ? height / 2.0 : m_radius;
}

void KSViewSlider::paintEvent(QPaintEvent *)
{
    const double height = std::min(m_lineWidth > 0.0 ? m_lineWidth : double(this->height()), double(this->height()));
    if (height <= 0.0 || width() <= 0)
        return;
    const QRectF track(0.0, (this->height() - height) / 2.0, width(), height);
    const double radius = cornerRadius(height);

    QPainter painter(this);
    KSPaintKit::fillRoundedRect(painter, track, radius, m_trackColor, QColor(), 0.0);
    if (m_progress <= 0.0)
        return;
    // A round bar never gets narrower than its own height, so that the
    // smallest progress still shows as a dot instead of a sliver.
    double filled = track.width() * m_progress;
    if (m_round)
        filled = std::max(filled, std::min(height, track.width()));
    KSPaintKit::fillRoundedRect(painter, QRectF(track.topLeft(), QSizeF(filled, height)), radius,
                                m_progressColor, QColor(), 0.0);
}
