#include "KSPictureThumbView.h"

#include "KSColorConst.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr double kRadius = 6.0;
} // namespace

KSPictureThumbView::KSPictureThumbView(const QString &path, QWidget *parent) : QWidget(parent), m_path(path)
{
    setCursor(Qt::PointingHandCursor);
    setToolTip(QFileInfo(path).fileName());
}

void KSPictureThumbView::setThumbnail(const QImage &thumbnail)
{
    m_thumbnail = thumbnail;
    update();
}

void KSPictureThumbView::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

void KSPictureThumbView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double border = m_selected ? 2.0 : 1.0;
    const QRectF frame = QRectF(rect()).adjusted(border / 2, border / 2, -border / 2, -border / 2);
    QPainterPath clip;
    clip.addRoundedRect(frame, kRadius, kRadius);
    painter.save();
    painter.setClipPath(clip);
    if (m_thumbnail.isNull()) {
        painter.fillRect(frame, KSRGBHexColor(0xE6E6E6).toQColor());
    } else {
        // Cropped to fill the square, as the picture covers the frame.
        const QSizeF picture = m_thumbnail.size();
        const double scale = std::max(frame.width() / picture.width(), frame.height() / picture.height());
        const QSizeF shown = picture * scale;
        painter.drawImage(QRectF(frame.center() - QPointF(shown.width() / 2, shown.height() / 2), shown),
                          m_thumbnail);
    }
    painter.restore();
    const QColor line = m_selected || m_hovered ? KSRGBHexColor(0x00CC8F).toQColor() : KSRGBHexColor(0xDDDDDD).toQColor();
    painter.setPen(QPen(line, border));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, kRadius, kRadius);
}

void KSPictureThumbView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(m_path);
    QWidget::mouseReleaseEvent(event);
}

void KSPictureThumbView::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void KSPictureThumbView::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}
