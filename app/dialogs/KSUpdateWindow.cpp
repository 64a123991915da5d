#include "KSUpdateWindow.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSHoverButton.h"
#include "ToolFile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {
QPointer<KSUpdateWindow> openWindow;
} // namespace

KSUpdateWindow::KSUpdateWindow(const CommUpdateResult &result, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
{
    const bool available = result.state == CommUpdateResult::State::UpdateAvailable;
    setDialogTitle(CommLang::GetAppLang(available ? QStringLiteral("UpdateAvailableTitle")
                                                  : QStringLiteral("Update")));

    QLabel *message = makeTextLabel(messageFor(result), 13, 0x333333);
    message->setObjectName(QStringLiteral("messageLabel"));
    message->setMinimumWidth(340);
    contentLayout()->addWidget(message);
    if (available && !result.notes.isEmpty())
        contentLayout()->addWidget(makeTextLabel(result.notes, 12, 0x666666));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    contentLayout()->addSpacing(8);
    contentLayout()->addLayout(buttons);
    if (available && result.downloadUrl.isValid()) {
        buttons->addWidget(wire(makeNeutralButton(CommLang::GetAppLang(QStringLiteral("Later"))),
                                QStringLiteral("laterBtn"), [this] { close(); }));
        const QUrl url = result.downloadUrl;
        buttons->addWidget(wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("Download"))),
                                QStringLiteral("downloadBtn"), [this, url] {
            if (!ToolFile::openFileAtURL(url))
                CommLog::E(QStringLiteral("cannot open the download address ") + url.toString());
            close();
        }));
    } else {
        buttons->addWidget(wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("OK"))),
                                QStringLiteral("okBtn"), [this] { close(); }));
    }
}

QString KSUpdateWindow::messageFor(const CommUpdateResult &result)
{
    switch (result.state) {
    case CommUpdateResult::State::UpdateAvailable:
        return CommLang::GetAppLang(QStringLiteral("UpdateVersionInfo"))
            .arg(result.latestVersion, result.runningVersion);
    case CommUpdateResult::State::UpToDate:
        return CommLang::GetAppLang(QStringLiteral("UpToDateInfo")).arg(result.runningVersion);
    case CommUpdateResult::State::Failed:
        break;
    }
    return CommLang::GetAppLang(QStringLiteral("UpdateFailedInfo"));
}

KSUpdateWindow *KSUpdateWindow::showResult(const CommUpdateResult &result)
{
    if (openWindow)
        openWindow->close();
    openWindow = new KSUpdateWindow(result, registeredWindow());
    openWindow->present();
    return openWindow;
}

void KSUpdateWindow::installPresenter()
{
    // CommUpdate calls this on the GUI thread.
    CommUpdate::setPresenter([](const CommUpdateResult &result, bool) { showResult(result); });
}
