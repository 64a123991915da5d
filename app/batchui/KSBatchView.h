#pragma once

#include "KSBatchExport.h"
#include "KSBatchIntake.h"
#include "KSBatchItem.h"
#include "KSEraserEditView.h"
#include "KSEraserType.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class KSBatch;
class KSBatchItemDelegate;
class KSBatchLookPanel;

class KSHoverButton;
class QLabel;
class QListView;
class QListWidget;
class KSViewSlider;

// The batch screen: the photos of a batch in a grid with their states, a
// summary (n of N done, time left), Cancel All, the look chosen once for
// all (KSBatchLookPanel), the files that were not taken with their
// reasons, and Export All. A photo opens in the editor on its own document
// (Enter, a double click, or Open in Editor) and the editor's back button
// returns here. Keys: Ctrl+A selects every photo, Delete removes the
// selected ones, Enter opens the current one.
//
// It owns the batch (KSBatch) and its export; the batch does every job and
// picture off this thread, so the grid only draws.
class KSBatchView : public QWidget
{
    Q_OBJECT

public:
    explicit KSBatchView(QWidget *parent = nullptr);
    ~KSBatchView() override;

    // Covers `host` with a new batch screen.
    static KSBatchView *showBatchView(QWidget *host);

    KSBatch *batch() const { return m_batch; }
    KSBatchExport *batchExport() const { return m_export; }

    // Reads the paths (files and folders, sub-folders when `subFolders`) off
    // this thread and adds the photos among them with `type`; what is not
    // taken joins the skipped list with its reason. `done` runs once they
    // are in.
    void addPaths(const QStringList &paths, KSEraserType type, bool subFolders, std::function<void()> done = {});
    // The files not taken so far, with their reasons.
    [[nodiscard]] const QList<KSBatchIntake::Skipped> &skipped() const { return m_skipped; }

    // Leaving the screen: back home through backClosure, asking first while
    // photos are being cut out or done ones are not exported.
    std::function<void()> backClosure;
    void actionForGoHome();
    // Runs `leave` at once when nothing would be lost, else after the user
    // agreed to leave; never when they stay.
    void askBeforeLeaving(std::function<void()> leave);
    [[nodiscard]] bool wouldLoseWork() const;

    // The selection's actions.
    [[nodiscard]] QList<KSBatchItem::Id> selectedIds() const;
    void openInEditor(KSBatchItem::Id id);
    void openCurrentInEditor();
    void retrySelected();
    void cancelSelected();
    void removeSelected();
    void setTypeOfSelected(KSEraserType type);
    void cancelAll();

    // Writes every done photo into the look's folder, then says how it went.
    void exportAll();
    // The print sheets of every done photo on a paper (an ID size).
    void exportPrintSheets(KSPrintSheet::Paper paper);

    // The editor of a photo, while it is open.
    KSEraserEditView *editView() const { return m_editor; }
    // The photo open in the editor; 0 for none.
    [[nodiscard]] KSBatchItem::Id editedId() const { return m_editedId; }

    QListView *gridView() const { return m_grid; }
    KSBatchItemDelegate *delegate() const { return m_delegate; }
    KSBatchLookPanel *lookPanel() const { return m_lookPanel; }
    QLabel *summaryLabel() const { return m_summaryLabel; }
    KSViewSlider *batchProgressBar() const { return m_batchProgress; }
    KSViewSlider *exportProgressBar() const { return m_exportProgress; }
    QListWidget *skippedList() const { return m_skippedList; }
    KSHoverButton *skippedBtn() const { return m_skippedBtn; }
    KSHoverButton *cancelAllBtn() const { return m_cancelAllBtn; }
    KSHoverButton *exportBtn() const { return m_exportBtn; }
    KSHoverButton *goHomeBtn() const { return m_goHomeBtn; }
    KSHoverButton *openBtn() const { return m_openBtn; }
    KSHoverButton *retryBtn() const { return m_retryBtn; }
    KSHoverButton *removeBtn() const { return m_removeBtn; }
    KSHoverButton *typeBtn() const { return m_typeBtn; }

signals:
    // An export has ended: what was written, failed and skipped.
    void exportDidFinish(const KSBatchExport::Result &result);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildTopBar();
    QWidget *buildActionBar();
    QWidget *buildSkippedArea();
    QWidget *buildBottomBar();
    void setupShortcuts();
    void showSummary();
    void updateActions();
    void showSkipped();
    void exportFinished(const KSBatchExport::Result &result);
    void startExport(const std::optional<KSPrintSheet::Paper> &sheet);
    void editorLeft();
    void showTypeMenu();

    KSBatch *m_batch = nullptr;
    KSBatchExport *m_export = nullptr;
    KSBatchLookPanel *m_lookPanel = nullptr;
    QListView *m_grid = nullptr;
    KSBatchItemDelegate *m_delegate = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_summaryLabel = nullptr;
    KSViewSlider *m_batchProgress = nullptr;
    KSHoverButton *m_cancelAllBtn = nullptr;
    KSHoverButton *m_openBtn = nullptr;
    KSHoverButton *m_retryBtn = nullptr;
    KSHoverButton *m_cancelBtn = nullptr;
    KSHoverButton *m_removeBtn = nullptr;
    KSHoverButton *m_typeBtn = nullptr;
    KSHoverButton *m_skippedBtn = nullptr;
    QListWidget *m_skippedList = nullptr;
    QWidget *m_skippedArea = nullptr;
    KSHoverButton *m_goHomeBtn = nullptr;
    KSHoverButton *m_exportBtn = nullptr;
    KSHoverButton *m_sheetBtn = nullptr;
    KSViewSlider *m_exportProgress = nullptr;
    QList<KSBatchIntake::Skipped> m_skipped;
    QPointer<KSEraserEditView> m_editor;
    KSBatchItem::Id m_editedId = 0;
    // Paths being read: not yet in the batch, not to be read twice.
    int m_gathering = 0;
};
