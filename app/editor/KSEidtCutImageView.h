#pragma once

#include "KSEditCanvasView.h"

#include <QSize>
#include <QSizeF>
#include <QString>
#include <optional>

class KSEditBorderView;

// The crop view's tool mode.
enum class KSChangeType : int {
    none = 0,
    background = 1,
    size = 2,
};

// The crop view: the cut-out as a canvas of its own size, with the subject
// cropped to its visible bounds sitting where it was, so that the view at
// first looks like the cut-out itself. In the size mode the chosen
// background size is framed over the canvas, the outside dimmed, and the
// subject can be moved and resized inside it.
//
// The canvas shows only a reduced copy of the subject; the full subject is
// written to tempCropImagePath for rendering.
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

    // The subject's full size in pixels, and the factor from it to the
    // reduced copy the drag view shows (1 when no reduction was needed; 0
    // before loadCutImage()).
    QSize subjectPixelSize() const { return m_subjectPixelSize; }
    double subjectImageScale() const { return m_subjectImageScale; }

    KSChangeType changeType() const { return m_changeType; }
    // Selects the subject (handles and mirror icon) exactly in the size mode.
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

private:
    // The cut-out's size from the file's header, read once per path.
    std::optional<QSizeF> pictureSize();

    KSEditBorderView *m_borderView = nullptr;
    std::optional<QString> m_imagePath;
    std::optional<QString> m_tempCropImagePath;
    std::optional<QSizeF> m_imageSize;
    std::optional<QSizeF> m_pictureSize;
    QSize m_subjectPixelSize;
    double m_subjectImageScale = 0.0;
    KSChangeType m_changeType = KSChangeType::none;
    QSizeF m_changeBackgroundSize;
};
