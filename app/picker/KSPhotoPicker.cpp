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
#include <QMessageBox>
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

// Says over the dialog why a name was refused, without closing it: the
// dialog is application-modal, so a notice elsewhere could not be answered.
void showRefusal(QFileDialog &dialog, const QString &path)
{
    CommLog::I(QStringLiteral("photo picker: %1 is no supported picture type").arg(path));
    auto *box = new QMessageBox(QMessageBox::Warning, CommLang::GetAppLang(QStringLiteral("NotAPhotoTitle")),
                                CommLang::GetAppLang(QStringLiteral("NotAPhotoType"))
                                    .arg(QFileInfo(path).fileName(), KSPictureLimits::photoFormatNames()),
                                QMessageBox::NoButton, &dialog);
    box->setObjectName(QStringLiteral("refusalBox"));
    box->addButton(CommLang::GetAppLang(QStringLiteral("OK")), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// A refused name for a file, none for a folder (which the dialog opens)
// or a picture of a type Cutora reads.
bool refuses(const QString &path)
{
    return !path.isEmpty() && !QFileInfo(path).isDir() && !KSPhotoPicker::isAllowedPhoto(path);
}

// The open dialog refuses a typed-in name of another type (its filter does
// not) and stays open for another choice.
class PhotoFileDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && refuses(files.constFirst())) {
            showRefusal(*this, files.constFirst());
            return;
        }
        QFileDialog::accept();
    }
};

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
    runPhotoDialog(false, [callback = std::move(callback)](const QStringList &paths) {
        if (callback)
            callback(paths.constFirst());
    });
}

void KSPhotoPicker::selectPhotos(std::function<void(const QStringList &paths)> callback)
{
    runPhotoDialog(true, std::move(callback));
}

void KSPhotoPicker::runPhotoDialog(bool several, std::function<void(const QStringList &paths)> callback)
{
    if (!CommPassport::isLogged()) {
        // Signed in from here, the user still wants the photo.
        whenSignedIn([several, callback] { runPhotoDialog(several, callback); });
        return;
    }

    PhotoFileDialog dialog(QApplication::activeWindow());
    dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(photoNameFilter());
    dialog.setDirectory(photoDirectory());
    dialog.setWindowModality(Qt::ApplicationModal);

    // A platform's own dialog closes on any name: the refusal is said over
    // the dialog shown again, until a photo is chosen or the user cancels.
    QStringList paths;
    for (;;) {
        if (photoDialogRunner())
            paths = photoDialogRunner()(dialog);
        else if (dialog.exec() == QDialog::Accepted)
            paths = dialog.selectedFiles();
        if (paths.isEmpty())
            return;
        const QString &path = paths.constFirst();
        if (paths.size() > 1 || !refuses(path))
            break;
        dialog.setDirectory(QFileInfo(path).absolutePath());
        // Once the dialog is back, so that the message lies over it.
        QTimer::singleShot(0, &dialog, [&dialog, path] { showRefusal(dialog, path); });
    }
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kLastPhotoDir, QFileInfo(paths.constFirst()).absolutePath());
    // The dialog's loop has ended; the rest runs from the event loop.
    QTimer::singleShot(0, qApp, [paths, callback = std::move(callback)] {
        for (const QString &path : paths)
            KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(path);
        if (callback)
            callback(paths);
    });
}
