#include "KSEditCanvasView.h"

#include "KSColorConst.h"
#include "KSEditGeometry.h"
#include "KSFilppedImageView.h"
#include "KSImageDragView.h"
#include "KSImageNamed.h"
#include "KSRoundedBorderView.h"

#include <QMouseEvent>

namespace {

constexpr double kCornerRadius = 6.0;

} // namespace

KSEditCanvasView::KSEditCanvasView(QWidget *parent)
    : QWidget(parent), m_changeBackgroundColor(KSClear_Color())
{
    m_borderOverlay = new KSRoundedBorderView(this, KSRGBHexColor(0xDDDDDD).toQColor(), kCornerRadius);
}

KSFilppedImageView *KSEditCanvasView::imageView()
{
    if (!m_imageView) {
        m_imageView = new KSFilppedImageView(this);
        m_imageView->setGeometry(KSEditGeometry::roundedEdges(m_imageViewFrame));
        m_imageView->show();
        m_borderOverlay->cover();
    }
    return m_imageView;
}

KSImageDragView *KSEditCanvasView::imageDragView()
{
    if (!m_imageDragView) {
        m_imageDragView = new KSImageDragView(imageView());
        m_imageDragView->show();
    }
    return m_imageDragView;
}

bool KSEditCanvasView::layoutCanvas(const QSizeF &imageSize)
{
    const auto fit = KSEditGeometry::canvasFit(QSizeF(size()), imageSize);
    if (!fit)
        return false;
    imageDragView()->setFrame(KSEditGeometry::dragViewFrame(m_eraserCropRect, fit->imageScale));
    m_imageScale = fit->imageScale;
    m_imageViewFrame = fit->imageViewFrame;
    imageView()->setGeometry(KSEditGeometry::roundedEdges(m_imageViewFrame));
    imageView()->setBackground(m_changeBackgroundColor == KSClear_Color()
                                   ? QBrush(KSImageNamed(QStringLiteral("masaike")))
                                   : QBrush(m_changeBackgroundColor.toQColor()));
    return true;
}

QRectF KSEditCanvasView::placementRectFor(const QSizeF &imageSize) const
{
    if (!m_imageDragView)
        return {};
    return KSEditGeometry::placementRect(m_imageDragView->frame(), m_imageScale, imageSize);
}

void KSEditCanvasView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateCanvasLayout();
}

QPointF KSEditCanvasView::canvasPoint(const QMouseEvent *event)
{
    return event->position() - QPointF(imageView()->pos());
}

void KSEditCanvasView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    KSImageDragView *subject = imageDragView();
    if (!subject->isCanDrag())
        return;
    const QPointF point = canvasPoint(event);
    if (subject->frame().contains(point))
        subject->beginDragging(point);
    else
        subject->setIsCanDrag(false);
}

void KSEditCanvasView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    KSImageDragView *subject = imageDragView();
    subject->dragging(canvasPoint(event));
    const Qt::CursorShape shape = subject->dragCursor();
    if (!testAttribute(Qt::WA_SetCursor) || cursor().shape() != shape)
        setCursor(shape);
}

void KSEditCanvasView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    KSImageDragView *subject = imageDragView();
    // A release outside the subject (a handle's square reaches beyond it)
    // must end the drag too, or the next press outside would still drag.
    subject->endDragging();
    unsetCursor();
    if (subject->frame().contains(canvasPoint(event)))
        subject->setIsCanDrag(true);
}
