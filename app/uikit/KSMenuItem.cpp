#include "KSMenuItem.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
const QColor kDefaultTitleColor = QColor::fromRgb(0x333333u);
constexpr int kPadding = 16;
// Every row keeps a picture column of this width before its title; the
// menu's icon-to-title offset moves the title against the column's end,
// so a negative offset of the same size gives menus without pictures.
constexpr int kIconColumn = 30;
} // namespace

KSMenuItem::KSMenuItem(QWidget *parent)
    : QWidget(parent)
    , m_titleColor(kDefaultTitleColor)
{
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

KSMenuItem *KSMenuItem::NewMenuItem()
{
    return new KSMenuItem;
}

void KSMenuItem::setTitle(const QString &title)
{
    m_title = title;
    setAccessibleName(title);
    update();
}

void KSMenuItem::setImage(const QPixmap &image) { m_image = image; update(); }
void KSMenuItem::setTitleColor(const QColor &color) { m_titleColor = color; update(); }
void KSMenuItem::setTitleHoverColor(const QColor &color) { m_titleHoverColor = color; update(); }
void KSMenuItem::setTitleDownColor(const QColor &color) { m_titleDownColor = color; update(); }
void KSMenuItem::setHoverBackgroundColor(const QColor &color) { m_hoverBackground = color; update(); }

void KSMenuItem::setTarget(QObject *target)
{
    m_targetAction.setTarget(target);
}

void KSMenuItem::setAction(Action action)
{
    m_targetAction.setAction(std::move(action));
}

void KSMenuItem::setIconTitleOffset(double offset)
{
    m_iconTitleOffset = offset;
    update();
}

void KSMenuItem::sendAction()
{
    m_targetAction.send(this);
}

double KSMenuItem::titleX() const
{
    return std::max(double(kPadding), kPadding + kIconColumn + m_iconTitleOffset);
}

int KSMenuItem::naturalWidth() const
{
    const QFontMetricsF metrics(font());
    return int(std::ceil(titleX() + metrics.horizontalAdvance(m_title))) + kPadding;
}

void KSMenuItem::setHovered(bool hover)
{
    if (m_hover == hover)
        return;
    m_hover = hover;
    if (!hover)
        m_down = false;
    update();
}

void KSMenuItem::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_hover && m_hoverBackground.isValid())
        painter.fillRect(rect(), m_hoverBackground);

    if (!m_image.isNull()) {
        const QSizeF size = m_image.deviceIndependentSize();
        const QPointF origin(kPadding + (kIconColumn - size.width()) / 2.0, (height() - size.height()) / 2.0);
        painter.drawPixmap(QRectF(origin, size), m_image, QRectF(m_image.rect()));
    }

    QColor color = m_titleColor;
    if (m_down && m_titleDownColor.isValid())
        color = m_titleDownColor;
    else if ((m_hover || m_down) && m_titleHoverColor.isValid())
        color = m_titleHoverColor;
    painter.setPen(color);
    const QRectF textRect(titleX(), 0, std::max(0.0, width() - titleX() - kPadding / 2.0), height());
    const QString text = QFontMetrics(font()).elidedText(m_title, Qt::ElideRight, int(textRect.width()));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
}

void KSMenuItem::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    // Only one row of a menu is highlighted, whether by pointer or keys.
    if (parentWidget()) {
        for (KSMenuItem *sibling : parentWidget()->findChildren<KSMenuItem *>(Qt::FindDirectChildrenOnly))
            sibling->setHovered(sibling == this);
    }
    setHovered(true);
}

void KSMenuItem::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    setHovered(false);
}

void KSMenuItem::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_down = true;
    update();
}

void KSMenuItem::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_down)
        return QWidget::mouseReleaseEvent(event);
    m_down = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit chosen(this);
}
