#include "KSShareLib.h"

#include "KSAccountWindow.h"
#include "KSAppSetting.h"
#include "KSServiceConnection.h"

#include <QPointer>

namespace {
QPointer<KSAccountWindow> accountWindow;
} // namespace

void KSShareLib::setup()
{
    // The photo picker asks for an account through us.
    KSAppSetting::setSignInRequestHandler([] { showShareLoginOrVipInfoWindow(nullptr); });
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
