#pragma once

#include "KSEditCanvasView.h"

#include "KSBrushSettings.h"

#include <QRect>
#include <QSize>
#include <QSizeF>
#include <memory>
#include <optional>

class KSEditBorderView;
class KSMaskedPicture;
class KSTouchUpBrush;
class KSTouchUpLayer;

// The crop view's tool mode.
enum class KSChangeType : int {
    none = 0,
    background = 1,
    size = 2,
    touchUp = 3,
};

// The crop view: the cut-out as a canvas of its own size, with the subject
// cropped to its visible bounds sitting where the document places it, so
// that the view at first looks like the cut-out itself. In the size mode the
// chosen background size is framed over the canvas, the outside dimmed, and
// the subject can be moved and resized inside it.
//
// The subject is drawn from the document's editable picture at any zoom. In
// the Touch Up mode the subject is shown at the cut-out's own place over the
// whole canvas, whatever its place in the other modes, and the left button
// paints into the document's mask with the brush.
class KSEidtCutImageView : public KSEditCanvasView
{
    Q_OBJECT

public:
    explicit KSEidtCutImageView(QWidget *parent = nullptr);

    // The cut-out's size in pixels; none without a loaded document.
    std::optional<QSizeF> imageSize() const;

    // The document's editable picture; null without one.
    std::shared_ptr<KSMaskedPicture> maskedPicture() const;

    // Where the subject lies in the cut-out (the mask's visible bounds), in
    // pixels; eraserCropRect places exactly this part on the canvas.
    QRect subjectBounds() const;

    // The Touch Up mode's layer and strokes.
    KSTouchUpLayer *touchUpLayer();
    KSTouchUpBrush *touchUpBrush();
    void setBrushSettings(const KSBrushSettings &settings);

    // The subject's full size in pixels, and the factor from it to the
    // reduced copy the drag view shows (0 without a subject).
    QSize subjectPixelSize() const;
    double subjectImageScale() const;

    KSChangeType changeType() const { return m_changeType; }
    // Selects the subject (handles and mirror icon) exactly in the size
    // mode; shows the touch-up layer instead of the subject in that mode.
    void setChangeType(KSChangeType type);

    // The chosen background size in pixels; (0, 0) means none. Follows the
    // document's framing.
    QSizeF changeBackgroundSize() const { return m_changeBackgroundSize; }
    void setChangeBackgroundSize(const QSizeF &size) { m_changeBackgroundSize = size; }

    // Created with the view, above the subject.
    KSEditBorderView *borderView() const { return m_borderView; }

    // Also run by the editor after changing the colour or the size.
    void updateCanvasLayout() override;

    // Where the subject is drawn when the cut-out's canvas is rendered, in
    // pixels with the origin bottom-left; the zero rectangle before the
    // first layout.
    QRectF outputImageRect() const;

protected:
    void syncFromDocument() override;
    bool toolPress(QMouseEvent *event) override;
    bool toolMove(QMouseEvent *event) override;
    bool toolRelease(QMouseEvent *event) override;
    void toolHover(const std::optional<QPointF> &viewPoint) override;
    Qt::CursorShape idleCursor() const override;

private:
    void showBrushOutline(const std::optional<QPointF> &viewPoint);
    void pictureChanged(const QRect &pictureRect);
    void maskChanged(const QRegion &region);

    KSEditBorderView *m_borderView = nullptr;
    // The picture the brush and the touch-up layer were given.
    std::shared_ptr<KSMaskedPicture> m_picture;
    KSTouchUpLayer *m_touchUpLayer = nullptr;
    KSTouchUpBrush *m_touchUpBrush = nullptr;
    std::optional<QPointF> m_hoverPoint;
    KSChangeType m_changeType = KSChangeType::none;
    QSizeF m_changeBackgroundSize{0, 0};
};
