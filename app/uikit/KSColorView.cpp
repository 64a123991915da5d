#include "KSColorView.h"

#include "KSPaintKit.h"

#include <QPainter>

KSColorView::KSColorView(QWidget *parent)
    : QWidget(parent)
{
}

void KSColorView::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void KSColorView::setRadius(double radius)
{
    m_radius = radius;
    update();
}

void KSColorView::setBorderColor(const QColor &color)
{
    m_borderColor = color;
    update();
}

void KSColorView::setBorderLineWith(double width)
{
    m_borderWidth = width;
    update();
}

void KSColorView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    KSPaintKit::fillRoundedRect(painter, QRectF(rect()), m_radius, m_color, m_borderColor, m_borderWidth);
}
