#pragma once

#include "KSEditBackType.h"
#include "KSOutputRender.h"
#include "KSOutputSaver.h"
#include "KSPrintSheet.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class KSEditDocument;
class KSUnsavedEditsView;
class QFileDialog;
class QWidget;

// What the editor does with its document beyond editing: save into the
// output folder, Save As, the print sheet, the copy to the clipboard, and
// the ways out (home, or another photo), asking first when edits are not
// saved. It owns the cut-out file: going home deletes it a second later,
// and so does an editor closed with the window; another photo leaves it to
// the caller.
class KSEditSession : public QObject
{
    Q_OBJECT

public:
    // `view` is the editor: dialogs cover its parent, Save As is modal to its window.
    KSEditSession(KSEditDocument *document, QWidget *view, QObject *parent = nullptr);
    ~KSEditSession() override;

    // A save is being written; the ways out wait for it.
    [[nodiscard]] bool isSaving() const { return m_saving; }
    [[nodiscard]] bool hasLeft() const { return m_left; }
    // Edits made since the last save (or since the editor opened); none
    // for a kept document, whose edits are not lost by leaving.
    [[nodiscard]] bool hasUnsavedEdits() const;
    // The document and its cut-out belong to someone else (a batch):
    // leaving neither asks about unsaved edits nor deletes the cut-out.
    void setDocumentKept(bool kept) { m_documentKept = kept; }

    // The picture a save writes now, bounded by the output size setting.
    [[nodiscard]] KSOutputRender::Request saveRequest() const;

    void save();
    // Asks for a name and a folder, then writes exactly there.
    void saveAs();
    void savePrintSheet(KSPrintSheet::Paper paper);
    // Puts the picture a save would write on the clipboard, transparency kept.
    void copy();

    // Runs `leave` at once when nothing is unsaved; otherwise asks whether
    // to save first, and runs it after a save that worked or when the user
    // leaves the edits, never when they stay.
    void askBeforeLeaving(std::function<void()> leave);
    // The question while it is shown.
    [[nodiscard]] KSUnsavedEditsView *question() const;
    void goHome();
    // Leaves for a new cut-out of the photo at `path`, asking first when
    // edits are unsaved; ignored while a save runs.
    void openAnotherPhoto(const QString &path);

    // Runs the Save As dialog in place of its modal loop and returns the
    // chosen path (empty for cancel), so a test can answer it; an empty
    // runner restores the real dialog.
    using SaveDialogRunner = std::function<QString(QFileDialog &dialog)>;
    static void setSaveDialogRunner(SaveDialogRunner runner);

signals:
    // Before a picture is rendered: a stroke under way must end.
    void aboutToRender();
    void savingChanged(bool saving);
    // A save has ended: the written file, or an empty path and the reason.
    void saveDidFinish(const QString &path, const QString &error);
    // A copy has ended: the picture is on the clipboard, or why not.
    void copyDidFinish(bool copied);
    // The user left the editor.
    void left(KSEditBackType type, const std::optional<QString> &path);

private:
    QWidget *dialogHost() const;
    [[nodiscard]] QString baseName() const;
    void start(KSOutputSaver::Job job);
    void finished(const KSOutputSaver::Result &result);
    void leave(KSEditBackType type, const std::optional<QString> &path);

    KSEditDocument *m_document;
    QWidget *m_view;
    bool m_saving = false;
    bool m_left = false;
    // The history's index when the save under way was asked for.
    int m_savingIndex = -1;
    // Runs once the save under way has worked: the way out that asked for it.
    std::function<void()> m_afterSave;
    // The user chose to leave the edits unsaved.
    bool m_editsDiscarded = false;
    bool m_documentKept = false;
    QPointer<KSUnsavedEditsView> m_question;
};
