#include "KSEraserEditView.h"

#include "ui_KSEraserEditView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSAppSetting.h"
#include "KSBookmark.h"
#include "KSBrushSettings.h"
#include "KSColorConst.h"
#include "KSColorView.h"
#include "KSDropHintView.h"
#include "KSEditDocument.h"
#include "KSEditImageShowView.h"
#include "KSEditLayout.h"
#include "KSEditResultView.h"
#include "KSEditSession.h"
#include "KSEidtCutImageView.h"
#include "KSFlippedView.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSNibLoadable.h"
#include "KSPhotoPicker.h"
#include "KSShortcutKeys.h"
#include "KSTextField.h"
#include "KSTextStyle.h"
#include "KSTouchUpBrush.h"
#include "KSTouchUpPanel.h"
#include "KSViewAttach.h"

#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QUndoStack>
#include <algorithm>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

// Room on each side of a text button's title.
constexpr int kTextButtonPadding = 16;

void styleTextButton(KSHoverButton *button, const QString &title, const QColor &titleColor,
                     const QColor &background, const QColor &hover)
{
    button->setTitle(title);
    button->setTitleColor(titleColor);
    button->setTitleHoverColor(titleColor);
    button->setTitleDownColor(titleColor);
    button->setTitleFont(KSTextStyle::systemFont(12));
    button->setBackgroundColor(background);
    button->setBackgroundHoverColor(hover);
    button->setBorderRadius(6.0);
}

void styleToolButton(KSHoverButton *button, const QString &title, const char *normalImage, const char *hoverImage)
{
    button->setImagePosition(KSHoverButton::ImagePosition::Above);
    button->setImage(KSImageNamed(QLatin1String(normalImage)));
    button->setHoverImage(KSImageNamed(QLatin1String(hoverImage)));
    button->setDownImage(KSImageNamed(QLatin1String(hoverImage)));
    button->setTitle(title);
    const QColor text = KSRGBHexColor(0x333333);
    button->setTitleColor(text);
    button->setTitleHoverColor(text);
    button->setTitleDownColor(text);
    button->setTitleFont(KSTextStyle::systemFont(10));
}

// The text of a stroke's step, as the undo button's tip shows it.
QString strokeText(const KSBrushSettings &settings)
{
    const bool keep = settings.mode == KSMaskBrush::Mode::keep;
    if (settings.smart)
        return lang(keep ? "EditSmartKeep" : "EditSmartErase");
    return lang(keep ? "EditKeep" : "EditErase");
}

// The widest of the tool buttons' titles.
int toolTitleWidth(const QList<KSHoverButton *> &buttons)
{
    int width = 0;
    for (KSHoverButton *button : buttons)
        width = std::max(width, button->textFiled()->sizeThatFits(QSize(300, 50)).width());
    return width;
}

} // namespace

KSEraserEditView::KSEraserEditView(QWidget *parent)
    : KSEraserEditView(nullptr, parent)
{
}

KSEraserEditView::KSEraserEditView(KSEditDocument *document, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::KSEraserEditView>())
{
    m_ui->setupUi(this);
    setupLook();
    m_document = document ? document : new KSEditDocument(this);
    setupViews();

    const auto wire = [this](KSHoverButton *button, void (KSEraserEditView::*action)(KSHoverButton *)) {
        button->setTarget(this);
        button->setAction([this, action](KSHoverButton *sender) { (this->*action)(sender); });
    };
    wire(m_ui->goHomeBtn, &KSEraserEditView::actionForGoHome);
    wire(m_ui->reorderSelectedPhotoBtn, &KSEraserEditView::actionForReorderSelectedBtn);
    wire(m_ui->savePhotoBtn, &KSEraserEditView::actionForSavePhoto);
    wire(m_ui->changeBgBtn, &KSEraserEditView::actionForChnageBackground);
    wire(m_ui->changeSizeBtn, &KSEraserEditView::actionForChangeSize);
    wire(m_ui->touchUpBtn, &KSEraserEditView::actionForTouchUp);
    wire(m_ui->undoBtn, &KSEraserEditView::actionForUndo);
    wire(m_ui->redoBtn, &KSEraserEditView::actionForRedo);
    // Shows the photograph while it is held down.
    connect(m_ui->originalBtn, &QAbstractButton::pressed, this, [this] { setShowsOriginal(true); });
    connect(m_ui->originalBtn, &QAbstractButton::released, this, [this] { setShowsOriginal(false); });

    QUndoStack *stack = m_document->undoStack();
    connect(stack, &QUndoStack::indexChanged, this, &KSEraserEditView::updateUndoButtons);
    connect(stack, &QUndoStack::cleanChanged, this, &KSEraserEditView::updateUndoButtons);
    setupActions();
    updateUndoButtons();

    m_session = new KSEditSession(m_document, this, this);
    connect(m_session, &KSEditSession::aboutToRender, this, &KSEraserEditView::settleTouchUps);
    connect(m_session, &KSEditSession::savingChanged, this, [this](bool saving) {
        for (KSHoverButton *button : {m_ui->savePhotoBtn, m_ui->goHomeBtn, m_ui->reorderSelectedPhotoBtn})
            button->setEnabled(!saving);
    });
    connect(m_session, &KSEditSession::saveDidFinish, this, &KSEraserEditView::saveDidFinish);
    connect(m_session, &KSEditSession::copyDidFinish, this, &KSEraserEditView::copyDidFinish);
    connect(m_session, &KSEditSession::left, this, &KSEraserEditView::leave);
    connect(m_panels, &KSEditToolPanels::printSheetRequested, m_session, &KSEditSession::savePrintSheet);

    m_layout->showCompare();
    m_layout->showResult();

    setupShortcuts();
    KSDropHintView::Target drops;
    drops.accepts = [this] { return !m_editsForBatch && !m_session->isSaving() && !m_session->hasLeft(); };
    drops.text = [](const QPoint &) { return lang("DropHintEditor"); };
    drops.dropped = [this](const QString &path, const QPoint &) {
        KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(path);
        openAnotherPhoto(path);
    };
    m_dropHint = KSDropHintView::install(this, std::move(drops));
    // The editor's keys (the before/after key, shortcuts) work while the
    // focus is in it, even when nothing inside it has the focus.
    setFocusPolicy(Qt::StrongFocus);
}

KSEraserEditView::~KSEraserEditView()
{
    // The stack's last signals must not reach a half-destroyed editor.
    m_document->undoStack()->disconnect(this);
    // The session reads the document while it goes: before the children,
    // among which the document is older.
    delete m_session;
}

void KSEraserEditView::setupViews()
{
    QWidget *centre = m_ui->editCenterView;
    centre->installEventFilter(this);
    m_originalImageEditView = new KSEditImageShowView(centre);
    m_cutImageEditView = new KSEidtCutImageView(centre);
    m_cutImageEditView->installEventFilter(this);
    m_resultView = new KSEditResultView(centre);
    m_resultView->setObjectName(QStringLiteral("resultView"));
    m_resultView->hide();

    const bool chinese = KSAppSetting::appLanguage() == QLatin1String("ChineseSimplified");
    const QPixmap mark = KSImageNamed(chinese ? QStringLiteral("watermarkzhongwen") : QStringLiteral("watermarkyingwen"));
    m_wartMarkImageView = new QLabel(centre);
    m_wartMarkImageView->setObjectName(QStringLiteral("wartMarkImageView"));
    m_wartMarkImageView->setPixmap(mark);
    m_wartMarkImageView->resize(mark.deviceIndependentSize().toSize());
    // Shown over the subject, never in the way of dragging it.
    m_wartMarkImageView->setAttribute(Qt::WA_TransparentForMouseEvents);

    KSEditLayout::Views views;
    views.centre = centre;
    views.originalLabel = m_ui->originalLabel;
    views.outputLabel = m_ui->outputLabel;
    views.original = m_originalImageEditView;
    views.crop = m_cutImageEditView;
    views.result = m_resultView;
    views.watermark = m_wartMarkImageView;
    m_layout = new KSEditLayout(views, m_document, this);
    m_panels = new KSEditToolPanels(m_ui->leftSubSettingView, {m_ui->changeBgBtn, m_ui->changeSizeBtn, m_ui->touchUpBtn},
                                    m_document, m_layout, m_cutImageEditView, this);
    for (KSEditCanvasView *canvas : {static_cast<KSEditCanvasView *>(m_cutImageEditView),
                                     static_cast<KSEditCanvasView *>(m_resultView)}) {
        canvas->setDocument(m_document);
        connectCanvas(canvas);
    }
    m_cutImageEditView->touchUpBrush()->editClosure = [this](KSMaskEdit edit, const KSBrushSettings &settings) {
        m_document->recordMaskEdit(std::move(edit), strokeText(settings));
    };
}

void KSEraserEditView::connectCanvas(KSEditCanvasView *canvas)
{
    // Kept in cut-out pixels, so that the step means the same on either canvas.
    connect(canvas, &KSEditCanvasView::subjectMoved, this, [this, canvas](const QRectF &before, const QRectF &after) {
        const QPointF origin = canvas->documentOrigin();
        m_document->moveSubject(before.translated(origin), after.translated(origin));
    });
    connect(canvas, &KSEditCanvasView::subjectMirrored, m_document, &KSEditDocument::mirrorSubject);
    connect(canvas, &KSEditCanvasView::viewportChanged, m_layout, &KSEditLayout::placeWatermark);
}

void KSEraserEditView::setupActions()
{
    const auto add = [this](const QList<QKeySequence> &keys, auto slot) {
        auto *action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    add({KSShortcutKeys::undo()}, [this] { actionForUndo(); });
    add({KSShortcutKeys::redo(), KSShortcutKeys::redoToo()}, [this] { actionForRedo(); });
    add({KSShortcutKeys::zoomIn(), KSShortcutKeys::zoomInToo()}, [this] { zoomActiveCanvas(1); });
    add({KSShortcutKeys::zoomOut()}, [this] { zoomActiveCanvas(-1); });
    add({KSShortcutKeys::zoomToFit()}, [this] { activeCanvas()->fitToView(); });
    add({KSShortcutKeys::zoomToActualSize()}, [this] {
        KSEditCanvasView *canvas = activeCanvas();
        canvas->showActualSize(zoomAnchor(canvas));
    });
    add({KSShortcutKeys::smallerBrush()}, [this] { stepBrushSize(1 / KSBrushSettings::kSizeStep); });
    add({KSShortcutKeys::largerBrush()}, [this] { stepBrushSize(KSBrushSettings::kSizeStep); });
}

void KSEraserEditView::setupShortcuts()
{
    const auto bind = [this](const QKeySequence &keys, const std::function<void()> &action) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    bind(KSShortcutKeys::save(), [this] { actionForSavePhoto(); });
    bind(KSShortcutKeys::saveAs(), [this] { actionForSaveAs(); });
    bind(KSShortcutKeys::copy(), [this] { copyResult(); });
    bind(KSShortcutKeys::close(), [this] { closeOpenPanel(); });
}

void KSEraserEditView::updateUndoButtons()
{
    QUndoStack *stack = m_document->undoStack();
    m_ui->undoBtn->setEnabled(stack->canUndo());
    m_ui->redoBtn->setEnabled(stack->canRedo());
    const auto tip = [](const char *key, const QString &what, const QKeySequence &keys) {
        QString text = lang(key);
        if (!what.isEmpty())
            text += QStringLiteral(": ") + what;
        return KSShortcutKeys::withKeys(text, keys);
    };
    m_ui->undoBtn->setToolTip(tip("Undo", stack->undoText(), KSShortcutKeys::undo()));
    m_ui->redoBtn->setToolTip(tip("Redo", stack->redoText(), KSShortcutKeys::redo()));
}

KSEraserEditView *KSEraserEditView::showEditView(QWidget *host, const QString &originalImagePath,
                                                 const QString &eraserImagePath, BackClosure closure)
{
    auto *view = loadViewFromNib<KSEraserEditView>();
    if (!view)
        return nullptr;
    if (host)
        KSViewAttach::pinToEdges(view, host);

    view->m_originalImagePath = originalImagePath;
    view->m_originalImageEditView->setImagePath(originalImagePath);
    view->m_eraserImagePath = eraserImagePath;
    KSEditDocument *document = view->m_document;
    QString error;
    if (document->loadCutout(eraserImagePath, &error)) {
        document->loadPhotoColours(originalImagePath);
        // Ready by the time an ID size is chosen, in most cases.
        document->startFaceSearch();
    } else {
        CommLog::E(QStringLiteral("editor: cannot load the cut-out %1: %2").arg(eraserImagePath, error));
    }
    view->m_layout->showResult();
    view->setFocus(Qt::OtherFocusReason);
    view->backClosure = std::move(closure);
    return view;
}

KSEraserEditView *KSEraserEditView::showBatchEditView(QWidget *host, const QString &originalImagePath,
                                                      KSEditDocument *document, BackClosure closure)
{
    if (!document || !document->isLoaded())
        return nullptr;
    auto *view = new KSEraserEditView(document, nullptr);
    view->setObjectName(QStringLiteral("KSEraserEditView"));
    view->m_editsForBatch = true;
    view->m_session->setDocumentKept(true);
    if (host)
        KSViewAttach::pinToEdges(view, host);
    view->m_originalImagePath = originalImagePath;
    view->m_originalImageEditView->setImagePath(originalImagePath);
    view->m_eraserImagePath = document->cutoutPath();
    KSHoverButton *back = view->m_ui->goHomeBtn;
    back->setTitle(lang("BackToBatch"));
    back->setFixedWidth(std::max(back->width(),
                                 back->textFiled()->sizeThatFits(QSize(300, 25)).width() + 2 * kTextButtonPadding));
    view->m_ui->reorderSelectedPhotoBtn->hide();
    view->m_layout->showResult();
    view->setFocus(Qt::OtherFocusReason);
    view->backClosure = std::move(closure);
    return view;
}

void KSEraserEditView::setupLook()
{
    // The editor covers the main window's panel from edge to edge.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, KSRGBHexColor(0xF6F7FB));
    setPalette(palette);
    setAutoFillBackground(true);
    m_ui->leftView->setColor(Qt::white);
    m_ui->bottomView->setColor(Qt::white);

    const QColor text = KSRGBHexColor(0x333333);
    styleTextButton(m_ui->goHomeBtn, lang("BackToHome"), text, KSRGBHexColor(0xF6F7FB), KSRGBHexColor(0xD4D4D4));
    styleTextButton(m_ui->reorderSelectedPhotoBtn, lang("LoadImg"), text, KSRGBHexColor(0xF6F7FB),
                    KSRGBHexColor(0xD4D4D4));
    styleTextButton(m_ui->savePhotoBtn, lang("Save"), Qt::white, KSRGBHexColor(0x00CC8F), KSRGBHexColor(0x00B17C));
    styleToolButton(m_ui->changeBgBtn, lang("ChangeBg"), "changeBgIconNormal", "changeBgIconHover");
    styleToolButton(m_ui->changeSizeBtn, lang("Cut"), "changeSizeIconNormal", "changeSizeIconHove");
    styleToolButton(m_ui->touchUpBtn, lang("TouchUp"), "touchUpIconNormal", "touchUpIconHover");
    m_ui->savePhotoBtn->setToolTip(KSShortcutKeys::withKeys(lang("Save"), KSShortcutKeys::save()) + QLatin1Char('\n')
                                   + KSShortcutKeys::withKeys(lang("SaveAs"), KSShortcutKeys::saveAs()));
    m_ui->reorderSelectedPhotoBtn->setToolTip(KSShortcutKeys::withKeys(lang("LoadImg"), KSShortcutKeys::open()));

    for (auto [button, image] : {std::pair{m_ui->undoBtn, "undo"}, std::pair{m_ui->redoBtn, "redo"}}) {
        button->setImage(KSImageNamed(QLatin1String(image) + QStringLiteral("Normal"), QSize(18, 18)));
        button->setHoverImage(KSImageNamed(QLatin1String(image) + QStringLiteral("Hover"), QSize(18, 18)));
        button->setBackgroundColor(KSRGBHexColor(0xF6F7FB));
        button->setBackgroundHoverColor(KSRGBHexColor(0xD4D4D4));
        button->setBorderRadius(6.0);
    }
    styleTextButton(m_ui->originalBtn, lang("ShowOriginal"), text, KSRGBHexColor(0xF6F7FB), KSRGBHexColor(0xD4D4D4));
    m_ui->originalBtn->setToolTip(lang("ShowOriginalTip"));
    m_ui->originalBtn->setFixedWidth(m_ui->originalBtn->textFiled()->sizeThatFits(QSize(300, 25)).width()
                                     + 2 * kTextButtonPadding);
    m_ui->originalLabel->setText(lang("Source"));
    KSTextStyle::apply(m_ui->originalLabel, text, 14, QFont::Medium);
    m_ui->outputLabel->setText(lang("OutputResults"));
    KSTextStyle::apply(m_ui->outputLabel, text, 14, QFont::Medium);

    // One width for the three text buttons: the widest title in this language.
    const QList<KSHoverButton *> textButtons{m_ui->goHomeBtn, m_ui->savePhotoBtn, m_ui->reorderSelectedPhotoBtn};
    int titleWidth = 0;
    for (KSHoverButton *button : textButtons)
        titleWidth = std::max(titleWidth, button->textFiled()->sizeThatFits(QSize(300, 25)).width());
    for (KSHoverButton *button : textButtons)
        button->setFixedWidth(titleWidth + 2 * kTextButtonPadding);

    const int toolWidth = toolTitleWidth({m_ui->changeBgBtn, m_ui->changeSizeBtn, m_ui->touchUpBtn});
    m_ui->leftView->setFixedWidth(std::max(kMinimumToolColumnWidth, toolWidth + 5));
}

KSEraserEditView::Mode KSEraserEditView::mode() const
{
    if (!m_layout->isPanelLayout())
        return Mode::compare;
    switch (m_panels->openTool()) {
    case KSEditToolPanels::Tool::touchUp:
        return Mode::touchUpPanel;
    case KSEditToolPanels::Tool::size:
        return Mode::sizePanel;
    default:
        return Mode::colourPanel;
    }
}

bool KSEraserEditView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == m_ui->editCenterView)
        m_layout->place();
    return QWidget::eventFilter(watched, event);
}

// ---- tools, saving and the ways out --------------------------------------------

void KSEraserEditView::actionForChnageBackground(KSHoverButton *)
{
    m_panels->toggle(KSEditToolPanels::Tool::colour);
}

void KSEraserEditView::actionForChangeSize(KSHoverButton *)
{
    m_panels->toggle(KSEditToolPanels::Tool::size);
}

void KSEraserEditView::actionForTouchUp(KSHoverButton *)
{
    m_panels->toggle(KSEditToolPanels::Tool::touchUp);
}

bool KSEraserEditView::closeOpenPanel()
{
    return m_panels->closeOpenPanel();
}

bool KSEraserEditView::setFraming(KSFitMode mode, const QString &presetKey)
{
    return m_panels->setFraming(mode, presetKey);
}

void KSEraserEditView::settleTouchUps()
{
    m_cutImageEditView->touchUpBrush()->end();
    // The subject's place and bounds as the touch-ups left them.
    if (m_document->subjectIsStale())
        m_document->settleSubject();
}

void KSEraserEditView::closeToolAfterSave()
{
    // The tool that was open is closed with its panel.
    if (!m_panels->closeOpenPanel())
        m_layout->showResult();
}

void KSEraserEditView::actionForSavePhoto(KSHoverButton *)
{
    if (m_session->isSaving() || m_session->hasLeft())
        return;
    m_session->save();
    closeToolAfterSave();
}

void KSEraserEditView::actionForSaveAs()
{
    const bool wasSaving = m_session->isSaving();
    m_session->saveAs();
    if (!wasSaving && m_session->isSaving())
        closeToolAfterSave();
}

void KSEraserEditView::copyResult()
{
    m_session->copy();
}

void KSEraserEditView::setSaveDialogRunner(SaveDialogRunner runner)
{
    KSEditSession::setSaveDialogRunner(std::move(runner));
}

void KSEraserEditView::leave(KSEditBackType type, const std::optional<QString> &path)
{
    // The closure may lead the caller far (a new job, a new screen); this
    // view stays valid until the event loop deletes it.
    if (backClosure)
        backClosure(type, path);
    KSViewAttach::removeFromSuperview(this);
}

void KSEraserEditView::actionForGoHome(KSHoverButton *)
{
    // The batch keeps the document: a stroke under way and an open
    // tool end here, so that it goes back settled.
    if (m_editsForBatch && !m_session->isSaving() && !m_session->hasLeft()) {
        closeOpenPanel();
        settleTouchUps();
    }
    m_session->goHome();
}

void KSEraserEditView::actionForReorderSelectedBtn(KSHoverButton *)
{
    if (m_editsForBatch || m_session->hasLeft() || m_session->isSaving())
        return;
    QPointer<KSEraserEditView> self(this);
    KSPhotoPicker::selectPhoto([self](const QString &path) {
        if (self)
            self->openAnotherPhoto(path);
    });
}

void KSEraserEditView::openAnotherPhoto(const QString &path)
{
    if (m_editsForBatch)
        return;
    m_session->openAnotherPhoto(path);
}

bool KSEraserEditView::hasUnsavedEdits() const
{
    return m_session->hasUnsavedEdits();
}

void KSEraserEditView::askBeforeLeaving(std::function<void()> leave)
{
    m_session->askBeforeLeaving(std::move(leave));
}

bool KSEraserEditView::isSaving() const
{
    return m_session->isSaving();
}

// ---- undo ----------------------------------------------------------------------

void KSEraserEditView::actionForUndo(KSHoverButton *)
{
    // A stroke under way is dropped rather than left half in the history.
    m_cutImageEditView->touchUpBrush()->cancel();
    m_document->undoStack()->undo();
}

void KSEraserEditView::actionForRedo(KSHoverButton *)
{
    m_cutImageEditView->touchUpBrush()->cancel();
    m_document->undoStack()->redo();
}

QUndoStack *KSEraserEditView::undoStack() const
{
    return m_document->undoStack();
}

// ---- the canvases, zoom and the before/after key --------------------------------

KSEditCanvasView *KSEraserEditView::activeCanvas()
{
    return m_layout->activeCanvas();
}

void KSEraserEditView::setShowsOriginal(bool shown)
{
    const bool result = m_layout->resultShown();
    m_cutImageEditView->setShowsOriginal(shown && !result);
    m_resultView->setShowsOriginal(shown && result);
}

QPointF KSEraserEditView::zoomAnchor(KSEditCanvasView *canvas) const
{
    const QPointF pointer = canvas->mapFromGlobal(QCursor::pos());
    return canvas->rect().contains(pointer.toPoint()) ? pointer : QPointF(canvas->rect().center());
}

void KSEraserEditView::zoomActiveCanvas(double notches)
{
    KSEditCanvasView *canvas = activeCanvas();
    canvas->zoomBy(notches, zoomAnchor(canvas));
}

void KSEraserEditView::stepBrushSize(double factor)
{
    KSTouchUpPanel *panel = touchUpPanel();
    if (mode() != Mode::touchUpPanel || !panel)
        return;
    panel->setDiameter(panel->settings().diameter * factor);
}

void KSEraserEditView::keyPressEvent(QKeyEvent *event)
{
    if (QKeySequence(event->keyCombination()) == KSShortcutKeys::showOriginal()) {
        if (!event->isAutoRepeat())
            setShowsOriginal(true);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KSEraserEditView::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == KSShortcutKeys::showOriginal()[0].key()) {
        if (!event->isAutoRepeat())
            setShowsOriginal(false);
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

// ---- elements of the interface file ------------------------------------------

KSColorView *KSEraserEditView::leftView() const { return m_ui->leftView; }
KSColorView *KSEraserEditView::bottomView() const { return m_ui->bottomView; }
KSHoverButton *KSEraserEditView::reorderSelectedPhotoBtn() const { return m_ui->reorderSelectedPhotoBtn; }
KSHoverButton *KSEraserEditView::goHomeBtn() const { return m_ui->goHomeBtn; }
KSHoverButton *KSEraserEditView::savePhotoBtn() const { return m_ui->savePhotoBtn; }
KSHoverButton *KSEraserEditView::changeBgBtn() const { return m_ui->changeBgBtn; }
KSHoverButton *KSEraserEditView::changeSizeBtn() const { return m_ui->changeSizeBtn; }
KSHoverButton *KSEraserEditView::touchUpBtn() const { return m_ui->touchUpBtn; }
KSHoverButton *KSEraserEditView::undoBtn() const { return m_ui->undoBtn; }
KSHoverButton *KSEraserEditView::redoBtn() const { return m_ui->redoBtn; }
KSHoverButton *KSEraserEditView::originalBtn() const { return m_ui->originalBtn; }
KSFlippedView *KSEraserEditView::editCenterView() const { return m_ui->editCenterView; }
QWidget *KSEraserEditView::leftSubSettingView() const { return m_ui->leftSubSettingView; }
QLabel *KSEraserEditView::originalLabel() const { return m_ui->originalLabel; }
QLabel *KSEraserEditView::outputLabel() const { return m_ui->outputLabel; }
KSEditResultView *KSEraserEditView::resultView() const
{
    return m_layout->resultShown() ? m_resultView : nullptr;
}
KSEditChangeSizeView *KSEraserEditView::letSizeSettingView() const { return m_panels->loadedSizePanel(); }
KSEditChangeBackgroundView *KSEraserEditView::changeBackgroundView() const { return m_panels->colourPanel(); }
KSTouchUpPanel *KSEraserEditView::touchUpPanel() const { return m_panels->touchUpPanel(); }
KSUnsavedEditsView *KSEraserEditView::unsavedEditsView() const { return m_session->question(); }
const std::optional<KSFaceFinder::Result> &KSEraserEditView::faces() const { return m_document->faces(); }
KSFraming::Notice KSEraserEditView::framingNotice() const { return m_document->framing().notice; }
KSIdGuideView *KSEraserEditView::cropGuideView() const { return m_layout->cropGuide(); }
