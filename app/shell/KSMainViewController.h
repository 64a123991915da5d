#pragma once

#include "KSEditBackType.h"
#include "KSEraserFailure.h"
#include "KSEraserType.h"

#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class KSBatchView;
class KSColorView;
class KSEraserEditView;
class KSHomeView;

// The main window's content: it shows one screen at a time and hands file
// paths and the cut-out type from screen to screen. The home screen lives
// as long as the controller and is only hidden and shown; the progress,
// error, editor and settings screens are made anew each time and remove
// themselves.
//
// Photos also come without a card: dropped beside the cards or on the
// window, pasted (Ctrl+V), or named on the command line. Those ask for the
// cut-out type, or go to the editor as "Open Another Photo" while it shows.
// Ctrl+O opens the picker with the last card's type (asking for the type
// when there is none yet), or the editor's "Open Another Photo".
//
// Several photos, or a folder, make a batch (KSBatchView): the type is
// asked once for all, unless they came by a card. While the batch screen
// shows, photos that arrive join it.
class KSMainViewController : public QWidget
{
    Q_OBJECT

public:
    explicit KSMainViewController(QWidget *parent = nullptr);
    ~KSMainViewController() override;

    // Registers the product record and the window with the common
    // utilities, sets up the account library and checks for updates
    // silently, and has the main window ask before quitting. Called once the
    // main window exists.
    void awakeFromNib();
    // Styles the background panel, adds the home screen and starts
    // listening for the settings request.
    void viewDidLoad();

    // The rounded panel behind every screen.
    KSColorView *backgroundView() const { return m_backgroundView; }
    // Built on first use; a screen that could not be built stays none.
    KSHomeView *homeView();

    // The home screen's report: hide it and run the cut-out behind the
    // progress screen.
    void photoSelected(const QString &path, KSEraserType type);
    // The progress screen's report: (true, cut-out) goes on to the result,
    // anything else back home.
    void eraseringFinished(bool success, const std::optional<QString> &cutoutPath, const QString &photoPath,
                           KSEraserType type);
    // The answer to "kNotificationShowSettingView": a new settings panel on
    // top of whatever is shown.
    void showSettingView();

    // A finished cut-out opens in the editor beside its photograph; the
    // editor owns the cut-out file from then on.
    void showEditView(const QString &photoPath, const QString &cutoutPath, KSEraserType type);
    // The editor's report: home, or a new job of the same type for another
    // photograph. Either way the cut-out file of that editor is deleted.
    void editViewLeft(KSEditBackType backType, const std::optional<QString> &path, KSEraserType type,
                      const QString &cutoutPath);
    // Asked before the application quits: true at once unless the editor
    // holds unsaved edits; then the editor asks the user, `quit` runs if
    // they save or leave the edits, and the answer now is false.
    bool shouldTerminate(std::function<void()> quit);

    // A photo without a card: a new job of `type`, or of the type the user
    // is asked for; on the editor, its "Open Another Photo". False when no
    // screen can take a photo now (a cut-out runs, a panel is open).
    bool openPhoto(const QString &path, std::optional<KSEraserType> type = std::nullopt);
    // Photos and folders without a card: one photo goes to openPhoto(),
    // several or a folder to the batch screen (made when none shows), with
    // `type` or the type asked once for all. False when no screen can take
    // them now.
    bool openPhotos(const QStringList &paths, std::optional<KSEraserType> type = std::nullopt);
    // openPhotos() once the built-in service has started and signed in.
    void openPhotoWhenReady(const QString &path);
    void openPhotosWhenReady(const QStringList &paths);
    // The batch screen, while a batch is open (also under its editor).
    KSBatchView *batchView() const;
    // What a drop on the window would do now.
    [[nodiscard]] QString dropHintText() const;
    // Ctrl+O and Ctrl+V.
    void openPhotoByShortcut();
    void pastePhoto();
    // The editor on show, if any.
    KSEraserEditView *editView() const;
    // Whether a photo could be opened now (see openPhoto).
    [[nodiscard]] bool canOpenPhoto() const;

    // The type of the last cut-out started, kept across runs; none before the first.
    static inline const QString kLastEraserType = QStringLiteral("kLastEraserType");
    [[nodiscard]] static std::optional<KSEraserType> lastEraserType();

    // Set by the application's start: ends the run so that it starts again.
    std::function<void()> relaunchClosure;
    // Stops the built-in service, then relaunches.
    void relaunch();

signals:
    // The progress screen has ended: with the cut-out, or (false, empty)
    // when the user went back home from the error screen.
    void eraseringDidFinish(bool success, const QString &cutoutPath);

private:
    void askTypeThenOpen(const QString &path);
    // Into the batch screen, made when none shows yet.
    void addToBatch(const QStringList &paths, KSEraserType type, bool subFolders);
    void closeBatch();
    // The error screen for a photo refused before its job; back home, or
    // its Retry looks again.
    void showPhotoProblem(const QString &path, const KSEraserFailure &problem);
    // A pasted picture is ours: it goes once its cut-out or editor has.
    void forgetPastedPhoto(const QString &path);

    KSColorView *m_backgroundView = nullptr;
    KSHomeView *m_homeView = nullptr;
    bool m_homeViewTried = false;
    QSet<QString> m_pastedPhotos;
    QPointer<KSBatchView> m_batchView;
};
