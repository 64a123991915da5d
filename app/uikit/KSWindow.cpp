#include "KSWindow.h"

#include "KSWindowTitleBarView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace {
const QColor kFrameColor = QColor::fromRgb(0xD1D1D1u);
constexpr int kFrameWidth = 1;
// Grip for resizing; wider than the visible frame so that it can be hit.
constexpr int kResizeMargin = 5;

Qt::CursorShape cursorFor(Qt::Edges edges)
{
    const bool left = edges & Qt::LeftEdge, right = edges & Qt::RightEdge;
    const bool top = edges & Qt::TopEdge, bottom = edges & Qt::BottomEdge;
    if ((left && top) || (right && bottom))
        return Qt::SizeFDiagCursor;
    if ((right && top) || (left && bottom))
        return Qt::SizeBDiagCursor;
    if (left || right)
        return Qt::SizeHorCursor;
    return Qt::SizeVerCursor;
}
} // namespace

KSWindow::KSWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setSpacing(0);
    updateFrameMargins();
}

KSWindow::~KSWindow() = default;

void KSWindow::setTitleBar(KSWindowTitleBarView *titleBar)
{
    if (titleBar == m_titleBar)
        return;
    delete m_titleBar;
    m_titleBar = titleBar;
    if (titleBar)
        m_layout->insertWidget(0, titleBar);
}

void KSWindow::setContentView(QWidget *view)
{
    if (view == m_contentView)
        return;
    delete m_contentView;
    m_contentView = view;
    if (view)
        m_layout->addWidget(view, 1);
}

void KSWindow::setMovableByWindowBackground(bool movable)
{
    m_movable = movable;
}

void KSWindow::setBackgroundColor(const QColor &color)
{
    m_background = color;
    update();
}

void KSWindow::centerOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void KSWindow::winButtonActionForClose()
{
    close();
}

void KSWindow::winButtonActionForMinimize()
{
    showMinimized();
}

void KSWindow::winButtonActionForZoom()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void KSWindow::updateFrameMargins()
{
    const int margin = (isMaximized() || isFullScreen()) ? 0 : kFrameWidth;
    m_layout->setContentsMargins(margin, margin, margin, margin);
}

void KSWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        updateFrameMargins();
        update();
    }
}

void KSWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (!isMaximized() && !isFullScreen()) {
        painter.setPen(kFrameColor);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void KSWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The window's own handle sees every pointer move, even over children
    // that do not track the mouse: that is where the edges are watched.
    if (!m_filterInstalled && windowHandle()) {
        windowHandle()->installEventFilter(this);
        m_filterInstalled = true;
    }
}

Qt::Edges KSWindow::resizeEdgesAt(const QPoint &pos) const
{
    Qt::Edges edges;
    if (isMaximized() || isFullScreen() || minimumSize() == maximumSize())
        return edges;
    if (pos.x() < kResizeMargin)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kResizeMargin)
        edges |= Qt::RightEdge;
    if (pos.y() < kResizeMargin)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kResizeMargin)
        edges |= Qt::BottomEdge;
    return edges;
}

bool KSWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && handleResizeEvent(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool KSWindow::handleResizeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_resizeEdges) {
            const QPoint delta = mouse->globalPosition().toPoint() - m_resizeStartGlobal;
            QRect frame = m_resizeStartGeometry;
            const QSize minimum = minimumSize().expandedTo(QSize(1, 1));
            if (m_resizeEdges & Qt::LeftEdge)
                frame.setLeft(std::min(frame.left() + delta.x(), frame.right() + 1 - minimum.width()));
            if (m_resizeEdges & Qt::RightEdge)
                frame.setRight(std::max(frame.right() + delta.x(), frame.left() + minimum.width() - 1));
            if (m_resizeEdges & Qt::TopEdge)
                frame.setTop(std::min(frame.top() + delta.y(), frame.bottom() + 1 - minimum.height()));
            if (m_resizeEdges & Qt::BottomEdge)
                frame.setBottom(std::max(frame.bottom() + delta.y(), frame.top() + minimum.height() - 1));
            setGeometry(frame);
            return true;
        }
        if (mouse->buttons() != Qt::NoButton)
            return false;
        const Qt::Edges edges = resizeEdgesAt(mouse->position().toPoint());
        if (edges) {
            setCursor(cursorFor(edges));
            m_cursorSet = true;
        } else if (m_cursorSet) {
            unsetCursor();
            m_cursorSet = false;
        }
        return false;
    }
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const Qt::Edges edges = resizeEdgesAt(mouse->position().toPoint());
        if (mouse->button() != Qt::LeftButton || !edges)
            return false;
        if (windowHandle()->startSystemResize(edges))
            return true;
        m_resizeEdges = edges;
        m_resizeStartGeometry = geometry();
        m_resizeStartGlobal = mouse->globalPosition().toPoint();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (m_resizeEdges) {
            m_resizeEdges = {};
            return true;
        }
        return false;
    case QEvent::Leave:
        if (m_cursorSet && !m_resizeEdges) {
            unsetCursor();
            m_cursorSet = false;
        }
        return false;
    default:
        return false;
    }
}

void KSWindow::mousePressEvent(QMouseEvent *event)
{
    // Presses that no child took reach the window: its background.
    if (!m_movable || event->button() != Qt::LeftButton || isMaximized() || isFullScreen())
        return QWidget::mousePressEvent(event);
    m_movePending = true;
    m_moving = false;
    m_pressGlobal = event->globalPosition().toPoint();
    m_pressWindowPos = pos();
    event->accept();
}

void KSWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_movePending || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    const QPoint delta = event->globalPosition().toPoint() - m_pressGlobal;
    if (!m_moving) {
        // Wait for a real drag, so that clicks and double clicks stay clicks.
        if (delta.manhattanLength() < QApplication::startDragDistance())
            return;
        m_moving = true;
        // The window system moves the window where it can (and must, on
        // Wayland); it then owns the drag and we see no more moves.
        if (windowHandle() && windowHandle()->startSystemMove()) {
            m_movePending = m_moving = false;
            return;
        }
    }
    move(m_pressWindowPos + delta);
}

void KSWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_movePending)
        return QWidget::mouseReleaseEvent(event);
    m_movePending = m_moving = false;
    event->accept();
}
