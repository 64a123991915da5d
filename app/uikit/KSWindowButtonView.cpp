#include "KSWindowButtonView.h"

#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSWindow.h"

#include <QEvent>
#include <QHBoxLayout>

namespace {
constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 30;

KSHoverButton *makeButton(QWidget *parent, const QString &picture, const QString &tip)
{
    auto *button = new KSHoverButton(parent);
    button->setImage(KSImageNamed(picture + QStringLiteral("Normal")));
    button->setHoverImage(KSImageNamed(picture + QStringLiteral("Hover")));
    button->setBackgroundHoverColor(QColor::fromRgb(0xF3F3F3u));
    button->setBackgroundDownColor(QColor::fromRgb(0xD4D4D4u));
    button->setBorderRadius(4);
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}
} // namespace

KSWindowButtonView::KSWindowButtonView(QWidget *parent)
    : QWidget(parent)
{
    m_minimize = makeButton(this, QStringLiteral("windowMinimize"), tr("Minimize"));
    m_zoom = makeButton(this, QStringLiteral("windowZoom"), tr("Maximize"));
    m_close = makeButton(this, QStringLiteral("windowClose"), tr("Close"));
    // Close turns red on hover, as on every desktop: the one button that loses work.
    m_close->setBackgroundHoverColor(QColor::fromRgb(0xE5484Du));
    m_close->setBackgroundDownColor(QColor::fromRgb(0xC93A3Fu));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_minimize);
    layout->addWidget(m_zoom);
    layout->addWidget(m_close);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(sizeHint());

    m_minimize->setAction([this](KSHoverButton *) { actionForMinimize(); });
    m_zoom->setAction([this](KSHoverButton *) { actionForZoom(); });
    m_close->setAction([this](KSHoverButton *) { actionForClose(); });
}

QSize KSWindowButtonView::sizeHint() const
{
    return QSize(3 * kButtonWidth + 2 * 2, kButtonHeight);
}

void KSWindowButtonView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The zoom picture follows the window's maximized state.
    if (m_watchedWindow != window()) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = window();
        m_watchedWindow->installEventFilter(this);
    }
    updateZoomPictures();
}

bool KSWindowButtonView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::WindowStateChange)
        updateZoomPictures();
    return QWidget::eventFilter(watched, event);
}

void KSWindowButtonView::updateZoomPictures()
{
    const bool zoomed = window()->isMaximized() || window()->isFullScreen();
    const QString picture = zoomed ? QStringLiteral("windowRestore") : QStringLiteral("windowZoom");
    m_zoom->setImage(KSImageNamed(picture + QStringLiteral("Normal")));
    m_zoom->setHoverImage(KSImageNamed(picture + QStringLiteral("Hover")));
    m_zoom->setToolTip(zoomed ? tr("Restore") : tr("Maximize"));
}

void KSWindowButtonView::actionForClose()
{
    if (auto *frame = qobject_cast<KSWindow *>(window()))
        frame->winButtonActionForClose();
    else
        window()->close();
}

void KSWindowButtonView::actionForMinimize()
{
    if (auto *frame = qobject_cast<KSWindow *>(window()))
        frame->winButtonActionForMinimize();
    else
        window()->showMinimized();
}

void KSWindowButtonView::actionForZoom()
{
    if (auto *frame = qobject_cast<KSWindow *>(window()))
        frame->winButtonActionForZoom();
    else if (window()->isMaximized())
        window()->showNormal();
    else
        window()->showMaximized();
}
