#include "KSShareLib.h"

#include "KSAccountWindow.h"
#include "CommPassport.h"
#include "KSPhotoPicker.h"
#include "KSServiceConnection.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <utility>

namespace {
QPointer<KSAccountWindow> accountWindow;
// The account window whose closing is watched for a pending request.
QPointer<KSAccountWindow> watchedWindow;
// What the user was doing when the sign-in was asked for; only the latest
// request goes on, and only when the account window closes signed in.
std::function<void()> pendingAfterSignIn;

void goOnAfterSignIn()
{
    std::function<void()> next = std::exchange(pendingAfterSignIn, {});
    if (next && CommPassport::isLogged())
        next();
}
} // namespace

void KSShareLib::setup()
{
    // The photo picker asks for an account through us.
    KSPhotoPicker::setSignInRequestHandler([](std::function<void()> signedIn) {
        pendingAfterSignIn = std::move(signedIn);
        KSAccountWindow *window = showShareLoginOrVipInfoWindow(nullptr);
        if (watchedWindow == window)
            return;
        watchedWindow = window;
        // Once the window is gone, from the event loop: what follows (a
        // modal file dialog) must not run inside the window's deletion.
        QObject::connect(window, &QObject::destroyed, qApp,
                         [] { QTimer::singleShot(0, qApp, &goOnAfterSignIn); });
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
