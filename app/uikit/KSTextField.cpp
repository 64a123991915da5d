#include "KSTextField.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
// Room beside the glyphs, so that a title measured to fit is never clipped
// by rounding or by the label's own drawing.
constexpr int kHorizontalPadding = 4;
}

KSTextField::KSTextField(QWidget *parent)
    : QLabel(parent)
{
}

QSize KSTextField::sizeThatFits(const QSize &bounds) const
{
    if (text().isEmpty() || bounds.width() <= 0 || bounds.height() <= 0)
        return QSize(0, 0);

    const QFontMetricsF metrics(font());
    const double lineWidth = std::ceil(metrics.horizontalAdvance(text())) + kHorizontalPadding;
    const int lineHeight = int(std::ceil(metrics.height()));
    if (lineWidth <= bounds.width())
        return QSize(int(lineWidth), std::min(lineHeight, bounds.height()));

    const int wrapWidth = std::max(1, bounds.width() - kHorizontalPadding);
    const QRectF wrapped = metrics.boundingRect(QRectF(0, 0, wrapWidth, 1e6),
                                                Qt::TextWordWrap | Qt::AlignLeft, text());
    return QSize(std::min(int(std::ceil(wrapped.width())) + kHorizontalPadding, bounds.width()),
                 std::min(int(std::ceil(wrapped.height())), bounds.height()));
}

void KSTextField::setTextColor(const QColor &color)
{
    if (m_textColor == color)
        return;
    m_textColor = color;
    update();
}

void KSTextField::paintEvent(QPaintEvent *event)
{
    if (!m_textColor.isValid() || textFormat() == Qt::RichText)
        return QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setPen(m_textColor);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const int flags = int(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    painter.drawText(area, flags, text());
}
