#include "KSRoundedBorderView.h"

#include "KSPaintKit.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

KSRoundedBorderView::KSRoundedBorderView(QWidget *parent, const QColor &color, double radius)
    : QWidget(parent), m_color(color), m_radius(radius)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    parent->installEventFilter(this);
    cover();
}

void KSRoundedBorderView::cover()
{
    setGeometry(parentWidget()->rect());
    raise();
}

bool KSRoundedBorderView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void KSRoundedBorderView::paintEvent(QPaintEvent *event)
{
    // Most repaints during a drag lie well inside the border.
    const double band = m_radius + 1;
    if (QRectF(rect()).adjusted(band, band, -band, -band).contains(event->rect()))
        return;
    QPainter painter(this);
    KSPaintKit::fillRoundedRect(painter, rect(), m_radius, QColor(), m_color, 1.0);
}
