#include "KSImageDragView.h"

#include "KSColorConst.h"
#include "KSFilppedImageView.h"
#include "KSImageExtension.h"
#include "KSImageNamed.h"
#include "KSMaskedPicture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>

namespace {

constexpr int kMirrorIconSide = 24;
// The mirror icon is centred on the picture's bottom-left corner, so it
// reaches this far out of the frame to the left and below.
constexpr int kIconOverhang = kMirrorIconSide / 2 - int(KSEditGeometry::kDragMargin);
constexpr int kMirrorDelayMs = 100;
// Above this many pixels the picture is drawn scaled on the fly rather than
// kept scaled: a zoomed-in subject may be far larger than the screen.
constexpr qint64 kMaxCachedPixels = 16'000'000;

} // namespace

KSImageDragView::KSImageDragView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Our own image view: a style sheet of the window cannot give it a
    // background that would box the round icon in.
    m_mirrorImageView = new KSFilppedImageView(this);
    m_mirrorImageView->setImage(
        KSImageNamed(QStringLiteral("mirroringIcon"), QSize(kMirrorIconSide, kMirrorIconSide)).toImage());
    // Shown with the handles only: an icon on an unselected subject would
    // promise a click that does nothing.
    m_mirrorImageView->hide();
    setFrame(QRectF());
    // The canvas area decides where the handles and the icon can show.
    if (parent)
        parent->installEventFilter(this);
}

bool KSImageDragView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        placeMirrorIcon();
        update();
    }
    return QWidget::eventFilter(watched, event);
}

void KSImageDragView::setFrame(const QRectF &frame)
{
    m_frame = frame;
    setGeometry(KSEditGeometry::roundedEdges(frame).adjusted(-kIconOverhang, 0, 0, kIconOverhang));
    placeMirrorIcon();
}

QRect KSImageDragView::displayFrame() const
{
    return QRect(kIconOverhang, 0, width() - kIconOverhang, height() - kIconOverhang);
}

void KSImageDragView::placeMirrorIcon()
{
    // Centred on the bottom-left handle where the canvas area shows it, and
    // wholly inside the area: a subject on the canvas's edge keeps it in reach.
    const QRect frame = displayFrame();
    const QRectF visible = visibleFrame();
    const QRectF handle = KSEditGeometry::reachableHandleRects(m_frame.size(), visible).at(2);
    QRectF icon(QPointF(), QSizeF(kMirrorIconSide, kMirrorIconSide));
    icon.moveCenter(handle.center());
    icon = KSEditGeometry::movedInside(icon, visible);
    m_mirrorImageView->setGeometry(KSEditGeometry::roundedEdges(icon.translated(frame.topLeft())));
}

QRectF KSImageDragView::visibleFrame() const
{
    const QRectF frame(QPointF(0, 0), m_frame.size());
    if (!parentWidget())
        return frame;
    return frame.intersected(QRectF(parentWidget()->rect()).translated(-m_frame.topLeft()));
}

void KSImageDragView::setImage(const QImage &image)
{
    m_picture.setImage(image);
    update();
}

void KSImageDragView::setPictureSource(const std::shared_ptr<KSMaskedPicture> &picture, const QRect &sourceRect)
{
    m_source = picture;
    m_sourceRect = sourceRect;
    update();
}

void KSImageDragView::takePicture(const KSImageDragView &other)
{
    setImage(other.image());
    m_isMirrorImage = other.m_isMirrorImage;
    m_pictureMirrored = other.m_pictureMirrored;
    setPictureSource(other.m_source, other.m_sourceRect);
}

void KSImageDragView::setIsMirrorImage(bool mirrored)
{
    m_isMirrorImage = mirrored;
    m_pictureMirrored = mirrored;
    update();
}

void KSImageDragView::setMirrored(bool mirrored)
{
    m_isMirrorImage = mirrored;
    followMirrorState();
}

void KSImageDragView::followMirrorState()
{
    if (m_pictureMirrored != m_isMirrorImage)
        flipMirrorImage();
}

void KSImageDragView::setIsCanDrag(bool canDrag)
{
    m_isCanDrag = canDrag;
    m_mirrorImageView->setVisible(canDrag);
    update();
}

MouseDragLocation KSImageDragView::dragLocation(const QPointF &point) const
{
    return KSEditGeometry::dragLocation(point, m_frame.size(), visibleFrame());
}

void KSImageDragView::beginDragging(const QPointF &point)
{
    m_beginPoint = point;
    m_beginFrame = m_frame;
    m_pointLocation = dragLocation(point - m_frame.topLeft());
    if (m_pointLocation == MouseDragLocation::bottomLeft) {
        // The corner under the mirror icon: a click, never a drag.
        m_beginPoint.reset();
        m_beginFrame.reset();
        m_isMirrorImage = !m_isMirrorImage;
        QTimer::singleShot(kMirrorDelayMs, this, &KSImageDragView::followMirrorState);
        emit mirrorClicked();
    }
}

void KSImageDragView::dragging(const QPointF &point)
{
    if (!m_beginPoint || !m_beginFrame)
        return;
    m_offsetX = point.x() - m_beginPoint->x();
    m_offsetY = point.y() - m_beginPoint->y();
    setFrame(KSEditGeometry::draggedFrame(m_pointLocation.value_or(MouseDragLocation::mouseNone), *m_beginFrame,
                                          QPointF(m_offsetX, m_offsetY), m_frame.size()));
}

void KSImageDragView::endDragging()
{
    m_beginPoint.reset();
    m_beginFrame.reset();
}

Qt::CursorShape KSImageDragView::dragCursor() const
{
    if (!m_beginPoint)
        return Qt::ArrowCursor;
    switch (m_pointLocation.value_or(MouseDragLocation::mouseNone)) {
    case MouseDragLocation::topMiddle:
    case MouseDragLocation::bottomMiddle:
        return Qt::SizeVerCursor;
    case MouseDragLocation::mouseNone:
        return Qt::ArrowCursor;
    default:
        return Qt::SizeHorCursor;
    }
}

void KSImageDragView::flipMirrorImage()
{
    m_pictureMirrored = !m_pictureMirrored;
    setImage(KSImageExtension::flipImage(m_picture.image()));
}

void KSImageDragView::paintEvent(QPaintEvent *event)
{
    const QRect frame = displayFrame();
    if (frame.isEmpty())
        return;
    QPainter painter(this);
    painter.translate(frame.topLeft());

    const int margin = int(KSEditGeometry::kDragMargin);
    const QRect pictureRect(margin, margin, frame.width() - 2 * margin, frame.height() - 2 * margin);
    const QRectF exposed = QRectF(event->rect()).translated(-frame.topLeft());
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize(int(std::lround(pictureRect.width() * ratio)),
                           int(std::lround(pictureRect.height() * ratio)));
    if (m_source && !pictureRect.isEmpty()) {
        painter.save();
        QRectF visible = exposed;
        if (m_pictureMirrored) {
            // Mirrored about the picture's vertical centre line.
            const double axis = 2 * QRectF(pictureRect).center().x();
            painter.translate(axis, 0);
            painter.scale(-1, 1);
            visible = QRectF(axis - exposed.right(), exposed.top(), exposed.width(), exposed.height());
        }
        m_source->draw(painter, QRectF(pictureRect), QRectF(m_sourceRect), visible);
        painter.restore();
    } else if (qint64(deviceSize.width()) * deviceSize.height() > kMaxCachedPixels) {
        painter.save();
        painter.setClipRect(exposed);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(pictureRect), m_picture.image());
        painter.restore();
    } else {
        QPixmap pixmap = m_picture.pixmap(deviceSize);
        if (!pixmap.isNull()) {
            pixmap.setDevicePixelRatio(ratio);
            painter.drawPixmap(pictureRect.topLeft(), pixmap);
        }
    }
    if (!m_isCanDrag)
        return;

    m_rectArray = KSEditGeometry::reachableHandleRects(frame.size(), visibleFrame());
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(KSRGBHexColor(0x666666).toQColor(), 0.8);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(pictureRect));
    // White squares, outlined with the frame's pen so that they still read
    // on a white background.
    painter.setBrush(Qt::white);
    for (const QRectF &handle : std::as_const(m_rectArray))
        painter.drawRect(handle.adjusted(0.4, 0.4, -0.4, -0.4));
}
