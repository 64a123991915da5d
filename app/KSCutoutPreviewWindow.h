#pragma once

#include "KSDialogWindow.h"

class KSCheckerboardView;
class KSHoverButton;

// A finished cut-out on a checkerboard, with a button that saves it as a
// PNG with transparency. The window owns the cut-out file in the temporary
// folder and deletes it when it closes.
class KSCutoutPreviewWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    KSCutoutPreviewWindow(const QString &photoPath, const QString &cutoutPath, QWidget *parentWindow = nullptr);
    ~KSCutoutPreviewWindow() override;

    static KSCutoutPreviewWindow *showPreview(const QString &photoPath, const QString &cutoutPath,
                                              QWidget *parentWindow);

    QString cutoutPath() const { return m_cutoutPath; }
    KSCheckerboardView *canvas() const { return m_canvas; }

    // Asks where to save, then writes the full-size PNG off the GUI thread.
    void actionForSave();
    // Writes the cut-out as PNG at `path`; the outcome is shown in the window.
    void saveTo(const QString &path);

    // The output folder plus the photo's name with ".png".
    [[nodiscard]] static QString suggestedSavePath(const QString &photoPath);

signals:
    void imageShown();
    void saveFinished(bool ok);

private:
    void showStatus(const QString &text, bool error);

    QString m_photoPath;
    QString m_cutoutPath;
    KSCheckerboardView *m_canvas = nullptr;
    QLabel *m_statusLabel = nullptr;
    KSHoverButton *m_saveBtn = nullptr;
};
