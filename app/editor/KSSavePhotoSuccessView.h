#pragma once

#include "KSOverlayView.h"

#include <QString>
#include <memory>

namespace Ui {
class KSSavePhotoSuccessView;
}

class KSHoverButton;
class QLabel;

// The overlay shown over the editor after a save: it dims the editor, swallows
// every click and drag on it, and either offers to reveal the written file or
// says that nothing could be saved.
class KSSavePhotoSuccessView : public KSOverlayView
{
    Q_OBJECT

public:
    explicit KSSavePhotoSuccessView(QWidget *parent = nullptr);
    ~KSSavePhotoSuccessView() override;

    // Covers the host and says the picture at filePath was saved. An empty
    // path means that nothing was written: the overlay then reports the
    // failure instead of claiming success. nullptr when it cannot be built.
    static KSSavePhotoSuccessView *showSaveSuccessView(QWidget *host, const QString &filePath);
    // Covers the host and says the picture could not be saved; `reason`, when
    // given, is shown under the message (for instance the failing folder).
    static KSSavePhotoSuccessView *showSaveFailedView(QWidget *host, const QString &reason = QString());

    // The written file; the message names it and its folder.
    void setFilePath(const QString &filePath);
    QString filePath() const { return m_filePath; }
    // Turns the dialog into its failure form: message, no open-folder button.
    void setErrorMessage(const QString &reason);
    bool isErrorMode() const { return m_errorMode; }

    // Removes the overlay, then shows the file selected in the file manager,
    // else its folder through the desktop's handler, else copies the path
    // to the clipboard and posts a notice saying so.
    void actionForOpenFile(KSHoverButton *sender = nullptr);
    // Shows `path` selected in the file manager, else its folder through
    // the desktop's handler, else copies `fallbackPath` to the clipboard and
    // posts a notice with the text of `noticeKey`.
    static void showInFolder(const QString &path, const QString &fallbackPath, const QString &noticeKey);
    void actionForCancel(KSHoverButton *sender = nullptr);
    void actionForClose(KSHoverButton *sender = nullptr);

    QWidget *centerView() const;
    QLabel *tipsLabel() const;
    QLabel *titleLabel() const;
    KSHoverButton *cancelBtn() const;
    KSHoverButton *openFileBtn() const;
    KSHoverButton *closeBtn() const;

protected:
    void dismiss() override { actionForCancel(); }

private:
    static KSSavePhotoSuccessView *attach(QWidget *host);

    std::unique_ptr<Ui::KSSavePhotoSuccessView> m_ui;
    QString m_filePath;
    bool m_errorMode = false;
};
