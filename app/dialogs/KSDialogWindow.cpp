#include "KSDialogWindow.h"

#include "KSColorConst.h"
#include "KSCommonUtils.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSTextStyle.h"
#include "KSWindowButtonView.h"
#include "KSWindowTitleBarView.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace {
constexpr int kTitleBarHeight = 40;
constexpr int kMargin = 24;

KSHoverButton *makeButton(const QString &title, QWidget *parent)
{
    auto *button = new KSHoverButton(parent);
    button->setTitle(title);
    button->setTitleFont(KSTextStyle::systemFont(12));
    button->setBorderRadius(4);
    button->setMinimumSize(96, 30);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
} // namespace

KSDialogWindow::KSDialogWindow(QWidget *parentWindow)
    : KSWindow(parentWindow ? parentWindow->window() : nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(parentWindow ? Qt::WindowModal : Qt::NonModal);
    setMovableByWindowBackground(true);

    auto *titleBar = new KSWindowTitleBarView;
    titleBar->setFixedHeight(kTitleBarHeight);
    titleBar->setBottomLineColor(KSRGBHexColor(0xDDDDDD));
    // Only a close button: these windows are neither minimized nor zoomed.
    titleBar->windowControlBtn()->hide();
    auto *barLayout = new QHBoxLayout(titleBar);
    barLayout->setContentsMargins(16, 0, 8, 0);
    m_titleLabel = new QLabel(titleBar);
    KSTextStyle::apply(m_titleLabel, KSRGBHexColor(0x333333), 14, QFont::DemiBold);
    barLayout->addWidget(m_titleLabel, 1);
    auto *closeBtn = new KSHoverButton(titleBar);
    closeBtn->setObjectName(QStringLiteral("dialogCloseBtn"));
    closeBtn->setImage(KSImageNamed(QStringLiteral("windowCloseNormal")));
    closeBtn->setHoverImage(KSImageNamed(QStringLiteral("windowCloseHover")));
    closeBtn->setBackgroundHoverColor(KSRGBHexColor(0xE5484D));
    closeBtn->setBorderRadius(4);
    closeBtn->setFixedSize(32, 28);
    closeBtn->setTarget(this);
    closeBtn->setAction([this](KSHoverButton *) { close(); });
    barLayout->addWidget(closeBtn);
    setTitleBar(titleBar);

    auto *content = new QWidget;
    m_contentLayout = new QVBoxLayout(content);
    m_contentLayout->setContentsMargins(kMargin, kMargin - 4, kMargin, kMargin);
    m_contentLayout->setSpacing(12);
    setContentView(content);
}

void KSDialogWindow::setDialogTitle(const QString &title)
{
    m_titleLabel->setText(title);
    setWindowTitle(title);
}

void KSDialogWindow::present()
{
    adjustSize();
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect frame = geometry();
    if (owner && owner->isVisible()) {
        frame.moveCenter(owner->geometry().center());
        move(frame.topLeft());
    } else {
        centerOnScreen();
    }
    show();
    raise();
    activateWindow();
}

KSHoverButton *KSDialogWindow::makePrimaryButton(const QString &title, QWidget *parent)
{
    KSHoverButton *button = makeButton(title, parent);
    button->setTitleColor(Qt::white);
    button->setBackgroundColor(KSRGBHexColor(0x00CC8F));
    button->setBackgroundHoverColor(KSRGBHexColor(0x00B17C));
    return button;
}

KSHoverButton *KSDialogWindow::makeNeutralButton(const QString &title, QWidget *parent)
{
    KSHoverButton *button = makeButton(title, parent);
    button->setTitleColor(KSRGBHexColor(0x333333));
    button->setBackgroundColor(KSRGBHexColor(0xF3F3F3));
    button->setBackgroundHoverColor(KSRGBHexColor(0xD4D4D4));
    return button;
}

KSHoverButton *KSDialogWindow::wire(KSHoverButton *button, const QString &objectName, std::function<void()> action)
{
    button->setObjectName(objectName);
    button->setTarget(this);
    button->setAction([action = std::move(action)](KSHoverButton *) { action(); });
    return button;
}

QLineEdit *KSDialogWindow::makeLineEdit(const QString &objectName, const QString &placeholder)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setPlaceholderText(placeholder);
    styleTextInput(edit);
    return edit;
}

void KSDialogWindow::styleTextInput(QWidget *input)
{
    input->setFont(KSTextStyle::systemFont(13));
    input->setStyleSheet(QStringLiteral(
        "QLineEdit, QPlainTextEdit { border: 1px solid #DDDDDD; border-radius: 2px; padding: 4px 6px;"
        " background: white; color: #333333; selection-background-color: #00CC8F; }"
        " QLineEdit:focus, QPlainTextEdit:focus { border-color: #00CC8F; }"));
    input->setMinimumHeight(30);
}

QLabel *KSDialogWindow::makeTextLabel(const QString &text, int points, qint64 hexColor, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    KSTextStyle::apply(label, KSRGBHexColor(hexColor), points);
    return label;
}

QWidget *KSDialogWindow::registeredWindow()
{
    return qobject_cast<QWidget *>(KSCommonUtils::parentWindow().data());
}

void KSDialogWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    KSWindow::keyPressEvent(event);
}
