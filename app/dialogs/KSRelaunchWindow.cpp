#include "KSRelaunchWindow.h"

#include "CommLang.h"
#include "KSHoverButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

namespace {
QPointer<KSRelaunchWindow> openWindow;
} // namespace

KSRelaunchWindow::KSRelaunchWindow(std::function<void()> relaunch, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
    , m_relaunch(std::move(relaunch))
{
    setDialogTitle(CommLang::GetAppLang(QStringLiteral("RelaunchTitle")));
    QLabel *message = makeTextLabel(CommLang::GetAppLang(QStringLiteral("RelaunchTips")), 13, 0x333333);
    message->setObjectName(QStringLiteral("messageLabel"));
    message->setFixedWidth(360);
    contentLayout()->addWidget(message);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(wire(makeNeutralButton(CommLang::GetAppLang(QStringLiteral("Later"))),
                            QStringLiteral("laterBtn"), [this] { close(); }));
    KSHoverButton *restart = wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("RestartNow"))),
                                  QStringLiteral("restartBtn"), [this] {
                                      close();
                                      if (m_relaunch)
                                          m_relaunch();
                                  });
    buttons->addWidget(restart);
    contentLayout()->addSpacing(8);
    contentLayout()->addLayout(buttons);
}

KSRelaunchWindow *KSRelaunchWindow::offerRelaunch(std::function<void()> relaunch)
{
    if (openWindow)
        openWindow->close();
    openWindow = new KSRelaunchWindow(std::move(relaunch), registeredWindow());
    openWindow->present();
    return openWindow;
}
