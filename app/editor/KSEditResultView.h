#pragma once

#include "KSEditCanvasView.h"

#include <QSizeF>

// The result canvas: the chosen background size, fitted into the cut-out,
// as a canvas filled with the background, with the subject on it to be
// moved, resized and mirrored. Given a document it takes all of this from
// it; alone it shows what it was set to (imageSize, eraserCropRect, the drag
// view's image).
class KSEditResultView : public KSEditCanvasView
{
    Q_OBJECT

public:
    explicit KSEditResultView(QWidget *parent = nullptr);

    // The canvas's size in pixels; (0, 0) until set, and the layout places
    // nothing meanwhile.
    QSizeF imageSize() const { return m_imageSize; }
    void setImageSize(const QSizeF &size) { m_imageSize = size; }

    void updateCanvasLayout() override;
    QPointF documentOrigin() const override;

    // Where the subject is drawn when the canvas is rendered, in canvas
    // pixels with the origin at the bottom-left corner.
    QRectF outputImageRect() const { return placementRectFor(m_imageSize); }

protected:
    // While hidden the canvas takes the document in only when shown again:
    // an undo or a stroke need not lay out a canvas nobody sees.
    void syncFromDocument() override;
    void showEvent(QShowEvent *event) override;

private:
    QSizeF m_imageSize;
    bool m_syncPending = false;
};
