#include "KSEditBorderView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

KSEditBorderView::KSEditBorderView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KSEditBorderView::updateMask()
{
    update();
}

void KSEditBorderView::paintEvent(QPaintEvent *event)
{
    const QRectF frame = m_maskFrame.value_or(QRectF());
    QPainter painter(this);
    painter.setClipRect(event->rect());
    painter.setRenderHint(QPainter::Antialiasing);

    // Even-odd: the frame's inside is a hole in the dimming.
    QPainterPath dimming;
    dimming.setFillRule(Qt::OddEvenFill);
    dimming.addRect(QRectF(rect()));
    dimming.addRect(frame);
    painter.fillPath(dimming, QColor::fromRgbF(0, 0, 0, float(kDimmingAlpha)));

    if (!m_maskFrame)
        return;
    QPen pen(Qt::white, 0.5);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
}
