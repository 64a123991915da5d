#pragma once

#include "KSEditBackType.h"
#include "KSEraserType.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class KSColorView;
class KSEraserEditView;
class KSHomeView;

// The main window's content: it shows one screen at a time and hands file
// paths and the cut-out type from screen to screen. The home screen lives
// as long as the controller and is only hidden and shown; the progress,
// error, editor and settings screens are made anew each time and remove
// themselves.
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
    // The editor while it is shown.
    KSEraserEditView *editView() const;

signals:
    // The progress screen has ended: with the cut-out, or (false, empty)
    // when the user went back home from the error screen.
    void eraseringDidFinish(bool success, const QString &cutoutPath);

private:
    KSColorView *m_backgroundView = nullptr;
    KSHomeView *m_homeView = nullptr;
    bool m_homeViewTried = false;
    QPointer<KSEraserEditView> m_editView;
};
