#pragma once

#include "KSEditCanvasView.h"

#include "KSBrushSettings.h"

#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>
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
// cropped to its visible bounds sitting where it was, so that the view at
// first looks like the cut-out itself. In the size mode the chosen
// background size is framed over the canvas, the outside dimmed, and the
// subject can be moved and resized inside it.
//
// The cut-out is also kept taken apart as an editable picture (colours and
// mask, maskedPicture()): the subject is drawn from it at any zoom, the
// Touch Up mode edits its mask at full size, and a save renders from it.
// In the Touch Up mode the subject is shown at the cut-out's own place over
// the whole canvas, whatever its place in the other modes, and the left
// button paints with the brush.
class KSEidtCutImageView : public KSEditCanvasView
{
    Q_OBJECT

public:
    // The largest reduced copy of the subject shown on the canvases.
    static constexpr int kMaxDragImageSide = 500;

    explicit KSEidtCutImageView(QWidget *parent = nullptr);

    // The cut-out picture's file. Setting it only stores it: the editor runs
    // loadCutImage() next.
    std::optional<QString> imagePath() const { return m_imagePath; }
    void setImagePath(const std::optional<QString> &path);

    // Finds the subject's visible bounds (eraserCropRect), writes the
    // subject cropped to them into the temporary folder (tempCropImagePath)
    // and gives the drag view a reduced copy. A cut-out that cannot be read
    // leaves the view empty.
    void loadCutImage();

    // The file holding the subject at full size, as TIFF data under a
    // ".png" name like every intermediate picture; none before
    // loadCutImage(). The editor deletes it when the user goes home.
    std::optional<QString> tempCropImagePath() const { return m_tempCropImagePath; }

    // The cut-out's size in pixels, known after the first layout.
    std::optional<QSizeF> imageSize() const { return m_imageSize; }

    // The editable picture loadCutImage() made; null before, or for a
    // cut-out that cannot be read.
    const std::shared_ptr<KSMaskedPicture> &maskedPicture() const { return m_picture; }
    // Fills the picture's colours from the photograph where the cut-out was
    // clear, reading the photo on a worker thread.
    void loadPhotoColours(const QString &photoPath);

    // Where the subject lies in the cut-out (the mask's visible bounds), in
    // pixels; eraserCropRect places exactly this part on the canvas.
    QRect subjectBounds() const { return m_subjectBounds; }
    // After the mask changed: the subject's new bounds, and a new reduced
    // copy for the drag view.
    void setSubjectBounds(const QRect &bounds);

    // The Touch Up mode's layer and strokes.
    KSTouchUpLayer *touchUpLayer();
    KSTouchUpBrush *touchUpBrush();
    void setBrushSettings(const KSBrushSettings &settings);

    // The subject's full size in pixels, and the factor from it to the
    // reduced copy the drag view shows (1 when no reduction was needed; 0
    // before loadCutImage()).
    QSize subjectPixelSize() const { return m_subjectPixelSize; }
    double subjectImageScale() const { return m_subjectImageScale; }

    KSChangeType changeType() const { return m_changeType; }
    // Selects the subject (handles and mirror icon) exactly in the size
    // mode; shows the touch-up layer instead of the subject in that mode.
    void setChangeType(KSChangeType type);

    // The chosen background size in pixels; (0, 0) means none.
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
    bool toolPress(QMouseEvent *event) override;
    bool toolMove(QMouseEvent *event) override;
    bool toolRelease(QMouseEvent *event) override;
    void toolHover(const std::optional<QPointF> &viewPoint) override;
    Qt::CursorShape idleCursor() const override;

private:
    // The cut-out's size from the file's header, read once per path.
    std::optional<QSizeF> pictureSize();
    void showBrushOutline(const std::optional<QPointF> &viewPoint);
    void pictureChanged(const QRect &pictureRect);

    KSEditBorderView *m_borderView = nullptr;
    std::optional<QString> m_imagePath;
    std::optional<QString> m_tempCropImagePath;
    std::optional<QSizeF> m_imageSize;
    std::optional<QSizeF> m_pictureSize;
    std::shared_ptr<KSMaskedPicture> m_picture;
    QRect m_subjectBounds;
    KSTouchUpLayer *m_touchUpLayer = nullptr;
    KSTouchUpBrush *m_touchUpBrush = nullptr;
    std::optional<QPointF> m_hoverPoint;
    QSize m_subjectPixelSize;
    double m_subjectImageScale = 0.0;
    KSChangeType m_changeType = KSChangeType::none;
    QSizeF m_changeBackgroundSize{0, 0};
};
