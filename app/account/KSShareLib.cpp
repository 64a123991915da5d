#include "KSShareLib.h"

#include "KSAccountWindow.h"
#include "CommPassport.h"
#include "KSPhotoPicker.h"
#include "KSServiceConnection.h"

#include <QApplication>
#include <QPointer>

#include <functional>
#include <utility>

namespace {
QPointer<KSAccountWindow> accountWindow;
// What the user was doing when the sign-in was asked for; only the latest
// request goes on, and only when the account window closes signed in.
std::function<void()> pendingAfterSignIn;
} // namespace

void KSShareLib::setup()
{
    // The photo picker asks for an account through us.
    KSPhotoPicker::setSignInRequestHandler([](std::function<void()> signedIn) {
        pendingAfterSignIn = std::move(signedIn);
        KSAccountWindow *window = showShareLoginOrVipInfoWindow(nullptr);
        QObject::connect(window, &QObject::destroyed, qApp, [] {
            std::function<void()> next = std::exchange(pendingAfterSignIn, {});
            if (next && CommPassport::isLogged())
                next();
        }, Qt::UniqueConnection);
    });
    KSServiceConnection::defaultConnection()->start();
}

KSAccountWindow *KSShareLib::showShareLoginOrVipInfoWindow(QWidget *window)
{
    if (!accountWindow)
        accountWindow = new KSAccountWindow(window ? window : KSDialogWindow::registeredWindow());
    accountWindow->refresh();
    accountWindow->present();
    return accountWindow;
}
