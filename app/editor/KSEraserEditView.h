#pragma once

#include "KSColor.h"
#include "KSEditBackType.h"
#include "KSFaceFinder.h"
#include "KSFraming.h"
#include "KSFramingCommand.h"
#include "KSIdGuideView.h"
#include "KSMaskEdit.h"
#include "KSOutputSaver.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class KSEraserEditView;
}

struct KSBrushSettings;
enum class KSChangeType : int;
class KSColorView;
class KSDropHintView;
class KSEditCanvasView;
class KSEditChangeBackgroundView;
class KSEditChangeSizeView;
class KSEditImageShowView;
class KSEditResultView;
class KSEidtCutImageView;
class KSFlippedView;
class KSHoverButton;
class KSTouchUpPanel;
class KSUnsavedEditsView;
class QFileDialog;
class QLabel;
class QUndoStack;

// The editor: the photograph beside its cut-out, the background colour and
// size panels, the result canvas once a size is chosen, saving, and the two
// ways out (home, or another photo) reported through backClosure.
//
// Keys while the editor has the focus: Ctrl+S saves, Ctrl+Shift+S saves
// under a name and folder the user chooses, Ctrl+C copies the result with
// its transparency, Escape closes the open panel. A photo file dropped on
// the editor opens instead, as "Open Another Photo" does.
//
// Modes, shown by the three tool buttons: compare (none selected), colour
// panel (changeBgBtn), size panel (changeSizeBtn) and touch-up
// (touchUpBtn), where brushes mend the cut-out's mask on the crop view. The
// editor owns the cut-out file and the subject file its crop view writes:
// going home deletes both a second later; loading another photo leaves the
// cut-out to the caller and deletes the subject file.
//
// Every edit that changes the result (strokes, moves, resizes, mirror,
// colour, size) is a command on the editor's undo stack; the stack's clean
// state is the last save, and leaving with edits not saved asks first.
class KSEraserEditView : public QWidget
{
    Q_OBJECT

public:
    using BackClosure = std::function<void(KSEditBackType type, const std::optional<QString> &path)>;

    enum class Mode { compare, colourPanel, sizePanel, touchUpPanel };

    // Widths of the layout.
    static constexpr int kCompareViewWidth = 430;
    static constexpr int kCompareViewHeight = 400;
    static constexpr int kPanelCropViewWidth = 600;
    static constexpr int kPanelCropViewHeight = 400;
    static constexpr int kColourPanelWidth = 360;
    static constexpr int kMinimumToolColumnWidth = 75;

    explicit KSEraserEditView(QWidget *parent = nullptr);
    ~KSEraserEditView() override;

    // Covers `host` with a new editor for the photograph and its cut-out;
    // `closure` hears how the user left it. nullptr when the editor cannot
    // be built (nothing is shown then).
    static KSEraserEditView *showEditView(QWidget *host, const QString &originalImagePath,
                                          const QString &eraserImagePath, BackClosure closure = {});

    BackClosure backClosure;

    // The buttons' actions.
    void actionForGoHome(KSHoverButton *sender = nullptr);
    void actionForReorderSelectedBtn(KSHoverButton *sender = nullptr);
    void actionForSavePhoto(KSHoverButton *sender = nullptr);
    void actionForChnageBackground(KSHoverButton *sender = nullptr);
    void actionForChangeSize(KSHoverButton *sender = nullptr);
    void actionForTouchUp(KSHoverButton *sender = nullptr);
    void actionForUndo(KSHoverButton *sender = nullptr);
    void actionForRedo(KSHoverButton *sender = nullptr);

    QUndoStack *undoStack() const { return m_undoStack; }
    // Edits made since the last save (or since the editor opened).
    [[nodiscard]] bool hasUnsavedEdits() const;
    // Runs `leave` at once when nothing is unsaved; otherwise asks whether
    // to save first, and runs it after a save that worked or when the user
    // leaves the edits, never when they stay.
    void askBeforeLeaving(std::function<void()> leave);
    // The question while it is shown.
    KSUnsavedEditsView *unsavedEditsView() const;

    // The canvas that shows the result now: the result canvas, else the crop view.
    KSEditCanvasView *activeCanvas();
    // The photograph in place of the result while `shown` (before/after).
    void setShowsOriginal(bool shown);

    // ---- the undo commands' steps: each puts a state on screen, pushes nothing
    void applyMaskEdit(KSMaskEdit &edit);
    // The subject's rectangle in cut-out pixels (the crop view's).
    void applySubjectRect(const QRectF &cropRect);
    void applyMirror(bool mirrored);
    void applyBackgroundColor(const KSColor &color);
    // The size, the fit mode and the subject's place in the frame.
    void applyFramingState(const KSFramingCommand::State &state);

    // Save As: asks for a name and a folder, then writes exactly there.
    void actionForSaveAs();
    // Puts the picture a save would write on the clipboard, transparency kept.
    void copyResult();
    // Escape: closes the open tool panel; false when none was open.
    bool closeOpenPanel();
    // Leaves for a new cut-out of the photo at `path`, as a pick through
    // "Open Another Photo" does, asking first when edits are unsaved;
    // ignored while a save runs.
    void openAnotherPhoto(const QString &path);

    // Runs the Save As dialog in place of its modal loop and returns the
    // chosen path (empty for cancel), so a test can answer it; an empty
    // runner restores the real dialog.
    using SaveDialogRunner = std::function<QString(QFileDialog &dialog)>;
    static void setSaveDialogRunner(SaveDialogRunner runner);

    Mode mode() const;

    // Framing: the size panel's fit mode and chosen preset decide where the
    // subject sits in the size frame (KSFraming). setFraming() chooses both
    // as the panel's clicks do, for restoring an earlier framing; false for
    // a preset key no row has (nothing changes then).
    bool setFraming(KSFitMode mode, const QString &presetKey);
    // The face finder's answer for the cut-out; none while it runs.
    const std::optional<KSFaceFinder::Result> &faces() const { return m_faces; }
    // The last framing's notice (none for a plain or a rule-keeping framing).
    KSFraming::Notice framingNotice() const { return m_framingNotice; }
    // The guide over the crop view's size frame; shown for ID sizes framed by
    // their rule.
    KSIdGuideView *cropGuideView() const { return m_cropGuide; }
    // A save is being written; the save button waits for it.
    bool isSaving() const { return m_saving; }

    std::optional<QString> originalImagePath() const { return m_originalImagePath; }
    std::optional<QString> eraserImagePath() const { return m_eraserImagePath; }

    // Made on first use.
    KSEditImageShowView *originalImageEditView();
    KSEidtCutImageView *cutImageEditView();
    QLabel *wartMarkImageView();
    // Present only while shown.
    KSEditResultView *resultView() const;
    // Loaded the first time the size panel opens, then kept.
    KSEditChangeSizeView *letSizeSettingView() const { return m_letSizeSettingView; }
    // The colour panel in the panel host, while it is open.
    KSEditChangeBackgroundView *changeBackgroundView() const;
    // Made the first time the Touch Up tool opens, then kept.
    KSTouchUpPanel *touchUpPanel() const { return m_touchUpPanel; }

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
    // A save has ended: the written file, or an empty path and the reason.
    void saveDidFinish(const QString &path, const QString &error);
    // A copy has ended: the picture is on the clipboard, or why not.
    void copyDidFinish(bool copied);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void setupLook();
    void setupActions();
    void updateUndoButtons();
    void setPanelHostWidth(int width);
    void clearPanelHost(QWidget *keep = nullptr);
    void showInPanelHost(QWidget *panel);

    // The three layouts of the centre area and the steps between them.
    void applyCompareLayout();
    void applyPanelLayout();
    void placeCentreViews();
    void placeWatermark();
    void runResultCanvasStep();
    void handBackCropRect();
    void releaseResultView();
    void setLabelsVisible(bool visible);

    // A tool button was pressed: opens its panel, or closes it when open.
    void toggleTool(KSHoverButton *pressed, void (KSEraserEditView::*open)());
    void openColourPanel();
    void openSizePanel();
    void openTouchUpPanel();
    void closePanel();
    KSEditChangeSizeView *sizePanel();
    // The crop view's mode; leaving the touch-up mode shows the edits on
    // the subject.
    void setCropChangeType(KSChangeType type);

    // A canvas's signals become commands.
    void connectCanvas(KSEditCanvasView *canvas);
    void subjectMovedOn(KSEditCanvasView *canvas, const QRectF &before, const QRectF &after);
    void pushMaskEdit(KSMaskEdit edit, const KSBrushSettings &settings);
    KSFramingCommand::State framingState();
    // A framing step from `before` to what is on screen now, if they differ.
    void pushFraming(const KSFramingCommand::State &before, const QString &text);
    // A stroke under way ends; the subject takes the mask's edits.
    void settleTouchUps();
    // The job renders the subject as edited, from memory.
    KSOutputSaver::Job withEditedSubject(KSOutputSaver::Job job);
    // The origin of the result canvas in cut-out pixels.
    QPointF resultCanvasOrigin();
    // After the mask changed: the subject's bounds, place and picture.
    void refreshSubject();
    void zoomActiveCanvas(double notches);
    QPointF zoomAnchor(KSEditCanvasView *canvas) const;
    void stepBrushSize(double factor);

    void setupShortcuts();
    void runSave(const KSOutputSaver::Job &job);
    void closeToolAfterSave();
    void saveFinished(const KSOutputSaver::Result &result);
    void startSaving(const KSOutputRender::Request &request, std::optional<KSPrintSheet::Paper> sheet);
    KSOutputRender::Request currentSaveRequest();
    void savePrintSheet(KSPrintSheet::Paper paper);

    void startFaceSearch();
    void applyFraming();
    void updateGuides();
    void leave(KSEditBackType type, const std::optional<QString> &path);
    void goHome();

    std::unique_ptr<Ui::KSEraserEditView> m_ui;
    KSEditImageShowView *m_originalImageEditView = nullptr;
    KSEidtCutImageView *m_cutImageEditView = nullptr;
    QLabel *m_wartMarkImageView = nullptr;
    QPointer<KSEditResultView> m_resultView;
    KSEditChangeSizeView *m_letSizeSettingView = nullptr;
    bool m_sizePanelTried = false;
    QPointer<KSEditChangeBackgroundView> m_changeBackgroundView;
    std::optional<QString> m_originalImagePath;
    std::optional<QString> m_eraserImagePath;
    // Which layout the centre area shows; re-applied when it is resized.
    bool m_panelLayout = false;
    std::optional<KSFaceFinder::Result> m_faces;
    // An ID size was framed before the faces were known.
    bool m_framingAwaitsFaces = false;
    KSFraming::Notice m_framingNotice = KSFraming::Notice::none;
    KSFitMode m_framedFitMode = KSFitMode::subject;
    QPointer<KSIdGuideView> m_cropGuide;
    QPointer<KSIdGuideView> m_resultGuide;
    bool m_saving = false;
    bool m_left = false;
    KSDropHintView *m_dropHint = nullptr;

    QUndoStack *m_undoStack = nullptr;
    KSTouchUpPanel *m_touchUpPanel = nullptr;
    QPointer<KSUnsavedEditsView> m_question;
    // The stack's index when the save under way was asked for.
    int m_savingIndex = -1;
    // Runs once the save under way has worked: the way out that asked for it.
    std::function<void()> m_afterSave;
    // The user chose to leave the edits unsaved.
    bool m_editsDiscarded = false;
    // The mask changed while the touch-up mode showed it.
    bool m_maskChanged = false;
    bool m_showsOriginal = false;
};
