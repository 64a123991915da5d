#include "KSMenu.h"

#include "KSMenuItem.h"
#include "KSPaintKit.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QColor kBorderColor = QColor::fromRgb(0xDDDDDDu);
constexpr int kVerticalPadding = 4;
constexpr int kMinimumWidth = 60;

bool joinsVertically(int direction)
{
    return direction != KSMenu::JoinLeft && direction != KSMenu::JoinRight;
}

int opposite(int direction)
{
    switch (direction) {
    case KSMenu::JoinAbove: return KSMenu::JoinBelow;
    case KSMenu::JoinLeft: return KSMenu::JoinRight;
    case KSMenu::JoinRight: return KSMenu::JoinLeft;
    default: return KSMenu::JoinAbove;
    }
}

// Start of a span of `length` lined up with [start, start + anchorLength).
int alignedStart(int start, int anchorLength, int length, int alignment)
{
    switch (alignment) {
    case KSMenu::AlignCenter: return start + (anchorLength - length) / 2;
    case KSMenu::AlignEnd: return start + anchorLength - length;
    default: return start;
    }
}

QRect placeAt(const QRect &anchor, const QSize &size, const QPoint &offset, int direction, int alignment)
{
    if (joinsVertically(direction)) {
        const int x = alignedStart(anchor.x(), anchor.width(), size.width(), alignment) - offset.x();
        const int y = direction == KSMenu::JoinAbove ? anchor.y() - size.height() - offset.y()
                                                     : anchor.y() + anchor.height() + offset.y();
        return QRect(QPoint(x, y), size);
    }
    const int y = alignedStart(anchor.y(), anchor.height(), size.height(), alignment) - offset.y();
    const int x = direction == KSMenu::JoinLeft ? anchor.x() - size.width() - offset.x()
                                                : anchor.x() + anchor.width() + offset.x();
    return QRect(QPoint(x, y), size);
}

bool fitsAlongJoin(const QRect &rect, const QRect &screen, int direction)
{
    if (joinsVertically(direction))
        return rect.top() >= screen.top() && rect.bottom() <= screen.bottom();
    return rect.left() >= screen.left() && rect.right() <= screen.right();
}

int pushInside(int start, int length, int screenStart, int screenLength)
{
    if (length >= screenLength)
        return screenStart;
    return std::clamp(start, screenStart, screenStart + screenLength - length);
}
} // namespace

KSMenu::KSMenu(QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
    , m_layout(new QVBoxLayout(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_itemFont = font();
    m_layout->setContentsMargins(1, kVerticalPadding, 1, kVerticalPadding);
    m_layout->setSpacing(0);
    relayout();
}

void KSMenu::setRadius(double radius)
{
    m_radius = std::max(0.0, radius);
    relayout();
}

void KSMenu::setRowHeight(int height)
{
    m_rowHeight = std::max(1, height);
    relayout();
}

void KSMenu::setBackgroundColor(const QColor &color)
{
    m_background = color;
    update();
}

void KSMenu::setItemFont(const QFont &font)
{
    m_itemFont = font;
    relayout();
}

void KSMenu::setXOffsetBetweenIconTitle(double offset)
{
    m_iconTitleOffset = offset;
    relayout();
}

void KSMenu::setMenuWidth(int width)
{
    m_fixedWidth = std::max(0, width);
    relayout();
}

void KSMenu::addItem(KSMenuItem *item)
{
    if (!item || m_items.contains(item))
        return;
    m_items.append(item);
    m_layout->addWidget(item);
    connect(item, &KSMenuItem::chosen, this, &KSMenu::choose);
    relayout();
}

void KSMenu::relayout()
{
    int width = kMinimumWidth;
    for (KSMenuItem *item : std::as_const(m_items)) {
        item->setFont(m_itemFont);
        item->setIconTitleOffset(m_iconTitleOffset);
        item->setFixedHeight(m_rowHeight);
        width = std::max(width, item->naturalWidth() + 2);
    }
    if (m_fixedWidth > 0)
        width = m_fixedWidth;
    resize(width, int(m_items.size()) * m_rowHeight + 2 * kVerticalPadding);
}

void KSMenu::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_radius <= 0.0) {
        clearMask();
        return;
    }
    // A mask rather than a translucent window: rounded corners then work on
    // every display server, with or without a compositor.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), m_radius, m_radius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void KSMenu::popMenuToView(QWidget *view, const QPoint &offset, int joinDirection)
{
    popMenuToView(view, offset, joinDirection, AlignStart);
}

void KSMenu::popMenuToView(QWidget *view, const QPoint &offset, int joinDirection, int alignment)
{
    if (!view)
        return;
    // Belong to the view's window, so an unchosen menu never outlives it.
    if (!parentWidget())
        setParent(view->window(), windowFlags());
    relayout();
    const QRect anchor(view->mapToGlobal(QPoint(0, 0)), view->size());
    const QScreen *screen = view->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    setGeometry(menuGeometry(anchor, size(), offset, joinDirection, alignment, available));
    show();
    raise();
}

QRect KSMenu::menuGeometry(const QRect &anchor, const QSize &menuSize, const QPoint &offset, int joinDirection,
                           int alignment, const QRect &screen)
{
    QRect rect = placeAt(anchor, menuSize, offset, joinDirection, alignment);
    if (!screen.isValid())
        return rect;
    if (!fitsAlongJoin(rect, screen, joinDirection)) {
        const QRect flipped = placeAt(anchor, menuSize, offset, opposite(joinDirection), alignment);
        if (fitsAlongJoin(flipped, screen, opposite(joinDirection)))
            rect = flipped;
    }
    rect.moveLeft(pushInside(rect.left(), rect.width(), screen.left(), screen.width()));
    rect.moveTop(pushInside(rect.top(), rect.height(), screen.top(), screen.height()));
    return rect;
}

void KSMenu::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    KSPaintKit::fillRoundedRect(painter, QRectF(rect()), m_radius, m_background, kBorderColor, 1.0);
}

void KSMenu::choose(KSMenuItem *item)
{
    // Close first: the action may open another window or menu.
    close();
    item->sendAction();
}

void KSMenu::moveHover(int step)
{
    if (m_items.isEmpty())
        return;
    int current = -1;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i)->isHovered())
            current = i;
    }
    const int count = int(m_items.size());
    const int next = current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    for (int i = 0; i < count; ++i)
        m_items.at(i)->setHovered(i == next);
}

void KSMenu::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Down:
        moveHover(1);
        return;
    case Qt::Key_Up:
        moveHover(-1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        for (KSMenuItem *item : std::as_const(m_items)) {
            if (item->isHovered())
                return choose(item);
        }
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
