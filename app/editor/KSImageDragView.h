#pragma once

#include "KSEditGeometry.h"
#include "KSScaledPixmap.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <memory>
#include <optional>

class KSFilppedImageView;
class KSMaskedPicture;

// The subject on a canvas: its picture inside a 3-point margin, and while
// selected a thin frame, eight white handles and the mirror icon at the
// bottom-left picture corner. A press inside it moves it, a press on a
// handle resizes it with its proportions kept, a press on the bottom-left
// handle mirrors the picture.
//
// frame() is in the coordinates of the canvas area (the parent), in points,
// kept exactly; the widget itself covers it rounded to whole points plus
// room for the icon that sticks out. The canvas owning this view sends it
// the mouse: the view itself takes no mouse events.
class KSImageDragView : public QWidget
{
    Q_OBJECT

public:
    explicit KSImageDragView(QWidget *parent = nullptr);

    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF &frame);

    // The subject picture shown (the canvases give a reduced copy).
    const QImage &image() const { return m_picture.image(); }
    void setImage(const QImage &image);

    // Draws the subject from the editable picture instead of image(): its
    // part `sourceRect`, from the copy that suits the size on screen, so
    // that it stays sharp at any zoom. image() is kept for whoever reads it.
    void setPictureSource(const std::shared_ptr<KSMaskedPicture> &picture, const QRect &sourceRect);
    const std::shared_ptr<KSMaskedPicture> &pictureSource() const { return m_source; }
    QRect pictureSourceRect() const { return m_sourceRect; }
    // Takes over another drag view's picture, source and mirror state.
    void takePicture(const KSImageDragView &other);

    // Toggled by each mirror click; image() is then the mirrored picture.
    bool isMirrorImage() const { return m_isMirrorImage; }
    // Marks the picture as mirrored or not without flipping it: for a
    // picture taken over from another drag view together with its state.
    void setIsMirrorImage(bool mirrored);
    // Mirrored or not, the picture following at once: an undo or a redo.
    void setMirrored(bool mirrored);

    // Selected: the frame, the handles and the mirror icon are shown, and a
    // press may begin a drag.
    bool isCanDrag() const { return m_isCanDrag; }
    void setIsCanDrag(bool canDrag);

    KSFilppedImageView *mirrorImageView() const { return m_mirrorImageView; }

    // The drag under way: where the press was (parent coordinates), the
    // frame then, and the handle it grabbed. None outside a drag.
    std::optional<QPointF> beginPoint() const { return m_beginPoint; }
    std::optional<QRectF> beginFrame() const { return m_beginFrame; }
    std::optional<MouseDragLocation> pointLocation() const { return m_pointLocation; }
    double offsetX() const { return m_offsetX; }
    double offsetY() const { return m_offsetY; }

    // The handle squares of the last painting, in frame coordinates; empty
    // before the view was first painted selected.
    const QList<QRectF> &rectArray() const { return m_rectArray; }

    // The handle under a point given relative to the frame's top-left
    // corner, with the handles kept where the canvas area shows them.
    MouseDragLocation dragLocation(const QPointF &point) const;

    // The part of the frame the canvas area shows, relative to the frame's
    // top-left corner: where the handles and the mirror icon stay.
    QRectF visibleFrame() const;

    // A press at `point` (parent coordinates) inside the frame: begins a
    // move or a resize, or, on the bottom-left handle, mirrors the picture
    // a tenth of a second later.
    void beginDragging(const QPointF &point);
    // Pointer at `point` (parent coordinates) while the button is down.
    void dragging(const QPointF &point);
    // The button went up: no later pointer move changes the frame.
    void endDragging();

    // The cursor for the drag under way.
    Qt::CursorShape dragCursor() const;

    // Replaces the picture by its mirror and shows it.
    void flipMirrorImage();

signals:
    // The mirror icon was clicked: isMirrorImage() has just turned.
    void mirrorClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The frame in whole points, relative to this widget.
    QRect displayFrame() const;
    void placeMirrorIcon();
    // A click's flip, a moment later: only if the state still asks for it.
    void followMirrorState();

    QRectF m_frame;
    KSScaledPixmap m_picture;
    std::optional<QPointF> m_beginPoint;
    std::optional<QRectF> m_beginFrame;
    std::optional<MouseDragLocation> m_pointLocation;
    double m_offsetX = 0;
    double m_offsetY = 0;
    bool m_isMirrorImage = false;
    // Whether the picture shown is mirrored; it follows m_isMirrorImage
    // a moment after a click.
    bool m_pictureMirrored = false;
    std::shared_ptr<KSMaskedPicture> m_source;
    QRect m_sourceRect;
    bool m_isCanDrag = false;
    KSFilppedImageView *m_mirrorImageView = nullptr;
    QList<QRectF> m_rectArray;
};
