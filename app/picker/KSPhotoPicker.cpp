#include "KSPhotoPicker.h"

#include "CommLang.h"
#include "CommLog.h"
#include "CommPassport.h"
#include "KSAppSetting.h"
#include "KSBookmark.h"
#include "KSNotice.h"
#include "KSPictureLimits.h"
#include "KSUserDefaultKit.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

namespace {
KSPhotoPicker::SignInRequestHandler &signInRequestHandler()
{
    static KSPhotoPicker::SignInRequestHandler handler;
    return handler;
}

KSPhotoPicker::PhotoDialogRunner &photoDialogRunner()
{
    static KSPhotoPicker::PhotoDialogRunner runner;
    return runner;
}

QString photoNameFilter()
{
    QStringList patterns;
    for (const QString &extension : KSPhotoPicker::allowedPhotoExtensions())
        patterns << QStringLiteral("*.") + extension << QStringLiteral("*.") + extension.toUpper();
    return QStringLiteral("Images (%1)").arg(patterns.join(u' '));
}

} // namespace

const QStringList &KSPhotoPicker::allowedPhotoExtensions()
{
    // The command line names the same list.
    return KSPictureLimits::photoExtensions();
}

bool KSPhotoPicker::isAllowedPhoto(const QString &path)
{
    return allowedPhotoExtensions().contains(QFileInfo(path).suffix().toLower());
}

void KSPhotoPicker::setSignInRequestHandler(SignInRequestHandler handler)
{
    signInRequestHandler() = std::move(handler);
}

void KSPhotoPicker::setPhotoDialogRunner(PhotoDialogRunner runner)
{
    photoDialogRunner() = std::move(runner);
}

void KSPhotoPicker::whenSignedIn(std::function<void()> then)
{
    if (CommPassport::isLogged()) {
        if (then)
            then();
        return;
    }
    if (signInRequestHandler())
        signInRequestHandler()(std::move(then));
    else
        CommLog::I(QStringLiteral("photo picker: nobody is signed in"));
}

QString KSPhotoPicker::photoDirectory()
{
    const QString last = KSUserDefaultKit::getFromUserDefaults_NSString(KSAppSetting::kLastPhotoDir);
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    // Not every home has a pictures folder; the dialog would open anywhere.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

void KSPhotoPicker::selectPhoto(std::function<void(const QString &path)> callback)
{
    if (!CommPassport::isLogged()) {
        // Signed in from here, the user still wants the photo.
        whenSignedIn([callback] { selectPhoto(callback); });
        return;
    }

    QFileDialog dialog(QApplication::activeWindow());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(photoNameFilter());
    dialog.setDirectory(photoDirectory());
    dialog.setWindowModality(Qt::ApplicationModal);

    QStringList chosen;
    if (photoDialogRunner())
        chosen = photoDialogRunner()(dialog);
    else if (dialog.exec() == QDialog::Accepted)
        chosen = dialog.selectedFiles();

    if (chosen.isEmpty())
        return;
    const QString path = chosen.constFirst();
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kLastPhotoDir, QFileInfo(path).absolutePath());
    // A typed-in name passes the dialog's filter; other types are refused
    // here, and the user hears why nothing follows.
    if (!isAllowedPhoto(path)) {
        CommLog::I(QStringLiteral("photo picker: %1 is no supported picture type").arg(path));
        KSNotice::post({CommLang::GetAppLang(QStringLiteral("NotAPhotoTitle")),
                        CommLang::GetAppLang(QStringLiteral("NotAPhotoType")).arg(QFileInfo(path).fileName()),
                        {}});
        return;
    }
    // The dialog's loop has ended; the rest runs from the event loop.
    QTimer::singleShot(0, qApp, [path, callback = std::move(callback)] {
        KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(path);
        if (callback)
            callback(path);
    });
}
