#include "KSFilppedImageView.h"

#include "KSImageNamed.h"

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

void KSFilppedImageView::setBackgroundColor(const QColor &color)
{
    if (color == m_background)
        return;
    m_background = color;
    // An opaque colour covers everything below, which spares Qt painting
    // the parent first.
    setAttribute(Qt::WA_OpaquePaintEvent, color.isValid() && color.alpha() == 255);
    update();
}

void KSFilppedImageView::paintBackdrop(QPainter &painter, const QRectF &rect, const QColor &color)
{
    if (!color.isValid())
        return;
    if (color.alpha() < 255) {
        painter.fillRect(rect, QBrush(KSImageNamed(QStringLiteral("masaike"))));
    }
    if (color.alpha() > 0)
        painter.fillRect(rect, color);
}

void KSFilppedImageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    paintBackdrop(painter, event->rect(), m_background);
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    QPixmap pixmap = m_picture.pixmap(deviceSize);
    if (!pixmap.isNull()) {
        pixmap.setDevicePixelRatio(ratio);
        painter.drawPixmap(0, 0, pixmap);
    }
}
