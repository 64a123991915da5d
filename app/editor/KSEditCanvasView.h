#pragma once

#include "KSColor.h"
#include "KSViewportGeometry.h"

#include <QRectF>
#include <QSizeF>
#include <QWidget>
#include <memory>
#include <optional>

class KSBackdropLayerView;
class KSBackdropPreview;
class KSEditDocument;
class KSFilppedImageView;
class KSImageDragView;
class KSHoverButton;
class KSMaskedPicture;
class KSPictureLayer;
class KSRoundedBorderView;

// What the editor's two canvases share: a rounded, bordered view holding a
// canvas area (imageView) of the canvas's proportions, filled with the
// background colour (over a transparency checkerboard where it is not
// opaque), with the subject (imageDragView) on it; and the mouse routing
// that selects, moves, resizes and mirrors the subject. Subclasses decide
// the canvas's size in pixels and run the layout whenever the view's size
// changes.
//
// Mouse routing: a press when the subject is not selected does nothing; a
// press inside the selected subject begins a drag there, a press outside it
// deselects it; moves with the button down drag; a release inside the
// subject selects it, and any release ends the drag. A subclass may take
// the left button for a tool of its own (toolPress() and its kin).
//
// Zoom and pan: the canvas starts fitted into the view. The wheel zooms
// around the pointer; the middle button, or the left one while Space is
// held, pans. The canvas area then grows beyond the view, which shows part
// of it; every rectangle above stays in canvas pixels, and imageScale()
// includes the zoom.
//
// Given a document, the canvas draws the document's subject, mirroring and
// background and follows every change of them; its gestures still only
// report (subjectMoved, subjectMirrored), for the editor to turn into edits.
class KSEditCanvasView : public QWidget
{
    Q_OBJECT

public:
    explicit KSEditCanvasView(QWidget *parent = nullptr);

    void setDocument(KSEditDocument *document);
    [[nodiscard]] KSEditDocument *document() const { return m_document; }
    // Where this canvas's origin lies in the cut-out's pixels: subject
    // rectangles reported in canvas pixels plus this are the document's.
    [[nodiscard]] virtual QPointF documentOrigin() const { return {}; }

    // The clear colour (KSClear_Color) shows the checkerboard, and any colour
    // that is not opaque shows it through. Takes effect
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
    // The backdrop and the shadow beneath the subject; made with the
    // document's preview.
    [[nodiscard]] KSBackdropLayerView *backdropLayer() const { return m_backdropLayer; }
    [[nodiscard]] KSBackdropPreview *backdropPreview() const { return m_preview; }

    virtual void updateCanvasLayout() = 0;

    // ---- zoom and pan (anchors and deltas in this view's points) ----
    // Not fitted: zoomed in, or out to 100 % of a picture smaller than the view.
    [[nodiscard]] bool isZoomed() const { return m_zoom.has_value(); }
    // Shown larger than fitted.
    [[nodiscard]] bool isZoomedIn() const;
    void zoomBy(double notches, const QPointF &anchor);
    void zoomTo(double scale, const QPointF &anchor);
    void fitToView();
    // One picture pixel per screen pixel.
    void showActualSize(const QPointF &anchor);
    void panBy(const QPointF &delta);
    // The canvas pixel under a point of this view.
    [[nodiscard]] QPointF canvasPixelAt(const QPointF &viewPoint) const;
    // The zoom in percent of one picture pixel per screen pixel.
    [[nodiscard]] int zoomPercent() const;
    // The zoom level in a corner while the canvas is not fitted; a click on
    // it fits the picture again. Created on first zoom.
    [[nodiscard]] KSHoverButton *zoomBadge() const { return m_zoomBadge; }

    // The before of a before/after: the photograph (the part `source` of
    // the picture's photo layer, in its pixels) over the canvas area.
    void setOriginalPicture(const std::shared_ptr<KSMaskedPicture> &picture, const QRectF &source);
    void setShowsOriginal(bool shown);
    [[nodiscard]] bool showsOriginal() const { return m_showsOriginal; }

signals:
    // The zoom or the pan changed.
    void viewportChanged();
    // The user moved or resized the subject: its rectangle before and after,
    // in canvas pixels.
    void subjectMoved(const QRectF &before, const QRectF &after);
    // The user clicked the mirror icon; `mirrored` is the new state.
    void subjectMirrored(bool mirrored);

protected:
    // Takes the document's state in and runs the layout.
    virtual void syncFromDocument();
    // The drag view shows the document's subject as it is now.
    void syncSubjectPicture();

    // Places the subject from eraserCropRect and fits the canvas area for a
    // canvas of `imageSize` pixels, with its background. False, and nothing
    // placed, when the view or the canvas has no width.
    bool layoutCanvas(const QSizeF &imageSize);

    // The placement rectangle of the subject for rendering on a canvas of
    // `imageSize` pixels (origin bottom-left).
    QRectF placementRectFor(const QSizeF &imageSize) const;

    // A tool's share of the left button; true when the tool took the event.
    virtual bool toolPress(QMouseEvent *) { return false; }
    virtual bool toolMove(QMouseEvent *) { return false; }
    virtual bool toolRelease(QMouseEvent *) { return false; }
    // The pointer moved with no button down, or left the view (none).
    virtual void toolHover(const std::optional<QPointF> &) {}

    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

    // The cursor over the canvas when no pan is under way.
    virtual Qt::CursorShape idleCursor() const { return Qt::ArrowCursor; }
    void refreshCursor();

private:
    QPointF canvasPoint(const QMouseEvent *event);
    // The viewport the last layout used.
    [[nodiscard]] KSViewportGeometry::Viewport currentViewport() const;
    void applyViewport(const KSViewportGeometry::Viewport &viewport);
    // The subject's rectangle follows a drag before the view changes, so
    // that the next layout leaves it where it was dragged.
    void keepSubjectPlace();
    [[nodiscard]] double actualScale() const;
    void refreshZoomBadge();
    // The backdrop layer over the part of the canvas area on screen.
    void placeBackdropLayer();
    // The subject's rectangle in the document while a drag moves it.
    void followDrag();

    KSColor m_changeBackgroundColor;
    QRectF m_eraserCropRect;
    double m_imageScale = 0.0;
    QRectF m_imageViewFrame;
    KSFilppedImageView *m_imageView = nullptr;
    KSImageDragView *m_imageDragView = nullptr;
    KSRoundedBorderView *m_borderOverlay = nullptr;
    KSHoverButton *m_zoomBadge = nullptr;

    QSizeF m_layoutImageSize;
    std::optional<KSViewportGeometry::Viewport> m_zoom;
    bool m_spaceHeld = false;
    std::optional<QPointF> m_panFrom;
    Qt::MouseButton m_panButton = Qt::NoButton;
    std::optional<QRectF> m_dragStartFrame;
    KSPictureLayer *m_originalLayer = nullptr;
    bool m_showsOriginal = false;
    KSEditDocument *m_document = nullptr;
    KSBackdropPreview *m_preview = nullptr;
    KSBackdropLayerView *m_backdropLayer = nullptr;
    // The reduced subject the drag view was last given.
    qint64 m_shownSubjectKey = 0;
};
