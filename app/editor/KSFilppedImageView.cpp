#include "KSFilppedImageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

KSFilppedImageView::KSFilppedImageView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KSFilppedImageView::setImage(const QImage &image)
{
    m_picture.setImage(image);
    update();
}

void KSFilppedImageView::setBackground(const QBrush &brush)
{
    if (brush == m_background)
        return;
    m_background = brush;
    // An opaque colour covers everything below, which spares Qt painting
    // the parent first.
    setAttribute(Qt::WA_OpaquePaintEvent, brush.style() == Qt::SolidPattern && brush.color().alpha() == 255);
    update();
}

void KSFilppedImageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (m_background.style() != Qt::NoBrush)
        painter.fillRect(event->rect(), m_background);
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    QPixmap pixmap = m_picture.pixmap(deviceSize);
    if (!pixmap.isNull()) {
        pixmap.setDevicePixelRatio(ratio);
        painter.drawPixmap(0, 0, pixmap);
    }
}
