#include "KSBackdropLayerView.h"

#include "KSBackdropPreview.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

KSBackdropLayerView::KSBackdropLayerView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KSBackdropLayerView::setPreview(KSBackdropPreview *preview)
{
    if (m_preview)
        m_preview->disconnect(this);
    m_preview = preview;
    if (preview)
        connect(preview, &KSBackdropPreview::changed, this, qOverload<>(&QWidget::update));
    update();
}

void KSBackdropLayerView::setView(const QRectF &view)
{
    if (view == m_view)
        return;
    m_view = view;
    update();
}

void KSBackdropLayerView::setDraggedSubject(const std::optional<QRectF> &subjectRect)
{
    if (subjectRect == m_draggedSubject)
        return;
    m_draggedSubject = subjectRect;
    update();
}

void KSBackdropLayerView::paintEvent(QPaintEvent *)
{
    m_drewLayers = false;
    if (!m_preview || m_view.isEmpty() || width() <= 0 || height() <= 0)
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    const KSBackdropPreview::Layers layers = m_preview->layers(m_view, pixels, m_draggedSubject);
    if (layers.backdrop.isNull() && layers.shadow.isNull())
        return;
    QPainter painter(this);
    const QRectF target(QPointF(0, 0), QSizeF(size()));
    if (!layers.backdrop.isNull())
        painter.drawImage(target, layers.backdrop);
    if (!layers.shadow.isNull())
        painter.drawImage(target, layers.shadow);
    m_drewLayers = true;
}
