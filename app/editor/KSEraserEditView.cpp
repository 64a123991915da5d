#include "KSEraserEditView.h"

#include "ui_KSEraserEditView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSAppSetting.h"
#include "KSBackgroundColorCommand.h"
#include "KSBookmark.h"
#include "KSColorConst.h"
#include "KSColorView.h"
#include "KSDropHintView.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditChangeSizeView.h"
#include "KSFramingCommand.h"
#include "KSEditSizeOptionsView.h"
#include "KSEditGeometry.h"
#include "KSEditImageShowView.h"
#include "KSEditResultView.h"
#include "KSEditTempCleaner.h"
#include "KSFilppedImageView.h"
#include "KSEidtCutImageView.h"
#include "KSFlippedView.h"
#include "KSHoverButton.h"
#include "KSIdGuideView.h"
#include "KSImageLoader.h"
#include "KSImageDragView.h"
#include "KSImageNamed.h"
#include "KSLogCategories.h"
#include "KSMaskEditCommand.h"
#include "KSMaskedPicture.h"
#include "KSMirrorCommand.h"
#include "KSNibLoadable.h"
#include "KSNotice.h"
#include "KSPhotoPicker.h"
#include "KSSavePhotoSuccessView.h"
#include "KSShortcutKeys.h"
#include "KSSubjectPlaceCommand.h"
#include "KSTextField.h"
#include "KSTextStyle.h"
#include "KSTouchUpBrush.h"
#include "KSTouchUpLayer.h"
#include "KSTouchUpPanel.h"
#include "KSUnsavedEditsView.h"
#include "KSViewAttach.h"
#include "KSViewportGeometry.h"

#include <QAction>
#include <QCursor>
#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFuture>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPromise>
#include <QShortcut>
#include <QThreadPool>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

KSEraserEditView::SaveDialogRunner &saveDialogRunner()
{
    static KSEraserEditView::SaveDialogRunner runner;
    return runner;
}

// Room on each side of a text button's title.
constexpr int kTextButtonPadding = 16;
constexpr int kLabelGap = 10;

bool hasBackgroundSize(const QSizeF &size)
{
    return size.width() > 0 && size.height() > 0;
}

QRect centredRect(const QPointF &centre, int width, int height)
{
    return QRect(qRound(centre.x() - width / 2.0), qRound(centre.y() - height / 2.0), width, height);
}

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

// What a save writes, read from the canvas that shows the subject: its
// canvas in pixels, the subject's place on it, colour and mirror state.
KSOutputRender::Request saveRequest(KSEditCanvasView *canvas, const QSizeF &imageSize, const QSizeF &backgroundSize)
{
    KSOutputRender::Request request;
    request.imageSize = imageSize;
    request.subjectRect = KSEditGeometry::subjectRect(canvas->imageDragView()->frame(), canvas->imageScale());
    request.backgroundColor = canvas->changeBackgroundColor();
    request.backgroundSize = backgroundSize;
    request.maxSide = KSAppSetting::outputSize();
    request.isMirrorImage = canvas->imageDragView()->isMirrorImage();
    return request;
}

// The canvases place the subject from eraserCropRect at every layout, while
// a drag moves only the drag view: the rectangle follows the drag view here,
// so that no later layout (a resize, a colour, a mode) puts a moved subject
// back. Any layout leaves the two in step, so this is safe at any time.
void keepSubjectPlace(KSEditCanvasView *canvas)
{
    if (canvas->imageScale() > 0)
        canvas->setEraserCropRect(KSEditGeometry::subjectRect(canvas->imageDragView()->frame(), canvas->imageScale()));
}

// The subject's picture as one canvas shows it, mirror state included.
void copySubjectPicture(KSEditCanvasView *from, KSEditCanvasView *to)
{
    to->imageDragView()->takePicture(*from->imageDragView());
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

void relayout(KSEditCanvasView *canvas)
{
    keepSubjectPlace(canvas);
    canvas->updateCanvasLayout();
}

} // namespace

KSEraserEditView::KSEraserEditView(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::KSEraserEditView>())
{
    m_ui->setupUi(this);
    setupLook();
    m_ui->editCenterView->installEventFilter(this);

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

    m_undoStack = new QUndoStack(this);
    connect(m_undoStack, &QUndoStack::indexChanged, this, &KSEraserEditView::updateUndoButtons);
    connect(m_undoStack, &QUndoStack::cleanChanged, this, &KSEraserEditView::updateUndoButtons);
    setupActions();
    updateUndoButtons();
    // Keys (the before/after key, shortcuts) reach the editor when nothing
    // inside it has the focus.
    setFocusPolicy(Qt::StrongFocus);

    applyCompareLayout();
    wartMarkImageView()->show();

    setupShortcuts();
    KSDropHintView::Target drops;
    drops.accepts = [this] { return !m_saving && !m_left; };
    drops.text = [](const QPoint &) { return lang("DropHintEditor"); };
    drops.dropped = [this](const QString &path, const QPoint &) {
        KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(path);
        openAnotherPhoto(path);
    };
    m_dropHint = KSDropHintView::install(this, std::move(drops));
    // The editor's keys work while the focus is in it.
    setFocusPolicy(Qt::StrongFocus);
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

void KSEraserEditView::updateUndoButtons()
{
    m_ui->undoBtn->setEnabled(m_undoStack->canUndo());
    m_ui->redoBtn->setEnabled(m_undoStack->canRedo());
    const auto tip = [](const char *key, const QString &what, const QKeySequence &keys) {
        QString text = lang(key);
        if (!what.isEmpty())
            text += QStringLiteral(": ") + what;
        return KSShortcutKeys::withKeys(text, keys);
    };
    m_ui->undoBtn->setToolTip(tip("Undo", m_undoStack->undoText(), KSShortcutKeys::undo()));
    m_ui->redoBtn->setToolTip(tip("Redo", m_undoStack->redoText(), KSShortcutKeys::redo()));
}

KSEraserEditView::~KSEraserEditView()
{
    // The stack's last signals must not reach a half-destroyed editor.
    m_undoStack->disconnect(this);
    // Closed with the window while still shown: nobody else will ever
    // delete the files this editor owns.
    if (!m_left)
        KSEditTempCleaner::removeFiles({m_cutImageEditView ? m_cutImageEditView->tempCropImagePath().value_or(QString())
                                                           : QString(),
                                        m_eraserImagePath.value_or(QString())});
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
    view->originalImageEditView()->setImagePath(originalImagePath);
    view->m_eraserImagePath = eraserImagePath;
    KSEidtCutImageView *crop = view->cutImageEditView();
    crop->setImagePath(eraserImagePath);
    crop->loadCutImage();
    crop->loadPhotoColours(originalImagePath);
    crop->updateCanvasLayout();
    view->setFocus(Qt::OtherFocusReason);
    // Ready by the time an ID size is chosen, in most cases.
    view->startFaceSearch();
    if (closure) {
        view->backClosure = [closure = std::move(closure)](KSEditBackType type, const std::optional<QString> &path) {
            closure(type, path);
        };
    }
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

KSEditImageShowView *KSEraserEditView::originalImageEditView()
{
    if (!m_originalImageEditView) {
        m_originalImageEditView = new KSEditImageShowView(m_ui->editCenterView);
        m_originalImageEditView->setGeometry(QRect());
        m_originalImageEditView->show();
    }
    return m_originalImageEditView;
}

KSEidtCutImageView *KSEraserEditView::cutImageEditView()
{
    if (!m_cutImageEditView) {
        m_cutImageEditView = new KSEidtCutImageView(m_ui->editCenterView);
        m_cutImageEditView->installEventFilter(this);
        m_cutImageEditView->setGeometry(QRect());
        m_cutImageEditView->show();
        connectCanvas(m_cutImageEditView);
        m_cutImageEditView->touchUpBrush()->editClosure = [this](KSMaskEdit edit, const KSBrushSettings &settings) {
            pushMaskEdit(std::move(edit), settings);
        };
    }
    return m_cutImageEditView;
}

QLabel *KSEraserEditView::wartMarkImageView()
{
    if (!m_wartMarkImageView) {
        const bool chinese = KSAppSetting::appLanguage() == QLatin1String("ChineseSimplified");
        const QPixmap mark = KSImageNamed(chinese ? QStringLiteral("watermarkzhongwen") : QStringLiteral("watermarkyingwen"));
        m_wartMarkImageView = new QLabel(m_ui->editCenterView);
        m_wartMarkImageView->setObjectName(QStringLiteral("wartMarkImageView"));
        m_wartMarkImageView->setPixmap(mark);
        m_wartMarkImageView->resize(mark.deviceIndependentSize().toSize());
        // Shown over the subject, never in the way of dragging it.
        m_wartMarkImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
        placeWatermark();
    }
    return m_wartMarkImageView;
}

KSEraserEditView::Mode KSEraserEditView::mode() const
{
    if (!m_panelLayout)
        return Mode::compare;
    if (m_ui->touchUpBtn->isSelected())
        return Mode::touchUpPanel;
    return m_ui->changeSizeBtn->isSelected() ? Mode::sizePanel : Mode::colourPanel;
}

bool KSEraserEditView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_ui->editCenterView)
            placeCentreViews();
        // Before the canvas's own layout runs for its new size.
        else if (auto *canvas = qobject_cast<KSEditCanvasView *>(watched))
            keepSubjectPlace(canvas);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- layouts ---------------------------------------------------------------

void KSEraserEditView::placeCentreViews()
{
    const QRect centre = m_ui->editCenterView->rect();
    const QPointF middle(centre.width() / 2.0, centre.height() / 2.0);
    KSEidtCutImageView *crop = cutImageEditView();
    if (m_panelLayout) {
        originalImageEditView()->setGeometry(centre);
        const QSize panel =
            KSViewportGeometry::panelViewSize(centre.size(), QSize(kPanelCropViewWidth, kPanelCropViewHeight));
        crop->setGeometry(centredRect(middle, panel.width(), panel.height()));
    } else {
        // The previews grow with the window.
        const QSize compare =
            KSViewportGeometry::compareViewSize(centre.size(), QSize(kCompareViewWidth, kCompareViewHeight));
        originalImageEditView()->setGeometry(
            centredRect(QPointF(middle.x() / 2.0, middle.y()), compare.width(), compare.height()));
        crop->setGeometry(centredRect(QPointF(middle.x() * 1.5, middle.y()), compare.width(), compare.height()));
        const auto placeLabel = [](QLabel *label, const QRect &image) {
            label->adjustSize();
            label->move(image.center().x() + 1 - label->width() / 2, image.top() - kLabelGap - label->height());
        };
        placeLabel(m_ui->originalLabel, originalImageEditView()->geometry());
        placeLabel(m_ui->outputLabel, crop->geometry());
    }
    if (m_resultView)
        m_resultView->setGeometry(crop->geometry());
    placeWatermark();
}

void KSEraserEditView::placeWatermark()
{
    if (!m_wartMarkImageView)
        return;
    const QRect over = m_resultView ? m_resultView->geometry() : cutImageEditView()->geometry();
    m_wartMarkImageView->move(over.center().x() + 1 - m_wartMarkImageView->width() / 2,
                              over.center().y() + 1 - m_wartMarkImageView->height() / 2);
    m_wartMarkImageView->raise();
    // Never over what the brush works on or what a zoom looks into.
    const bool inTheWay = mode() == Mode::touchUpPanel || activeCanvas()->isZoomedIn();
    m_wartMarkImageView->setVisible(!inTheWay);
}

void KSEraserEditView::setLabelsVisible(bool visible)
{
    m_ui->originalLabel->setVisible(visible);
    m_ui->outputLabel->setVisible(visible);
}

void KSEraserEditView::applyCompareLayout()
{
    // The subject may have been moved on the result canvas, which goes now.
    handBackCropRect();
    m_panelLayout = false;
    originalImageEditView()->show();
    KSEidtCutImageView *crop = cutImageEditView();
    crop->show();
    setCropChangeType(KSChangeType::none);
    setPanelHostWidth(0);
    setLabelsVisible(true);
    releaseResultView();
    placeCentreViews();
    relayout(crop);
    updateGuides();
}

void KSEraserEditView::applyPanelLayout()
{
    m_panelLayout = true;
    originalImageEditView()->hide();
    setLabelsVisible(false);
    placeCentreViews();
}

void KSEraserEditView::releaseResultView()
{
    if (!m_resultView)
        return;
    KSEditResultView *canvas = m_resultView;
    m_resultView = nullptr;
    KSViewAttach::removeFromSuperview(canvas);
}

void KSEraserEditView::runResultCanvasStep()
{
    KSEidtCutImageView *crop = cutImageEditView();
    const QSizeF background = crop->changeBackgroundSize();
    const std::optional<QSizeF> cutSize = crop->imageSize();
    if (!hasBackgroundSize(background) || !cutSize)
        return;
    // The crop view's scale and subject frame for its present size.
    relayout(crop);
    const double scale = crop->imageScale();
    if (scale <= 0)
        return;
    const QRectF fitted = KSEditGeometry::fitRect(*cutSize, background);

    releaseResultView();
    auto *canvas = new KSEditResultView(m_ui->editCenterView);
    canvas->setObjectName(QStringLiteral("resultView"));
    canvas->installEventFilter(this);
    connectCanvas(canvas);
    canvas->setChangeBackgroundColor(crop->changeBackgroundColor());
    copySubjectPicture(crop, canvas);
    if (crop->maskedPicture())
        canvas->setOriginalPicture(crop->maskedPicture(), fitted);
    canvas->setShowsOriginal(m_showsOriginal);
    canvas->setEraserCropRect(
        KSEditGeometry::resultCanvasCropRect(crop->imageDragView()->frame(), scale, fitted.topLeft()));
    canvas->setImageSize(fitted.size());
    canvas->setGeometry(crop->geometry());
    canvas->updateCanvasLayout();
    canvas->show();
    m_resultView = canvas;

    crop->hide();
    updateGuides();
    placeWatermark();
}

void KSEraserEditView::handBackCropRect()
{
    KSEidtCutImageView *crop = cutImageEditView();
    const std::optional<QSizeF> cutSize = crop->imageSize();
    if (!m_resultView || !hasBackgroundSize(crop->changeBackgroundSize()) || !cutSize
        || m_resultView->imageScale() <= 0)
        return;
    crop->setEraserCropRect(KSEditGeometry::handBackCropRect(m_resultView->imageDragView()->frame(),
                                                             m_resultView->imageScale(), m_resultView->imageSize(),
                                                             *cutSize));
    // A mirror made on the canvas goes back with the subject.
    copySubjectPicture(m_resultView, crop);
    crop->updateCanvasLayout();
}

// ---- panel host --------------------------------------------------------------

void KSEraserEditView::setPanelHostWidth(int width)
{
    m_ui->leftSubSettingView->setFixedWidth(width);
}

void KSEraserEditView::clearPanelHost(QWidget *keep)
{
    QLayout *host = m_ui->leftSubSettingView->layout();
    const QList<QWidget *> panels = m_ui->leftSubSettingView->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *panel : panels) {
        if (panel == keep)
            continue;
        host->removeWidget(panel);
        panel->hide();
        // The size and touch-up panels are kept for their next opening; the
        // colour panel is made anew.
        if (panel != m_letSizeSettingView && panel != m_touchUpPanel)
            panel->deleteLater();
    }
}

void KSEraserEditView::showInPanelHost(QWidget *panel)
{
    m_ui->leftSubSettingView->layout()->addWidget(panel);
    panel->show();
}

void KSEraserEditView::actionForChnageBackground(KSHoverButton *)
{
    toggleTool(m_ui->changeBgBtn, &KSEraserEditView::openColourPanel);
}

void KSEraserEditView::actionForChangeSize(KSHoverButton *)
{
    toggleTool(m_ui->changeSizeBtn, &KSEraserEditView::openSizePanel);
}

void KSEraserEditView::actionForTouchUp(KSHoverButton *)
{
    toggleTool(m_ui->touchUpBtn, &KSEraserEditView::openTouchUpPanel);
}

void KSEraserEditView::toggleTool(KSHoverButton *pressed, void (KSEraserEditView::*open)())
{
    const bool select = !pressed->isSelected();
    // The touch-up mode ends before any other layout is built.
    if (mode() == Mode::touchUpPanel)
        setCropChangeType(KSChangeType::none);
    for (KSHoverButton *button : {m_ui->changeBgBtn, m_ui->changeSizeBtn, m_ui->touchUpBtn})
        button->setSelected(button == pressed && select);
    setLabelsVisible(false);
    if (pressed->isSelected())
        (this->*open)();
    else
        closePanel();
}

void KSEraserEditView::openColourPanel()
{
    KSEidtCutImageView *crop = cutImageEditView();
    setPanelHostWidth(kColourPanelWidth);
    applyPanelLayout();
    setCropChangeType(KSChangeType::background);

    auto *panel = loadViewFromNib<KSEditChangeBackgroundView>();
    if (!panel) {
        CommLog::E(QStringLiteral("editor: the background colour panel cannot be built"));
        runResultCanvasStep();
        return;
    }
    // Marks the preset of the colour the subject already has (transparent
    // for the clear colour, "More" for a colour no preset has).
    panel->setDefaultColor(crop->changeBackgroundColor());
    handBackCropRect();

    clearPanelHost();
    showInPanelHost(panel);
    m_changeBackgroundView = panel;

    QPointer<KSEraserEditView> self(this);
    QPointer<KSEditChangeBackgroundView> weakPanel(panel);
    panel->returnClosure = [self, weakPanel](const KSColor &color) {
        if (!self)
            return;
        const KSColor before = self->cutImageEditView()->changeBackgroundColor();
        if (color == before)
            return;
        // The colour dialog reports every step of a drag: one undo step.
        const bool fromDialog = weakPanel && weakPanel->selectedIndex() >= 0
            && weakPanel->selectedIndex() < weakPanel->numberOfItems()
            && weakPanel->dataArray().at(weakPanel->selectedIndex()).hex == KSEditChangeBackgroundItem::kMoreColorsHex;
        self->m_undoStack->push(new KSBackgroundColorCommand(self, before, color,
                                                             fromDialog && !self->m_undoStack->isClean(),
                                                             lang("EditColour")));
    };
    runResultCanvasStep();
}

KSEditChangeSizeView *KSEraserEditView::sizePanel()
{
    if (!m_sizePanelTried) {
        m_sizePanelTried = true;
        m_letSizeSettingView = loadViewFromNib<KSEditChangeSizeView>(m_ui->leftSubSettingView);
        if (m_letSizeSettingView) {
            m_letSizeSettingView->hide();
            m_letSizeSettingView->setFitMode(KSFraming::storedFitMode());
        } else
            CommLog::E(QStringLiteral("editor: the size panel cannot be built"));
    }
    return m_letSizeSettingView;
}

void KSEraserEditView::openSizePanel()
{
    KSEditChangeSizeView *panel = sizePanel();
    if (!panel)
        return;
    handBackCropRect();
    setPanelHostWidth(panel->calculativeWidth());

    KSEidtCutImageView *crop = cutImageEditView();
    applyPanelLayout();
    crop->show();
    releaseResultView();
    setCropChangeType(KSChangeType::size);

    clearPanelHost(panel);
    showInPanelHost(panel);

    QPointer<KSEraserEditView> self(this);
    panel->returnClosure = [self](double width, double height) {
        if (!self)
            return;
        qCDebug(lcEditor).noquote() << QStringLiteral("showChangeSizeView size = %1 x %2").arg(width).arg(height);
        const KSFramingCommand::State before = self->framingState();
        self->cutImageEditView()->setChangeBackgroundSize(QSizeF(width, height));
        self->applyFraming();
        self->pushFraming(before, lang("EditSize"));
    };
    panel->optionsView()->fitModeClosure = [self](KSFitMode mode) {
        KSFraming::storeFitMode(mode);
        if (!self)
            return;
        const KSFramingCommand::State before = self->framingState();
        self->applyFraming();
        self->pushFraming(before, lang("EditFraming"));
    };
    panel->optionsView()->printSheetClosure = [self](KSPrintSheet::Paper paper) {
        if (self)
            self->savePrintSheet(paper);
    };
    // The size frame shows from the first moment the panel is open.
    relayout(crop);
    updateGuides();
    placeWatermark();
}

void KSEraserEditView::openTouchUpPanel()
{
    if (!m_touchUpPanel) {
        m_touchUpPanel = loadViewFromNib<KSTouchUpPanel>(m_ui->leftSubSettingView);
        if (!m_touchUpPanel) {
            CommLog::E(QStringLiteral("editor: the touch-up panel cannot be built"));
            return;
        }
        m_touchUpPanel->hide();
        QPointer<KSEraserEditView> self(this);
        m_touchUpPanel->returnClosure = [self](const KSBrushSettings &settings) {
            if (self)
                self->cutImageEditView()->setBrushSettings(settings);
        };
    }
    handBackCropRect();
    setPanelHostWidth(KSTouchUpPanel::kPanelWidth);
    KSEidtCutImageView *crop = cutImageEditView();
    applyPanelLayout();
    crop->show();
    releaseResultView();
    crop->setBrushSettings(m_touchUpPanel->settings());
    setCropChangeType(KSChangeType::touchUp);

    clearPanelHost(m_touchUpPanel);
    showInPanelHost(m_touchUpPanel);
    relayout(crop);
    placeWatermark();
}

void KSEraserEditView::setCropChangeType(KSChangeType type)
{
    KSEidtCutImageView *crop = cutImageEditView();
    const bool leavingTouchUp = crop->changeType() == KSChangeType::touchUp && type != KSChangeType::touchUp;
    crop->setChangeType(type);
    if (leavingTouchUp && m_maskChanged)
        refreshSubject();
}

bool KSEraserEditView::setFraming(KSFitMode mode, const QString &presetKey)
{
    KSEditChangeSizeView *panel = sizePanel();
    if (!panel)
        return false;
    const KSFitMode before = panel->fitMode();
    panel->setFitMode(mode);
    if (panel->choosePreset(presetKey))
        return true;
    panel->setFitMode(before);
    return false;
}

// ---- framing -----------------------------------------------------------------

void KSEraserEditView::startFaceSearch()
{
    const QString path = m_eraserImagePath.value_or(QString());
    auto promise = std::make_shared<QPromise<KSFaceFinder::Result>>();
    // Dropped when the editor is gone by then.
    promise->future().then(this, [this](const KSFaceFinder::Result &result) {
        m_faces = result;
        if (!result.ok())
            CommLog::E(QStringLiteral("editor: faces not looked for: ") + result.error);
        if (m_framingAwaitsFaces && mode() == Mode::sizePanel) {
            applyFraming();
            // The size the user chose, framed now with the faces: its undo
            // step keeps the better place.
            const int top = m_undoStack->index() - 1;
            if (top >= 0 && top == m_undoStack->count() - 1) {
                if (auto *step = dynamic_cast<const KSFramingCommand *>(m_undoStack->command(top)))
                    const_cast<KSFramingCommand *>(step)->setAfter(framingState());
            }
        }
    });
    promise->start();
    QThreadPool::globalInstance()->start([promise, path] {
        KSFaceFinder::Result result;
        try {
            const KSImageLoader::Result loaded = KSImageLoader::load(path);
            if (loaded.ok())
                result = KSFaceFinder::find(loaded.image);
            else
                result.error = loaded.error;
        } catch (const std::bad_alloc &) {
            result.error = QStringLiteral("not enough memory to look for faces");
        }
        promise->addResult(result);
        promise->finish();
    });
}

void KSEraserEditView::applyFraming()
{
    KSEidtCutImageView *crop = cutImageEditView();
    if (m_letSizeSettingView)
        m_framedFitMode = m_letSizeSettingView->fitMode();
    const std::optional<QSizeF> photoSize = crop->imageSize();
    // The subject's bounds as the touch-ups left them.
    const QRectF subjectBounds(crop->subjectBounds());
    if (!m_letSizeSettingView || !photoSize || subjectBounds.isEmpty()) {
        relayout(crop);
        return;
    }
    KSFraming::Input input;
    input.photoSize = *photoSize;
    input.subjectBounds = subjectBounds;
    input.preset = m_letSizeSettingView->chosenItem();
    // A size set other than by a row (a restore, a test) frames plainly.
    const QSizeF background = crop->changeBackgroundSize();
    if (background != QSizeF(double(input.preset.width), double(input.preset.height))) {
        input.preset = KSEditChangeSizeItem();
        input.preset.width = qint64(background.width());
        input.preset.height = qint64(background.height());
    }
    input.mode = m_letSizeSettingView->fitMode();
    input.faces = m_faces;
    const KSFraming::Result framed = KSFraming::frame(input);
    m_framingAwaitsFaces = KSFraming::placesHead(input.preset, input.mode) && !m_faces;
    m_framingNotice = framed.notice;
    m_letSizeSettingView->optionsView()->setNotice(KSFraming::noticeText(framed.notice));
    crop->setEraserCropRect(framed.subjectRect);
    crop->updateCanvasLayout();
    updateGuides();
}

void KSEraserEditView::updateGuides()
{
    const std::optional<KSEditChangeSizeItem> preset =
        m_letSizeSettingView ? std::optional(m_letSizeSettingView->chosenItem()) : std::nullopt;
    const QSizeF background = cutImageEditView()->changeBackgroundSize();
    // The guide belongs to an ID size framed by its rule, and only while
    // the frame shown is that size's.
    const bool guided = preset && KSFraming::placesHead(*preset, m_letSizeSettingView->fitMode())
                        && background == QSizeF(double(preset->width), double(preset->height));
    const auto place = [&](QPointer<KSIdGuideView> &guide, KSEditCanvasView *canvas, bool shown) {
        if (!shown) {
            if (guide)
                guide->hide();
            return;
        }
        if (!guide)
            guide = new KSIdGuideView(canvas->imageView());
        guide->setGuide(*preset->idRule, preset->printSizeMm, background);
        guide->show();
    };
    place(m_cropGuide, cutImageEditView(), guided && mode() == Mode::sizePanel);
    if (m_resultView)
        place(m_resultGuide, m_resultView, guided);
}

void KSEraserEditView::closePanel()
{
    setPanelHostWidth(0);
    clearPanelHost();
    applyCompareLayout();
    runResultCanvasStep();
}

// ---- save and the ways out -------------------------------------------------

KSOutputRender::Request KSEraserEditView::currentSaveRequest()
{
    KSEidtCutImageView *crop = cutImageEditView();
    KSOutputRender::Request request =
        m_resultView ? saveRequest(m_resultView, m_resultView->imageSize(), crop->changeBackgroundSize())
                     : saveRequest(crop, crop->imageSize().value_or(QSizeF()), crop->changeBackgroundSize());
    // The chosen preset's printed size, while the frame is that preset's.
    if (m_letSizeSettingView) {
        const KSEditChangeSizeItem preset = m_letSizeSettingView->chosenItem();
        if (preset.hasPrintSize() && request.backgroundSize == QSizeF(double(preset.width), double(preset.height)))
            request.printSizeMm = preset.printSizeMm;
    }
    return request;
}

void KSEraserEditView::startSaving(const KSOutputRender::Request &request, std::optional<KSPrintSheet::Paper> sheet)
{
    KSEidtCutImageView *crop = cutImageEditView();
    const QString subjectPath = crop->tempCropImagePath().value_or(QString());
    const QString baseName = QFileInfo(crop->imagePath().value_or(QString())).completeBaseName();
    KSOutputSaver::Job job = KSOutputSaver::prepare(subjectPath, baseName, request);
    job.sheet = sheet;
    runSave(job);
}

void KSEraserEditView::runSave(const KSOutputSaver::Job &job)
{
    // The file is written off the GUI thread; the ways out wait for it, since
    // leaving deletes the subject file it is read from.
    m_saving = true;
    m_savingIndex = m_undoStack->index();
    for (KSHoverButton *button : {m_ui->savePhotoBtn, m_ui->goHomeBtn, m_ui->reorderSelectedPhotoBtn})
        button->setEnabled(false);
    KSOutputSaver::runAsync(withEditedSubject(job), this,
                            [this](const KSOutputSaver::Result &result) { saveFinished(result); });
}

KSOutputSaver::Job KSEraserEditView::withEditedSubject(KSOutputSaver::Job job)
{
    KSEidtCutImageView *crop = cutImageEditView();
    if (const std::shared_ptr<KSMaskedPicture> picture = crop->maskedPicture()) {
        // Copies share the pixels; an edit made meanwhile does not reach them.
        job.makeSubject = [colours = picture->colours(), mask = picture->mask(), bounds = crop->subjectBounds()] {
            return KSMaskedPicture::subjectImage(colours, mask, bounds);
        };
    }
    return job;
}

void KSEraserEditView::settleTouchUps()
{
    cutImageEditView()->touchUpBrush()->end();
    // The subject's place and bounds as the touch-ups left them.
    if (m_maskChanged)
        refreshSubject();
}

void KSEraserEditView::savePrintSheet(KSPrintSheet::Paper paper)
{
    if (m_saving)
        return;
    settleTouchUps();
    const KSOutputRender::Request request = currentSaveRequest();
    // The button shows only for a printed size; a custom size in pixels has none.
    if (request.printSizeMm.isEmpty()) {
        KSSavePhotoSuccessView::showSaveFailedView(parentWidget() ? parentWidget() : this,
                                                  QStringLiteral("the chosen size has no printed size"));
        return;
    }
    startSaving(request, paper);
}

void KSEraserEditView::actionForSavePhoto(KSHoverButton *)
{
    if (m_saving)
        return;
    settleTouchUps();
    startSaving(currentSaveRequest(), std::nullopt);
    closeToolAfterSave();
}

void KSEraserEditView::actionForSaveAs()
{
    if (m_saving || m_left)
        return;
    settleTouchUps();
    KSEidtCutImageView *crop = cutImageEditView();
    const KSOutputRender::Request request = currentSaveRequest();
    const bool transparent = request.backgroundColor == KSClear_Color();
    const QString format = KSOutputSaver::outputFormat(request.backgroundColor);
    const QString baseName = QFileInfo(crop->imagePath().value_or(QString())).completeBaseName();

    QFileDialog dialog(window(), lang("SaveAs"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters{QStringLiteral("PNG (*.png)")};
    // JPEG has no transparency: it is offered for a coloured background only.
    if (!transparent)
        filters << QStringLiteral("JPEG (*.jpg *.jpeg)");
    if (format == QLatin1String("jpg"))
        std::swap(filters.first(), filters.last());
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(format);
    dialog.setDirectory(KSAppSetting::outputDirectory());
    dialog.selectFile(baseName + QLatin1Char('.') + format);
    dialog.setWindowModality(Qt::WindowModal);

    QString target;
    if (saveDialogRunner())
        target = saveDialogRunner()(dialog);
    else if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        target = dialog.selectedFiles().constFirst();
    if (target.isEmpty() || m_saving || m_left)
        return;
    runSave(KSOutputSaver::prepareAs(crop->tempCropImagePath().value_or(QString()), target, request));
    closeToolAfterSave();
}

void KSEraserEditView::closeToolAfterSave()
{
    // The tool that was open is closed with its panel.
    if (mode() == Mode::touchUpPanel)
        setCropChangeType(KSChangeType::none);
    for (KSHoverButton *button : {m_ui->changeBgBtn, m_ui->changeSizeBtn, m_ui->touchUpBtn})
        button->setSelected(false);
    clearPanelHost();
    applyCompareLayout();
    runResultCanvasStep();
}

void KSEraserEditView::copyResult()
{
    if (m_left)
        return;
    settleTouchUps();
    KSOutputSaver::Job job = withEditedSubject(KSOutputSaver::prepare(
        cutImageEditView()->tempCropImagePath().value_or(QString()), QString(), currentSaveRequest()));
    // The clipboard keeps transparency whatever the output format setting.
    job.format = QStringLiteral("png");
    QPointer<KSEraserEditView> self(this);
    QThreadPool::globalInstance()->start([self, job] {
        QString error;
        const QImage picture = KSOutputSaver::render(job, &error);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, picture, error] {
            if (picture.isNull()) {
                CommLog::E(QStringLiteral("editor: the result could not be copied: ") + error);
                KSNotice::post({lang("Tip"), lang("CopyFailed"), error});
            } else {
                QGuiApplication::clipboard()->setImage(picture);
                CommLog::I(QStringLiteral("editor: the result is on the clipboard"));
            }
            if (self)
                emit self->copyDidFinish(!picture.isNull());
        }, Qt::QueuedConnection);
    });
}

bool KSEraserEditView::closeOpenPanel()
{
    if (!m_panelLayout)
        return false;
    for (KSHoverButton *button : {m_ui->changeBgBtn, m_ui->changeSizeBtn, m_ui->touchUpBtn})
        button->setSelected(false);
    closePanel();
    return true;
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

void KSEraserEditView::setSaveDialogRunner(SaveDialogRunner runner)
{
    saveDialogRunner() = std::move(runner);
}

void KSEraserEditView::saveFinished(const KSOutputSaver::Result &result)
{
    m_saving = false;
    for (KSHoverButton *button : {m_ui->savePhotoBtn, m_ui->goHomeBtn, m_ui->reorderSelectedPhotoBtn})
        button->setEnabled(true);
    std::function<void()> afterSave = std::exchange(m_afterSave, {});
    QWidget *host = parentWidget() ? parentWidget() : this;
    if (result.ok()) {
        CommLog::I(QStringLiteral("editor: saved ") + result.path);
        // Clean only if nothing was edited while the file was written.
        if (m_undoStack->index() == m_savingIndex)
            m_undoStack->setClean();
        if (!afterSave)
            KSSavePhotoSuccessView::showSaveSuccessView(host, result.path);
    } else {
        afterSave = {};
        KSSavePhotoSuccessView::showSaveFailedView(host, result.error);
    }
    emit saveDidFinish(result.path, result.error);
    // The way out that waited for this save.
    if (afterSave)
        afterSave();
}

void KSEraserEditView::leave(KSEditBackType type, const std::optional<QString> &path)
{
    m_left = true;
    // The closure may lead the caller far (a new job, a new screen); this
    // view stays valid until the event loop deletes it.
    if (backClosure)
        backClosure(type, path);
    KSViewAttach::removeFromSuperview(this);
}

void KSEraserEditView::actionForGoHome(KSHoverButton *)
{
    if (m_left || m_saving)
        return;
    QPointer<KSEraserEditView> self(this);
    askBeforeLeaving([self] {
        if (self)
            self->goHome();
    });
}

void KSEraserEditView::goHome()
{
    if (m_left || m_saving)
        return;
    const QString subjectFile = cutImageEditView()->tempCropImagePath().value_or(QString());
    const QString cutoutFile = m_eraserImagePath.value_or(QString());
    leave(KSEditBackType::goHome, std::nullopt);
    KSEditTempCleaner::removeFilesLater({subjectFile, cutoutFile});
}

void KSEraserEditView::actionForReorderSelectedBtn(KSHoverButton *)
{
    if (m_left || m_saving)
        return;
    QPointer<KSEraserEditView> self(this);
    KSPhotoPicker::selectPhoto([self](const QString &path) {
        if (self)
            self->openAnotherPhoto(path);
    });
}

// ---- undo and the edits ------------------------------------------------------

void KSEraserEditView::actionForUndo(KSHoverButton *)
{
    // A stroke under way is dropped rather than left half in the history.
    cutImageEditView()->touchUpBrush()->cancel();
    m_undoStack->undo();
}

void KSEraserEditView::actionForRedo(KSHoverButton *)
{
    cutImageEditView()->touchUpBrush()->cancel();
    m_undoStack->redo();
}

bool KSEraserEditView::hasUnsavedEdits() const
{
    return !m_editsDiscarded && !m_undoStack->isClean();
}

void KSEraserEditView::askBeforeLeaving(std::function<void()> leave)
{
    if (!hasUnsavedEdits()) {
        leave();
        return;
    }
    if (m_question)
        return;
    QPointer<KSEraserEditView> self(this);
    QWidget *host = parentWidget() ? parentWidget() : this;
    m_question = KSUnsavedEditsView::ask(host, [self, leave](KSUnsavedEditsView::Answer answer) {
        if (!self)
            return;
        switch (answer) {
        case KSUnsavedEditsView::Answer::cancel:
            break;
        case KSUnsavedEditsView::Answer::discard:
            self->m_editsDiscarded = true;
            leave();
            break;
        case KSUnsavedEditsView::Answer::save:
            self->m_afterSave = leave;
            self->actionForSavePhoto();
            break;
        }
    });
    // No question can be shown: leaving must not lose the edits silently.
    if (!m_question)
        CommLog::E(QStringLiteral("editor: the unsaved-edits question cannot be shown; staying"));
}

KSEditCanvasView *KSEraserEditView::activeCanvas()
{
    if (m_resultView)
        return m_resultView;
    return cutImageEditView();
}

void KSEraserEditView::setShowsOriginal(bool shown)
{
    m_showsOriginal = shown;
    cutImageEditView()->setShowsOriginal(shown && !m_resultView);
    if (m_resultView)
        m_resultView->setShowsOriginal(shown);
}

void KSEraserEditView::connectCanvas(KSEditCanvasView *canvas)
{
    connect(canvas, &KSEditCanvasView::subjectMoved, this,
            [this, canvas](const QRectF &before, const QRectF &after) { subjectMovedOn(canvas, before, after); });
    connect(canvas, &KSEditCanvasView::subjectMirrored, this,
            [this](bool mirrored) { m_undoStack->push(new KSMirrorCommand(this, mirrored, lang("EditMirror"))); });
    connect(canvas, &KSEditCanvasView::viewportChanged, this, &KSEraserEditView::placeWatermark);
}

QPointF KSEraserEditView::resultCanvasOrigin()
{
    KSEidtCutImageView *crop = cutImageEditView();
    const std::optional<QSizeF> cutSize = crop->imageSize();
    if (!cutSize)
        return {};
    return KSEditGeometry::fitRect(*cutSize, crop->changeBackgroundSize()).topLeft();
}

void KSEraserEditView::subjectMovedOn(KSEditCanvasView *canvas, const QRectF &before, const QRectF &after)
{
    // Kept in cut-out pixels, so that the step means the same on either canvas.
    const QPointF origin = canvas == m_resultView ? resultCanvasOrigin() : QPointF();
    canvas->setEraserCropRect(after);
    const QString text = before.size() == after.size() ? lang("EditMove") : lang("EditResize");
    m_undoStack->push(
        new KSSubjectPlaceCommand(this, before.translated(origin), after.translated(origin), text));
}

void KSEraserEditView::pushMaskEdit(KSMaskEdit edit, const KSBrushSettings &settings)
{
    m_maskChanged = true;
    m_undoStack->push(new KSMaskEditCommand(this, std::move(edit), strokeText(settings)));
    if (mode() != Mode::touchUpPanel)
        refreshSubject();
}

void KSEraserEditView::applyMaskEdit(KSMaskEdit &edit)
{
    KSEidtCutImageView *crop = cutImageEditView();
    const std::shared_ptr<KSMaskedPicture> picture = crop->maskedPicture();
    if (!picture)
        return;
    crop->touchUpBrush()->cancel();
    const QList<QRect> changed = picture->store().apply(edit);
    picture->maskChanged(changed);
    m_maskChanged = true;
    if (crop->changeType() == KSChangeType::touchUp) {
        for (const QRect &rect : changed)
            crop->touchUpLayer()->updatePictureRect(rect);
    } else {
        refreshSubject();
    }
}

void KSEraserEditView::refreshSubject()
{
    m_maskChanged = false;
    KSEidtCutImageView *crop = cutImageEditView();
    const std::shared_ptr<KSMaskedPicture> picture = crop->maskedPicture();
    if (!picture)
        return;
    const QRect before = crop->subjectBounds();
    const QRect after = picture->visibleBounds();
    const bool mirrored = crop->imageDragView()->isMirrorImage();
    const QList<KSEditCanvasView *> canvases{crop, m_resultView.data()};
    for (KSEditCanvasView *canvas : canvases) {
        if (!canvas)
            continue;
        keepSubjectPlace(canvas);
        // Every pixel that stays is shown where it was.
        canvas->setEraserCropRect(
            KSViewportGeometry::remappedSubjectRect(canvas->eraserCropRect(), before, after, mirrored));
    }
    crop->setSubjectBounds(after);
    crop->updateCanvasLayout();
    if (m_resultView) {
        copySubjectPicture(crop, m_resultView);
        m_resultView->updateCanvasLayout();
    }
}

void KSEraserEditView::applySubjectRect(const QRectF &cropRect)
{
    KSEidtCutImageView *crop = cutImageEditView();
    crop->setEraserCropRect(cropRect);
    crop->updateCanvasLayout();
    if (m_resultView) {
        m_resultView->setEraserCropRect(cropRect.translated(-resultCanvasOrigin()));
        m_resultView->updateCanvasLayout();
    }
}

void KSEraserEditView::applyMirror(bool mirrored)
{
    cutImageEditView()->imageDragView()->setMirrored(mirrored);
    if (m_resultView)
        m_resultView->imageDragView()->setMirrored(mirrored);
}

void KSEraserEditView::applyBackgroundColor(const KSColor &color)
{
    KSEidtCutImageView *crop = cutImageEditView();
    crop->setChangeBackgroundColor(color);
    relayout(crop);
    if (m_resultView) {
        m_resultView->setChangeBackgroundColor(color);
        relayout(m_resultView);
    }
    // The open panel marks the colour the subject has now.
    if (m_changeBackgroundView)
        m_changeBackgroundView->setDefaultColor(color);
}

KSFramingCommand::State KSEraserEditView::framingState()
{
    KSEidtCutImageView *crop = cutImageEditView();
    KSFramingCommand::State state;
    state.backgroundSize = crop->changeBackgroundSize();
    if (m_letSizeSettingView) {
        const KSEditChangeSizeItem preset = m_letSizeSettingView->chosenItem();
        if (state.backgroundSize == QSizeF(double(preset.width), double(preset.height)))
            state.presetKey = preset.key;
    }
    // The mode the subject is framed by: a click on the other mode reports
    // itself after the panel has already switched.
    state.fitMode = m_framedFitMode;
    // A drag leaves the rectangle behind the drag view until the next layout.
    keepSubjectPlace(crop);
    state.subjectRect = crop->eraserCropRect();
    state.notice = m_framingNotice;
    return state;
}

void KSEraserEditView::pushFraming(const KSFramingCommand::State &before, const QString &text)
{
    const KSFramingCommand::State after = framingState();
    if (after != before)
        m_undoStack->push(new KSFramingCommand(this, before, after, text));
}

void KSEraserEditView::applyFramingState(const KSFramingCommand::State &state)
{
    KSEidtCutImageView *crop = cutImageEditView();
    handBackCropRect();
    crop->setChangeBackgroundSize(state.backgroundSize);
    if (m_letSizeSettingView) {
        m_letSizeSettingView->setFitMode(state.fitMode);
        m_framedFitMode = state.fitMode;
        m_letSizeSettingView->markPreset(state.presetKey);
        m_letSizeSettingView->optionsView()->setNotice(KSFraming::noticeText(state.notice));
    }
    m_framingNotice = state.notice;
    m_framingAwaitsFaces = false;
    crop->setEraserCropRect(state.subjectRect);
    releaseResultView();
    crop->show();
    crop->updateCanvasLayout();
    // The size panel and the touch-up tool show the crop view itself.
    if (mode() == Mode::compare || mode() == Mode::colourPanel)
        runResultCanvasStep();
    updateGuides();
    placeWatermark();
}

// ---- zoom, the brush's size and the before/after key --------------------------

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
    if (mode() != Mode::touchUpPanel || !m_touchUpPanel)
        return;
    m_touchUpPanel->setDiameter(m_touchUpPanel->settings().diameter * factor);
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

void KSEraserEditView::openAnotherPhoto(const QString &path)
{
    if (m_left || m_saving || path.isEmpty())
        return;
    QPointer<KSEraserEditView> self(this);
    askBeforeLeaving([self, path] {
        if (!self || self->m_left || self->m_saving)
            return;
        const QString subjectFile = self->cutImageEditView()->tempCropImagePath().value_or(QString());
        self->leave(KSEditBackType::selelectePhoto, path);
        // The cut-out is the caller's to delete; the subject file is no one's.
        KSEditTempCleaner::removeFilesLater({subjectFile});
    });
}

// ---- elements of the interface file ------------------------------------------

KSEditResultView *KSEraserEditView::resultView() const { return m_resultView; }
KSEditChangeBackgroundView *KSEraserEditView::changeBackgroundView() const { return m_changeBackgroundView; }
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
KSUnsavedEditsView *KSEraserEditView::unsavedEditsView() const { return m_question; }
KSFlippedView *KSEraserEditView::editCenterView() const { return m_ui->editCenterView; }
QWidget *KSEraserEditView::leftSubSettingView() const { return m_ui->leftSubSettingView; }
QLabel *KSEraserEditView::originalLabel() const { return m_ui->originalLabel; }
QLabel *KSEraserEditView::outputLabel() const { return m_ui->outputLabel; }
