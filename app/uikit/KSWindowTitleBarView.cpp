#include "KSWindowTitleBarView.h"

#include "KSWindow.h"
#include "KSWindowButtonView.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kRightMargin = 8;
constexpr int kDefaultHeight = 44;
} // namespace

KSWindowTitleBarView::KSWindowTitleBarView(QWidget *parent)
    : QWidget(parent)
    , m_windowControlBtn(new KSWindowButtonView(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    placeWindowButtons();
}

void KSWindowTitleBarView::setBgColor(const QColor &color)
{
    m_bgColor = color;
    update();
}

void KSWindowTitleBarView::setBottomLineColor(const QColor &color)
{
    m_bottomLine = color;
    update();
}

int KSWindowTitleBarView::reservedRightWidth() const
{
    return m_windowControlBtn->sizeHint().width() + 2 * kRightMargin;
}

QSize KSWindowTitleBarView::sizeHint() const
{
    return QSize(400, kDefaultHeight);
}

void KSWindowTitleBarView::placeWindowButtons()
{
    if (layout() && layout()->indexOf(m_windowControlBtn) >= 0)
        return;
    const QSize size = m_windowControlBtn->sizeHint();
    m_windowControlBtn->setGeometry(width() - kRightMargin - size.width(), (height() - size.height()) / 2,
                                    size.width(), size.height());
    m_windowControlBtn->raise();
}

void KSWindowTitleBarView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeWindowButtons();
}

void KSWindowTitleBarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_bgColor.isValid())
        painter.fillRect(rect(), m_bgColor);
    if (m_bottomLine.isValid())
        painter.fillRect(QRect(0, height() - 1, width(), 1), m_bottomLine);
}

void KSWindowTitleBarView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    if (auto *frame = qobject_cast<KSWindow *>(window()))
        frame->winButtonActionForZoom();
}
