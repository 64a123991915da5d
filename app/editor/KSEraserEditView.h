#pragma once

#include "KSEditBackType.h"
#include "KSEditToolPanels.h"
#include "KSFaceFinder.h"
#include "KSFraming.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class KSEraserEditView;
}

class KSColorView;
class KSDropHintView;
class KSEditCanvasView;
class KSEditChangeBackgroundView;
class KSEditChangeSizeView;
class KSEditDocument;
class KSEditImageShowView;
class KSEditLayout;
class KSEditResultView;
class KSEditSession;
class KSEidtCutImageView;
class KSFlippedView;
class KSHoverButton;
class KSIdGuideView;
class KSTouchUpPanel;
class KSUnsavedEditsView;
class QFileDialog;
class QLabel;
class QUndoStack;

// The editor: the photograph beside its cut-out, the background colour and
// size panels, the result canvas once a size is chosen, saving, and the two
// ways out (home, or another photo) reported through backClosure.
//
// Its state is the document's (KSEditDocument): the canvases draw it, the
// panels and gestures edit it through its undo stack, whose clean state is
// the last save. The centre area's layouts are KSEditLayout's, the panel
// host and its tools KSEditToolPanels', saving and leaving KSEditSession's;
// this view builds and styles them and routes buttons and keys.
//
// Keys while the editor has the focus: Ctrl+S saves, Ctrl+Shift+S saves
// under a name and folder the user chooses, Ctrl+C copies the result with
// its transparency, Escape closes the open panel, undo and redo, zoom, and
// the brush's size. A photo file dropped on the editor opens instead, as
// "Open Another Photo" does.
class KSEraserEditView : public QWidget
{
    Q_OBJECT

public:
    using BackClosure = std::function<void(KSEditBackType type, const std::optional<QString> &path)>;

    enum class Mode { compare, colourPanel, sizePanel, touchUpPanel };

    static constexpr int kColourPanelWidth = KSEditToolPanels::kColourPanelWidth;
    static constexpr int kMinimumToolColumnWidth = 75;

    explicit KSEraserEditView(QWidget *parent = nullptr);
    // An editor of a document someone else keeps (a photo of a batch): its
    // edits and history stay with the document when the editor goes.
    KSEraserEditView(KSEditDocument *document, QWidget *parent);
    ~KSEraserEditView() override;

    // Covers `host` with a new editor for the photograph and its cut-out;
    // `closure` hears how the user left it. nullptr when the editor cannot
    // be built (nothing is shown then).
    static KSEraserEditView *showEditView(QWidget *host, const QString &originalImagePath,
                                          const QString &eraserImagePath, BackClosure closure = {});
    // Covers `host` with an editor of a batch's photo, on the document the
    // batch keeps for it. Its back button returns to the batch (goHome
    // through `closure`) without asking: nothing is lost, the edits stay
    // with the document, and the cut-out stays the batch's. Another photo
    // cannot be opened from it.
    static KSEraserEditView *showBatchEditView(QWidget *host, const QString &originalImagePath,
                                               KSEditDocument *document, BackClosure closure = {});
    // Edits a batch's document (showBatchEditView).
    [[nodiscard]] bool editsForBatch() const { return m_editsForBatch; }

    BackClosure backClosure;

    KSEditDocument *document() const { return m_document; }
    KSEditSession *session() const { return m_session; }

    // The buttons' actions.
    void actionForGoHome(KSHoverButton *sender = nullptr);
    void actionForReorderSelectedBtn(KSHoverButton *sender = nullptr);
    void actionForSavePhoto(KSHoverButton *sender = nullptr);
    void actionForChnageBackground(KSHoverButton *sender = nullptr);
    void actionForChangeSize(KSHoverButton *sender = nullptr);
    void actionForTouchUp(KSHoverButton *sender = nullptr);
    void actionForUndo(KSHoverButton *sender = nullptr);
    void actionForRedo(KSHoverButton *sender = nullptr);

    QUndoStack *undoStack() const;
    [[nodiscard]] bool hasUnsavedEdits() const;
    void askBeforeLeaving(std::function<void()> leave);
    KSUnsavedEditsView *unsavedEditsView() const;

    // The canvas that shows the result now: the result canvas, else the crop view.
    KSEditCanvasView *activeCanvas();
    // The photograph in place of the result while `shown` (before/after).
    void setShowsOriginal(bool shown);

    void actionForSaveAs();
    void copyResult();
    bool closeOpenPanel();
    void openAnotherPhoto(const QString &path);

    using SaveDialogRunner = std::function<QString(QFileDialog &dialog)>;
    static void setSaveDialogRunner(SaveDialogRunner runner);

    Mode mode() const;

    // Chooses a fit mode and a preset as the size panel's clicks do, for
    // restoring an earlier framing; false for a preset key no row has.
    bool setFraming(KSFitMode mode, const QString &presetKey);
    const std::optional<KSFaceFinder::Result> &faces() const;
    KSFraming::Notice framingNotice() const;
    KSIdGuideView *cropGuideView() const;
    bool isSaving() const;

    std::optional<QString> originalImagePath() const { return m_originalImagePath; }
    std::optional<QString> eraserImagePath() const { return m_eraserImagePath; }

    KSEditImageShowView *originalImageEditView() const { return m_originalImageEditView; }
    KSEidtCutImageView *cutImageEditView() const { return m_cutImageEditView; }
    QLabel *wartMarkImageView() const { return m_wartMarkImageView; }
    // Present only while shown.
    KSEditResultView *resultView() const;
    // Loaded the first time the size panel opens, then kept.
    KSEditChangeSizeView *letSizeSettingView() const;
    // The colour panel in the panel host, while it is open.
    KSEditChangeBackgroundView *changeBackgroundView() const;
    // Made the first time the Touch Up tool opens, then kept.
    KSTouchUpPanel *touchUpPanel() const;

    KSColorView *leftView() const;
    KSColorView *bottomView() const;
    KSHoverButton *reorderSelectedPhotoBtn() const;
    KSHoverButton *goHomeBtn() const;
    KSHoverButton *savePhotoBtn() const;
    KSHoverButton *changeBgBtn() const;
    KSHoverButton *changeSizeBtn() const;
    KSHoverButton *touchUpBtn() const;
    KSHoverButton *undoBtn() const;
    KSHoverButton *redoBtn() const;
    KSHoverButton *originalBtn() const;
    KSFlippedView *editCenterView() const;
    QWidget *leftSubSettingView() const;
    QLabel *originalLabel() const;
    QLabel *outputLabel() const;

signals:
    void saveDidFinish(const QString &path, const QString &error);
    void copyDidFinish(bool copied);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void setupLook();
    void setupViews();
    void setupActions();
    void setupShortcuts();
    void updateUndoButtons();
    void connectCanvas(KSEditCanvasView *canvas);
    // A stroke under way ends; the subject takes the mask's edits.
    void settleTouchUps();
    void closeToolAfterSave();
    void zoomActiveCanvas(double notches);
    QPointF zoomAnchor(KSEditCanvasView *canvas) const;
    void stepBrushSize(double factor);
    void leave(KSEditBackType type, const std::optional<QString> &path);

    std::unique_ptr<Ui::KSEraserEditView> m_ui;
    KSEditDocument *m_document = nullptr;
    KSEditSession *m_session = nullptr;
    KSEditLayout *m_layout = nullptr;
    KSEditToolPanels *m_panels = nullptr;
    KSEditImageShowView *m_originalImageEditView = nullptr;
    KSEidtCutImageView *m_cutImageEditView = nullptr;
    KSEditResultView *m_resultView = nullptr;
    QLabel *m_wartMarkImageView = nullptr;
    std::optional<QString> m_originalImagePath;
    std::optional<QString> m_eraserImagePath;
    KSDropHintView *m_dropHint = nullptr;
    bool m_editsForBatch = false;
};
