#pragma once

#include "KSEditCanvasView.h"

#include <QSizeF>

// The result canvas: the chosen background size, fitted into the cut-out,
// as a canvas filled with the background colour, with the subject on it to
// be moved, resized and mirrored. The editor sets changeBackgroundColor,
// imageSize, eraserCropRect and the drag view's image, runs
// updateCanvasLayout() and later reads the drag view's frame back.
class KSEditResultView : public KSEditCanvasView
{
    Q_OBJECT

public:
    explicit KSEditResultView(QWidget *parent = nullptr);

    // The canvas's size in pixels; (0, 0) until the editor sets it, and the
    // layout places nothing meanwhile.
    QSizeF imageSize() const { return m_imageSize; }
    void setImageSize(const QSizeF &size) { m_imageSize = size; }

    void updateCanvasLayout() override;

    // Where the subject is drawn when the canvas is rendered, in canvas
    // pixels with the origin at the bottom-left corner.
    QRectF outputImageRect() const { return placementRectFor(m_imageSize); }

private:
    QSizeF m_imageSize;
};
