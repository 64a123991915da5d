#include "KSOverlayView.h"

#include "KSColorConst.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

KSOverlayView::KSOverlayView(QWidget *parent) : KSColorView(parent)
{
    setColor(KSRGBHexColor(0x000000, 0.5));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoMousePropagation);
}

void KSOverlayView::attachTo(KSOverlayView *view, QWidget *host)
{
    // Follows the host's size for as long as it is shown.
    host->installEventFilter(view);
    view->setGeometry(host->rect());
    view->raise();
    view->show();
    // Keys must not reach a control of the editor underneath.
    view->setFocus(Qt::OtherFocusReason);
}

void KSOverlayView::removeFromSuperview()
{
    if (QWidget *host = parentWidget())
        host->removeEventFilter(this);
    hide();
    // A button of this view is still on the stack: delete once it returns.
    deleteLater();
}

// The dimmed area is modal-looking: nothing below may react to the mouse.
void KSOverlayView::mousePressEvent(QMouseEvent *event) { event->accept(); }
void KSOverlayView::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }
void KSOverlayView::mouseDoubleClickEvent(QMouseEvent *event) { event->accept(); }
void KSOverlayView::mouseMoveEvent(QMouseEvent *event) { event->accept(); }
void KSOverlayView::wheelEvent(QWheelEvent *event) { event->accept(); }
void KSOverlayView::enterEvent(QEnterEvent *) {}
void KSOverlayView::leaveEvent(QEvent *) {}

void KSOverlayView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        dismiss();
    event->accept();
}

bool KSOverlayView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return KSColorView::eventFilter(watched, event);
}
