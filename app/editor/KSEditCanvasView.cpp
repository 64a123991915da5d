#include "KSEditCanvasView.h"

#include "CommLang.h"
#include "KSBackdropLayerView.h"
#include "KSBackdropPreview.h"
#include "KSColorConst.h"
#include "KSEditDocument.h"
#include "KSEditGeometry.h"
#include "KSFilppedImageView.h"
#include "KSHoverButton.h"
#include "KSImageExtension.h"
#include "KSMaskedPicture.h"
#include "KSImageDragView.h"
#include "KSImageNamed.h"
#include "KSPictureLayer.h"
#include "KSRoundedBorderView.h"
#include "KSTextStyle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr double kCornerRadius = 6.0;
// Wheel deltas come in eighths of a degree; a notch is 15 degrees.
constexpr double kWheelNotch = 120.0;
// The zoom badge: in the bottom-right corner, clear of the rounded edge.
constexpr int kBadgeMargin = 8;
constexpr int kBadgeHeight = 22;
constexpr int kBadgePadding = 14;
constexpr int kBadgePoints = 11;

} // namespace

KSEditCanvasView::KSEditCanvasView(QWidget *parent)
    : QWidget(parent), m_changeBackgroundColor(KSClear_Color())
{
    m_borderOverlay = new KSRoundedBorderView(this, KSRGBHexColor(0xDDDDDD).toQColor(), kCornerRadius);
    // Keys for panning (Space) reach the canvas under the pointer.
    setFocusPolicy(Qt::ClickFocus);
}

KSFilppedImageView *KSEditCanvasView::imageView()
{
    if (!m_imageView) {
        m_imageView = new KSFilppedImageView(this);
        m_imageView->setGeometry(KSEditGeometry::roundedEdges(m_imageViewFrame));
        m_imageView->show();
        m_borderOverlay->cover();
    }
    return m_imageView;
}

KSImageDragView *KSEditCanvasView::imageDragView()
{
    if (!m_imageDragView) {
        m_imageDragView = new KSImageDragView(imageView());
        m_imageDragView->show();
        connect(m_imageDragView, &KSImageDragView::mirrorClicked, this,
                [this] { emit subjectMirrored(m_imageDragView->isMirrorImage()); });
    }
    return m_imageDragView;
}

void KSEditCanvasView::setDocument(KSEditDocument *document)
{
    if (m_document)
        m_document->disconnect(this);
    m_document = document;
    m_shownSubjectKey = 0;
    delete m_preview;
    m_preview = nullptr;
    if (!document)
        return;
    m_preview = new KSBackdropPreview(document, this);
    if (!m_backdropLayer) {
        m_backdropLayer = new KSBackdropLayerView(imageView());
        m_backdropLayer->show();
    }
    m_backdropLayer->setPreview(m_preview);
    connect(document, &KSEditDocument::shadowChanged, this, &KSEditCanvasView::syncFromDocument);
    connect(document, &KSEditDocument::subjectChanged, this, &KSEditCanvasView::syncFromDocument);
    connect(document, &KSEditDocument::backgroundChanged, this, &KSEditCanvasView::syncFromDocument);
    connect(document, &KSEditDocument::framingChanged, this, &KSEditCanvasView::syncFromDocument);
    connect(document, &KSEditDocument::destroyed, this, [this] { m_document = nullptr; });
    syncFromDocument();
}

void KSEditCanvasView::syncFromDocument()
{
    if (!m_document)
        return;
    const KSEditBackground background = m_document->background();
    // A picture or the backdrop covers the colour: an opaque one spares
    // painting the checkerboard beneath.
    m_changeBackgroundColor =
        background.kind == KSEditBackground::Kind::colour ? background.colour : KSRGBHexColor(0xFFFFFF);
    if (m_backdropLayer)
        m_backdropLayer->setDraggedSubject(std::nullopt);
    m_eraserCropRect = m_document->subjectRect().translated(-documentOrigin());
    syncSubjectPicture();
    updateCanvasLayout();
}

void KSEditCanvasView::syncSubjectPicture()
{
    KSImageDragView *subject = imageDragView();
    const bool mirrored = m_document->isMirrored();
    const QImage reduced = m_document->reducedSubject();
    const QRect bounds = m_document->subjectBounds();
    if (reduced.cacheKey() != m_shownSubjectKey || subject->pictureSourceRect() != bounds
        || subject->pictureSource() != m_document->picture()) {
        m_shownSubjectKey = reduced.cacheKey();
        subject->setImage(mirrored ? KSImageExtension::flipImage(reduced) : reduced);
        subject->setIsMirrorImage(mirrored);
        subject->setPictureSource(m_document->picture(), bounds);
    } else if (subject->isMirrorImage() != mirrored) {
        // A click already turned the state and flips the picture a moment
        // later; an undo or redo turns both at once.
        subject->setMirrored(mirrored);
    }
}

bool KSEditCanvasView::layoutCanvas(const QSizeF &imageSize)
{
    const std::optional<KSViewportGeometry::Viewport> fit = KSViewportGeometry::fitted(QSizeF(size()), imageSize);
    if (!fit)
        return false;
    // Another canvas: the zoom of the last one means nothing for it.
    if (imageSize != m_layoutImageSize) {
        m_zoom.reset();
        m_layoutImageSize = imageSize;
    }
    const KSViewportGeometry::Viewport viewport =
        m_zoom ? KSViewportGeometry::clamped(*m_zoom, QSizeF(size()), imageSize) : *fit;
    imageDragView()->setFrame(KSEditGeometry::dragViewFrame(m_eraserCropRect, viewport.scale));
    m_imageScale = viewport.scale;
    m_imageViewFrame = QRectF(viewport.origin, imageSize * viewport.scale);
    imageView()->setGeometry(KSEditGeometry::roundedEdges(m_imageViewFrame));
    imageView()->setBackgroundColor(m_changeBackgroundColor.toQColor());
    placeBackdropLayer();
    if (m_originalLayer) {
        m_originalLayer->setGeometry(imageView()->rect());
        m_originalLayer->raise();
    }
    refreshZoomBadge();
    return true;
}

void KSEditCanvasView::placeBackdropLayer()
{
    if (!m_backdropLayer || !(m_imageScale > 0))
        return;
    // Only what the view shows: a zoomed canvas is far larger than the screen.
    const QRect canvas = imageView()->geometry();
    const QRect visible = canvas.intersected(rect()).translated(-canvas.topLeft());
    m_backdropLayer->setGeometry(visible);
    const QPointF offset = QPointF(canvas.topLeft()) - m_imageViewFrame.topLeft();
    m_backdropLayer->setView(QRectF((QPointF(visible.topLeft()) + offset) / m_imageScale,
                                    QSizeF(visible.size()) / m_imageScale)
                                 .translated(documentOrigin()));
    m_backdropLayer->lower();
}

void KSEditCanvasView::followDrag()
{
    if (m_backdropLayer && m_dragStartFrame && m_imageScale > 0)
        m_backdropLayer->setDraggedSubject(
            KSEditGeometry::subjectRect(imageDragView()->frame(), m_imageScale).translated(documentOrigin()));
}

int KSEditCanvasView::zoomPercent() const
{
    return int(std::lround(m_imageScale / actualScale() * 100.0));
}

void KSEditCanvasView::refreshZoomBadge()
{
    if (!m_zoom) {
        if (m_zoomBadge)
            m_zoomBadge->hide();
        return;
    }
    if (!m_zoomBadge) {
        m_zoomBadge = new KSHoverButton(this);
        m_zoomBadge->setObjectName(QStringLiteral("zoomBadge"));
        m_zoomBadge->setTitleFont(KSTextStyle::systemFont(kBadgePoints));
        m_zoomBadge->setTitleColor(Qt::white);
        m_zoomBadge->setBackgroundColor(QColor(0, 0, 0, 140));
        m_zoomBadge->setBackgroundHoverColor(QColor(0, 0, 0, 190));
        m_zoomBadge->setBorderRadius(kBadgeHeight / 2.0);
        m_zoomBadge->setCursor(Qt::PointingHandCursor);
        m_zoomBadge->setFocusPolicy(Qt::NoFocus);
        m_zoomBadge->setToolTip(CommLang::GetAppLang(QStringLiteral("ZoomLevelTip")));
        m_zoomBadge->setTarget(this);
        m_zoomBadge->setAction([this](KSHoverButton *) { fitToView(); });
    }
    const QString text = QStringLiteral("%1 %").arg(zoomPercent());
    m_zoomBadge->setTitle(text);
    const int width = QFontMetrics(KSTextStyle::systemFont(kBadgePoints)).horizontalAdvance(text) + 2 * kBadgePadding;
    m_zoomBadge->setGeometry(this->width() - kBadgeMargin - width, height() - kBadgeMargin - kBadgeHeight, width,
                             kBadgeHeight);
    m_zoomBadge->show();
    m_zoomBadge->raise();
}

QRectF KSEditCanvasView::placementRectFor(const QSizeF &imageSize) const
{
    if (!m_imageDragView)
        return {};
    return KSEditGeometry::placementRect(m_imageDragView->frame(), m_imageScale, imageSize);
}

void KSEditCanvasView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_zoom)
        m_zoom = KSViewportGeometry::resized(*m_zoom, QSizeF(event->oldSize()), QSizeF(event->size()),
                                             m_layoutImageSize);
    updateCanvasLayout();
}

// ---- zoom and pan ------------------------------------------------------------

KSViewportGeometry::Viewport KSEditCanvasView::currentViewport() const
{
    return KSViewportGeometry::Viewport{m_imageScale, m_imageViewFrame.topLeft()};
}

double KSEditCanvasView::actualScale() const
{
    return 1.0 / devicePixelRatioF();
}

bool KSEditCanvasView::isZoomedIn() const
{
    return m_zoom && KSViewportGeometry::isZoomedIn(*m_zoom, QSizeF(size()), m_layoutImageSize);
}

void KSEditCanvasView::keepSubjectPlace()
{
    if (m_imageDragView && m_imageScale > 0)
        m_eraserCropRect = KSEditGeometry::subjectRect(m_imageDragView->frame(), m_imageScale);
}

void KSEditCanvasView::applyViewport(const KSViewportGeometry::Viewport &viewport)
{
    const std::optional<KSViewportGeometry::Viewport> fit =
        KSViewportGeometry::fitted(QSizeF(size()), m_layoutImageSize);
    if (!fit)
        return;
    keepSubjectPlace();
    if (viewport == *fit)
        m_zoom.reset();
    else
        m_zoom = viewport;
    updateCanvasLayout();
    emit viewportChanged();
}

void KSEditCanvasView::zoomTo(double scale, const QPointF &anchor)
{
    if (!(m_imageScale > 0))
        return;
    applyViewport(KSViewportGeometry::zoomedAround(currentViewport(), scale, anchor, QSizeF(size()),
                                                   m_layoutImageSize, actualScale()));
}

void KSEditCanvasView::zoomBy(double notches, const QPointF &anchor)
{
    zoomTo(KSViewportGeometry::steppedScale(m_imageScale, notches), anchor);
}

void KSEditCanvasView::fitToView()
{
    if (const auto fit = KSViewportGeometry::fitted(QSizeF(size()), m_layoutImageSize))
        applyViewport(*fit);
}

void KSEditCanvasView::showActualSize(const QPointF &anchor)
{
    zoomTo(actualScale(), anchor);
}

void KSEditCanvasView::panBy(const QPointF &delta)
{
    if (!m_zoom || !(m_imageScale > 0))
        return;
    applyViewport(KSViewportGeometry::panned(currentViewport(), delta, QSizeF(size()), m_layoutImageSize));
}

QPointF KSEditCanvasView::canvasPixelAt(const QPointF &viewPoint) const
{
    return KSViewportGeometry::toPicture(currentViewport(), viewPoint);
}

void KSEditCanvasView::setOriginalPicture(const std::shared_ptr<KSMaskedPicture> &picture, const QRectF &source)
{
    if (!m_originalLayer) {
        m_originalLayer = new KSPictureLayer(imageView());
        m_originalLayer->setLayer(KSMaskedPicture::Layer::photo);
        m_originalLayer->setGeometry(imageView()->rect());
        m_originalLayer->setVisible(m_showsOriginal);
    }
    m_originalLayer->setPicture(picture);
    m_originalLayer->setSource(source);
}

void KSEditCanvasView::setShowsOriginal(bool shown)
{
    m_showsOriginal = shown;
    if (!m_originalLayer)
        return;
    m_originalLayer->setGeometry(imageView()->rect());
    m_originalLayer->raise();
    m_originalLayer->setVisible(shown);
}

// ---- mouse and keys ------------------------------------------------------------

QPointF KSEditCanvasView::canvasPoint(const QMouseEvent *event)
{
    return event->position() - QPointF(imageView()->pos());
}

void KSEditCanvasView::refreshCursor()
{
    if (m_panFrom)
        setCursor(Qt::ClosedHandCursor);
    else if (m_spaceHeld && m_zoom)
        setCursor(Qt::OpenHandCursor);
    else if (idleCursor() == Qt::ArrowCursor)
        unsetCursor();
    else
        setCursor(idleCursor());
}

void KSEditCanvasView::mousePressEvent(QMouseEvent *event)
{
    const bool panPress =
        event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && m_spaceHeld);
    if (panPress && !m_panFrom) {
        m_panFrom = event->position();
        m_panButton = event->button();
        refreshCursor();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (toolPress(event))
        return;
    KSImageDragView *subject = imageDragView();
    if (!subject->isCanDrag())
        return;
    const QPointF point = canvasPoint(event);
    if (subject->frame().contains(point)) {
        m_dragStartFrame = subject->frame();
        subject->beginDragging(point);
    } else {
        subject->setIsCanDrag(false);
    }
}

void KSEditCanvasView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_panFrom) {
        const QPointF delta = event->position() - *m_panFrom;
        m_panFrom = event->position();
        panBy(delta);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        toolHover(event->position());
        return QWidget::mouseMoveEvent(event);
    }
    if (toolMove(event))
        return;
    KSImageDragView *subject = imageDragView();
    subject->dragging(canvasPoint(event));
    followDrag();
    const Qt::CursorShape shape = subject->dragCursor();
    if (!testAttribute(Qt::WA_SetCursor) || cursor().shape() != shape)
        setCursor(shape);
}

void KSEditCanvasView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_panFrom && event->button() == m_panButton) {
        m_panFrom.reset();
        m_panButton = Qt::NoButton;
        refreshCursor();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    if (toolRelease(event))
        return;
    KSImageDragView *subject = imageDragView();
    // A release outside the subject (a handle's square reaches beyond it)
    // must end the drag too, or the next press outside would still drag.
    subject->endDragging();
    refreshCursor();
    if (m_dragStartFrame && *m_dragStartFrame != subject->frame() && m_imageScale > 0)
        emit subjectMoved(KSEditGeometry::subjectRect(*m_dragStartFrame, m_imageScale),
                          KSEditGeometry::subjectRect(subject->frame(), m_imageScale));
    m_dragStartFrame.reset();
    // The document has the subject's place now, or kept the old one.
    if (m_backdropLayer)
        m_backdropLayer->setDraggedSubject(std::nullopt);
    if (subject->frame().contains(canvasPoint(event)))
        subject->setIsCanDrag(true);
}

void KSEditCanvasView::wheelEvent(QWheelEvent *event)
{
    const double notches = event->angleDelta().y() / kWheelNotch;
    if (notches == 0)
        return QWidget::wheelEvent(event);
    zoomBy(notches, event->position());
    event->accept();
}

void KSEditCanvasView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat()) {
            m_spaceHeld = true;
            refreshCursor();
        }
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KSEditCanvasView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat()) {
            m_spaceHeld = false;
            refreshCursor();
        }
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void KSEditCanvasView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    // The canvas under the pointer hears Space, as in any picture editor.
    const QWidget *focused = QApplication::focusWidget();
    if (isActiveWindow() && (!focused || !focused->testAttribute(Qt::WA_InputMethodEnabled)))
        setFocus(Qt::MouseFocusReason);
}

void KSEditCanvasView::leaveEvent(QEvent *event)
{
    toolHover(std::nullopt);
    QWidget::leaveEvent(event);
}

void KSEditCanvasView::focusOutEvent(QFocusEvent *event)
{
    // A Space released elsewhere never reaches us.
    m_spaceHeld = false;
    refreshCursor();
    QWidget::focusOutEvent(event);
}
