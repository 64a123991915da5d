#include "KSEidtCutImageView.h"

#include "KSEditBorderView.h"
#include "KSEditDocument.h"
#include "KSEditGeometry.h"
#include "KSFilppedImageView.h"
#include "KSImageDragView.h"
#include "KSMaskedPicture.h"
#include "KSTouchUpBrush.h"
#include "KSTouchUpLayer.h"

#include <QMouseEvent>
#include <QRegion>

KSEidtCutImageView::KSEidtCutImageView(QWidget *parent) : KSEditCanvasView(parent)
{
    // The subject first, so that the size frame's dimming lies above it.
    imageDragView();
    m_borderView = new KSEditBorderView(imageView());
    m_borderView->hide();
}

std::optional<QSizeF> KSEidtCutImageView::imageSize() const
{
    if (!document() || !document()->isLoaded())
        return std::nullopt;
    return QSizeF(document()->cutoutSize());
}

std::shared_ptr<KSMaskedPicture> KSEidtCutImageView::maskedPicture() const
{
    return document() ? document()->picture() : nullptr;
}

QRect KSEidtCutImageView::subjectBounds() const
{
    return document() ? document()->subjectBounds() : QRect();
}

QSize KSEidtCutImageView::subjectPixelSize() const
{
    return subjectBounds().size();
}

double KSEidtCutImageView::subjectImageScale() const
{
    return document() ? document()->reducedSubjectScale() : 0.0;
}

void KSEidtCutImageView::syncFromDocument()
{
    KSEditDocument *doc = document();
    if (!doc)
        return;
    m_changeBackgroundSize = doc->framing().hasSize() ? doc->framing().backgroundSize : QSizeF(0, 0);
    connect(doc, &KSEditDocument::maskChanged, this, &KSEidtCutImageView::maskChanged, Qt::UniqueConnection);
    if (doc->picture() != m_picture) {
        m_picture = doc->picture();
        touchUpBrush()->setPicture(m_picture);
        touchUpLayer()->setPicture(m_picture);
        if (m_picture) {
            touchUpLayer()->setSource(QRectF(m_picture->rect()));
            setOriginalPicture(m_picture, QRectF(m_picture->rect()));
        }
    }
    KSEditCanvasView::syncFromDocument();
}

void KSEidtCutImageView::maskChanged(const QRegion &region)
{
    KSTouchUpLayer *layer = touchUpLayer();
    if (layer->isVisible()) {
        for (const QRect &rect : region)
            layer->updatePictureRect(rect);
    } else {
        imageDragView()->update();
    }
}

KSTouchUpLayer *KSEidtCutImageView::touchUpLayer()
{
    if (!m_touchUpLayer) {
        m_touchUpLayer = new KSTouchUpLayer(imageView());
        m_touchUpLayer->setGeometry(imageView()->rect());
        m_touchUpLayer->hide();
    }
    return m_touchUpLayer;
}

KSTouchUpBrush *KSEidtCutImageView::touchUpBrush()
{
    if (!m_touchUpBrush) {
        m_touchUpBrush = new KSTouchUpBrush(this);
        m_touchUpBrush->changedClosure = [this](const QRect &pictureRect) { pictureChanged(pictureRect); };
    }
    return m_touchUpBrush;
}

void KSEidtCutImageView::pictureChanged(const QRect &pictureRect)
{
    KSTouchUpLayer *layer = touchUpLayer();
    layer->setPendingStrokes(touchUpBrush()->pendingStrokes());
    if (layer->isVisible())
        layer->updatePictureRect(pictureRect);
    else
        imageDragView()->update();
}

void KSEidtCutImageView::setBrushSettings(const KSBrushSettings &settings)
{
    touchUpBrush()->setSettings(settings);
    showBrushOutline(m_hoverPoint);
}

void KSEidtCutImageView::showBrushOutline(const std::optional<QPointF> &viewPoint)
{
    m_hoverPoint = viewPoint;
    KSTouchUpLayer *layer = touchUpLayer();
    if (!viewPoint || m_changeType != KSChangeType::touchUp) {
        layer->setBrushOutline(std::nullopt, 0);
        return;
    }
    layer->setBrushOutline(*viewPoint - QPointF(imageView()->pos()), touchUpBrush()->settings().diameter);
}

bool KSEidtCutImageView::toolPress(QMouseEvent *event)
{
    if (m_changeType != KSChangeType::touchUp)
        return false;
    showBrushOutline(event->position());
    touchUpBrush()->begin(canvasPixelAt(event->position()), imageScale());
    return true;
}

bool KSEidtCutImageView::toolMove(QMouseEvent *event)
{
    if (m_changeType != KSChangeType::touchUp)
        return false;
    showBrushOutline(event->position());
    touchUpBrush()->moveTo(canvasPixelAt(event->position()));
    return true;
}

bool KSEidtCutImageView::toolRelease(QMouseEvent *event)
{
    if (m_changeType != KSChangeType::touchUp)
        return false;
    touchUpBrush()->moveTo(canvasPixelAt(event->position()));
    touchUpBrush()->end();
    return true;
}

void KSEidtCutImageView::toolHover(const std::optional<QPointF> &viewPoint)
{
    if (m_changeType == KSChangeType::touchUp)
        showBrushOutline(viewPoint);
}

Qt::CursorShape KSEidtCutImageView::idleCursor() const
{
    return m_changeType == KSChangeType::touchUp ? Qt::CrossCursor : Qt::ArrowCursor;
}

void KSEidtCutImageView::setChangeType(KSChangeType type)
{
    const bool touchUp = type == KSChangeType::touchUp;
    if (m_changeType == KSChangeType::touchUp && !touchUp)
        touchUpBrush()->end();
    m_changeType = type;
    imageDragView()->setIsCanDrag(type == KSChangeType::size);
    imageDragView()->setVisible(!touchUp);
    touchUpLayer()->setVisible(touchUp);
    if (touchUp) {
        touchUpLayer()->setGeometry(imageView()->rect());
        touchUpLayer()->raise();
    }
    setMouseTracking(touchUp);
    showBrushOutline(touchUp ? m_hoverPoint : std::nullopt);
    refreshCursor();
}

void KSEidtCutImageView::updateCanvasLayout()
{
    const std::optional<QSizeF> size = imageSize();
    if (!size)
        return;
    layoutCanvas(*size);
    if (m_touchUpLayer)
        m_touchUpLayer->setGeometry(imageView()->rect());
    if (m_changeType != KSChangeType::size) {
        m_borderView->hide();
        return;
    }
    m_borderView->setGeometry(imageView()->rect());
    m_borderView->setMaskFrame(KSEditGeometry::maskFrame(imageViewFrame().size(), m_changeBackgroundSize));
    m_borderView->updateMask();
    m_borderView->show();
}

QRectF KSEidtCutImageView::outputImageRect() const
{
    const std::optional<QSizeF> size = imageSize();
    return size ? placementRectFor(*size) : QRectF();
}
