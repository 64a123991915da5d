#include "KSPictureLayer.h"

#include <QPaintEvent>
#include <QPainter>

KSPictureLayer::KSPictureLayer(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KSPictureLayer::setPicture(const std::shared_ptr<KSMaskedPicture> &picture)
{
    m_picture = picture;
    update();
}

void KSPictureLayer::setSource(const QRectF &source)
{
    if (source == m_source)
        return;
    m_source = source;
    update();
}

void KSPictureLayer::setLayer(KSMaskedPicture::Layer layer)
{
    if (layer == m_layer)
        return;
    m_layer = layer;
    update();
}

void KSPictureLayer::setGhostOpacity(double opacity)
{
    if (opacity == m_ghostOpacity)
        return;
    m_ghostOpacity = opacity;
    update();
}

QRectF KSPictureLayer::toLayer(const QRectF &pictureRect) const
{
    if (m_source.isEmpty())
        return {};
    const double kx = width() / m_source.width();
    const double ky = height() / m_source.height();
    return QRectF((pictureRect.x() - m_source.x()) * kx, (pictureRect.y() - m_source.y()) * ky,
                  pictureRect.width() * kx, pictureRect.height() * ky);
}

QPointF KSPictureLayer::toPicture(const QPointF &layerPoint) const
{
    if (width() <= 0 || height() <= 0)
        return {};
    return QPointF(m_source.x() + layerPoint.x() * m_source.width() / width(),
                   m_source.y() + layerPoint.y() * m_source.height() / height());
}

void KSPictureLayer::updatePictureRect(const QRect &pictureRect)
{
    if (pictureRect.isEmpty())
        return;
    // A pixel more on each side: smooth scaling reaches into the neighbours.
    update(toLayer(QRectF(pictureRect)).toAlignedRect().adjusted(-2, -2, 2, 2));
}

void KSPictureLayer::paintEvent(QPaintEvent *event)
{
    if (!m_picture || m_picture->isNull() || m_source.isEmpty())
        return;
    QPainter painter(this);
    const QRectF target(rect());
    const QRectF exposed(event->rect());
    if (m_layer == KSMaskedPicture::Layer::subject && m_ghostOpacity > 0) {
        painter.setOpacity(m_ghostOpacity);
        m_picture->draw(painter, target, m_source, exposed, KSMaskedPicture::Layer::photo);
        painter.setOpacity(1.0);
    }
    m_picture->draw(painter, target, m_source, exposed, m_layer);
}
