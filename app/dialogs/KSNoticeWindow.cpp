#include "KSNoticeWindow.h"

#include "CommLang.h"
#include "KSHoverButton.h"
#include "KSNotificationCenter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kTextWidth = 380;
} // namespace

KSNoticeWindow::KSNoticeWindow(const KSNotice &notice, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
{
    setDialogTitle(notice.title.isEmpty() ? CommLang::GetAppLang(QStringLiteral("Tip")) : notice.title);

    QLabel *message = makeTextLabel(notice.message, 13, 0x333333);
    message->setObjectName(QStringLiteral("messageLabel"));
    message->setFixedWidth(kTextWidth);
    contentLayout()->addWidget(message);

    auto *buttons = new QHBoxLayout;
    if (!notice.detail.isEmpty()) {
        QLabel *detail = makeTextLabel(notice.detail, 12, 0x666666);
        detail->setObjectName(QStringLiteral("detailLabel"));
        detail->setFixedWidth(kTextWidth);
        detail->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        contentLayout()->addWidget(detail);
        const QString text = notice.detail;
        buttons->addWidget(wire(makeNeutralButton(CommLang::GetAppLang(QStringLiteral("Copy"))),
                                QStringLiteral("copyBtn"),
                                [text] { QGuiApplication::clipboard()->setText(text); }));
    }
    buttons->addStretch(1);
    KSHoverButton *ok = wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("OK"))), QStringLiteral("okBtn"),
                             [this] { close(); });
    buttons->addWidget(ok);
    contentLayout()->addSpacing(4);
    contentLayout()->addLayout(buttons);
}

void KSNoticeWindow::observeNotices(QObject *owner)
{
    KSNotificationCenter::defaultCenter()->observe(KSNotice::kNotificationShowNotice, owner,
                                                   [](const QVariant &object) {
                                                       showNotice(KSNotice::fromVariant(object));
                                                   });
}

KSNoticeWindow *KSNoticeWindow::showNotice(const KSNotice &notice)
{
    auto *window = new KSNoticeWindow(notice, registeredWindow());
    window->present();
    return window;
}
