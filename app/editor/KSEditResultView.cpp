#include "KSEditResultView.h"

#include "KSEditDocument.h"

KSEditResultView::KSEditResultView(QWidget *parent) : KSEditCanvasView(parent)
{
}

void KSEditResultView::updateCanvasLayout()
{
    layoutCanvas(m_imageSize);
}

QPointF KSEditResultView::documentOrigin() const
{
    return document() ? document()->resultCanvasRect().topLeft() : QPointF();
}

void KSEditResultView::syncFromDocument()
{
    KSEditDocument *doc = document();
    if (!doc)
        return;
    m_syncPending = isHidden();
    if (m_syncPending)
        return;
    const QRectF canvas = doc->resultCanvasRect();
    m_imageSize = doc->framing().hasSize() ? canvas.size() : QSizeF();
    if (doc->picture())
        setOriginalPicture(doc->picture(), canvas);
    KSEditCanvasView::syncFromDocument();
}

void KSEditResultView::showEvent(QShowEvent *event)
{
    KSEditCanvasView::showEvent(event);
    if (m_syncPending)
        syncFromDocument();
}
