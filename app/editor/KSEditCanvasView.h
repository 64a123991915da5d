#pragma once

#include "KSColor.h"

#include <QRectF>
#include <QSizeF>
#include <QWidget>

class KSFilppedImageView;
class KSImageDragView;
class KSRoundedBorderView;

// What the editor's two canvases share: a rounded, bordered view holding a
// canvas area (imageView) of the canvas's proportions, filled with the
// background colour or a transparency checkerboard, with the subject
// (imageDragView) on it; and the mouse routing that selects, moves,
// resizes and mirrors the subject. Subclasses decide the canvas's size in
// pixels and run the layout whenever the view's size changes.
//
// Mouse routing: a press when the subject is not selected does nothing; a
// press inside the selected subject begins a drag there, a press outside it
// deselects it; moves with the button down drag; a release inside the
// subject selects it, and any release ends the drag.
class KSEditCanvasView : public QWidget
{
    Q_OBJECT

public:
    explicit KSEditCanvasView(QWidget *parent = nullptr);

    // The clear colour (KSClear_Color) shows the checkerboard. Takes effect
    // at the next updateCanvasLayout().
    KSColor changeBackgroundColor() const { return m_changeBackgroundColor; }
    void setChangeBackgroundColor(const KSColor &color) { m_changeBackgroundColor = color; }

    // The subject's rectangle in canvas pixels, origin top-left; the layout
    // places the drag view from it.
    QRectF eraserCropRect() const { return m_eraserCropRect; }
    void setEraserCropRect(const QRectF &rect) { m_eraserCropRect = rect; }

    // Points on screen per canvas pixel; 0 until a layout fitted the canvas.
    double imageScale() const { return m_imageScale; }

    // The canvas area, exactly (the widget covers it rounded to points).
    QRectF imageViewFrame() const { return m_imageViewFrame; }

    // Created on first use.
    KSFilppedImageView *imageView();
    KSImageDragView *imageDragView();

    virtual void updateCanvasLayout() = 0;

protected:
    // Places the subject from eraserCropRect and fits the canvas area for a
    // canvas of `imageSize` pixels, with its background. False, and nothing
    // placed, when the view or the canvas has no width.
    bool layoutCanvas(const QSizeF &imageSize);

    // The placement rectangle of the subject for rendering on a canvas of
    // `imageSize` pixels (origin bottom-left).
    QRectF placementRectFor(const QSizeF &imageSize) const;

    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointF canvasPoint(const QMouseEvent *event);

    KSColor m_changeBackgroundColor;
    QRectF m_eraserCropRect;
    double m_imageScale = 0.0;
    QRectF m_imageViewFrame;
    KSFilppedImageView *m_imageView = nullptr;
    KSImageDragView *m_imageDragView = nullptr;
    KSRoundedBorderView *m_borderOverlay = nullptr;
};
