#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;

// The photo picker of the home cards and the editor, and the sign-in it
// waits for. Main thread only.
class KSPhotoPicker
{
public:
    // Asks for sign-in when nobody is signed in and opens the dialog once
    // the sign-in succeeded; otherwise runs an application-modal open dialog
    // for one picture (jpg, png, jpeg, bmp, tiff, heic in either case) in the
    // folder of the last pick and, once the dialog has closed, bookmarks the
    // chosen file, remembers its folder and calls the callback with its path
    // from the event loop. Cancelling calls nothing; a name of another type
    // is refused with a message over the dialog saying why, and the dialog
    // stays open (or opens again) for another choice.
    static void selectPhoto(std::function<void(const QString &path)> callback = {});
    // selectPhoto() for one photo or several (a batch): the callback gets
    // every chosen file in the dialog's order. Several names are taken as
    // they are, a name of another type among them included, so that the
    // batch can list it as skipped with its reason; one name alone is
    // refused as selectPhoto() refuses it.
    static void selectPhotos(std::function<void(const QStringList &paths)> callback);
    static const QStringList &allowedPhotoExtensions();
    // Whether the path's extension is one of allowedPhotoExtensions().
    [[nodiscard]] static bool isAllowedPhoto(const QString &path);
    // Where the picker opens: the last pick's folder while it exists, else
    // the user's pictures folder, else the home folder.
    [[nodiscard]] static QString photoDirectory();

    // Runs `then` at once when someone is signed in; otherwise asks the
    // sign-in handler, which runs it when the sign-in ends signed in.
    static void whenSignedIn(std::function<void()> then);

    // What the picker does when nobody is signed in: the application shell
    // sets it to show the account window and to call `signedIn` once that
    // window closes with someone signed in. Unset, the picker only logs.
    using SignInRequestHandler = std::function<void(std::function<void()> signedIn)>;
    static void setSignInRequestHandler(SignInRequestHandler handler);

    // Runs the configured dialog in place of its modal loop and returns the
    // chosen files (none for cancel); after a refused name it runs again on
    // the same dialog. Lets tests answer the picker without a display; an
    // empty runner restores the real dialog.
    using PhotoDialogRunner = std::function<QStringList(QFileDialog &dialog)>;
    static void setPhotoDialogRunner(PhotoDialogRunner runner);

private:
    static void runPhotoDialog(bool several, std::function<void(const QStringList &paths)> callback);
};
