#include "KSIdGuideView.h"

#include "KSEditGeometry.h"
#include "KSFramingGeometry.h"

#include <QEvent>
#include <QPainter>

namespace {
// The accent green, light enough to see the face through it.
const QColor kGuideColour(0, 204, 143, 220);
const QColor kBandColour(0, 204, 143, 48);
} // namespace

KSIdGuideView::KSIdGuideView(QWidget *canvasArea) : QWidget(canvasArea)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(canvasArea->rect());
    canvasArea->installEventFilter(this);
}

void KSIdGuideView::setGuide(const KSIdPhotoRule &rule, const QSizeF &printSizeMm, const QSizeF &backgroundSize)
{
    m_rule = rule;
    m_printSizeMm = printSizeMm;
    m_backgroundSize = backgroundSize;
    raise();
    update();
}

bool KSIdGuideView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void KSIdGuideView::paintEvent(QPaintEvent *)
{
    const QRectF frame = KSEditGeometry::maskFrame(QSizeF(size()), m_backgroundSize);
    if (frame.isEmpty())
        return;
    const KSFramingGeometry::IdGuide guide = KSFramingGeometry::idGuide(m_rule, m_printSizeMm);
    const auto at = [&frame](double share) { return frame.top() + share * frame.height(); };

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(frame.left(), at(guide.bandTop), frame.width(), at(guide.bandBottom) - at(guide.bandTop)),
                     kBandColour);
    QPen dashed(kGuideColour, 1.0, Qt::DashLine);
    painter.setPen(dashed);
    painter.drawLine(QPointF(frame.left(), at(guide.targetLine)), QPointF(frame.right(), at(guide.targetLine)));
    painter.setPen(QPen(kGuideColour, 1.5));
    painter.setBrush(Qt::NoBrush);
    const QRectF &oval = guide.headOval;
    painter.drawEllipse(QRectF(frame.left() + oval.x() * frame.width(), at(oval.y()), oval.width() * frame.width(),
                               oval.height() * frame.height()));
}
