#include "KSEraserEditView.h"

#include "ui_KSEraserEditView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSAppSetting.h"
#include "KSBookmark.h"
#include "KSColorConst.h"
#include "KSColorView.h"
#include "KSDropHintView.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditChangeSizeView.h"
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
#include "KSNibLoadable.h"
#include "KSNotice.h"
#include "KSSavePhotoSuccessView.h"
#include "KSShortcutKeys.h"
#include "KSTextField.h"
#include "KSTextStyle.h"
#include "KSViewAttach.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFuture>
#include <QGuiApplication>
#include <QLabel>
#include <QPromise>
#include <QShortcut>
#include <QThreadPool>
#include <QTimer>
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
    KSImageDragView *source = from->imageDragView();
    KSImageDragView *target = to->imageDragView();
    target->setImage(source->image());
    target->setIsMirrorImage(source->isMirrorImage());
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

KSEraserEditView::~KSEraserEditView()
{
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
    view->m_subjectBounds = crop->eraserCropRect();
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
    m_ui->savePhotoBtn->setToolTip(KSShortcutKeys::withKeys(lang("Save"), KSShortcutKeys::save()) + QLatin1Char('\n')
                                   + KSShortcutKeys::withKeys(lang("SaveAs"), KSShortcutKeys::saveAs()));
    m_ui->reorderSelectedPhotoBtn->setToolTip(KSShortcutKeys::withKeys(lang("LoadImg"), KSShortcutKeys::open()));

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

    const int toolTitleWidth = m_ui->changeBgBtn->textFiled()->sizeThatFits(QSize(300, 50)).width();
    m_ui->leftView->setFixedWidth(std::max(kMinimumToolColumnWidth, toolTitleWidth + 5));
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
        crop->setGeometry(centredRect(middle, kPanelCropViewWidth, kPanelCropViewHeight));
    } else {
        originalImageEditView()->setGeometry(
            centredRect(QPointF(middle.x() / 2.0, middle.y()), kCompareViewWidth, kCompareViewHeight));
        crop->setGeometry(
            centredRect(QPointF(middle.x() * 1.5, middle.y()), kCompareViewWidth, kCompareViewHeight));
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
    crop->setChangeType(KSChangeType::none);
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
    canvas->setChangeBackgroundColor(crop->changeBackgroundColor());
    copySubjectPicture(crop, canvas);
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
        // The size panel is kept for its next opening; any other is made anew.
        if (panel != m_letSizeSettingView)
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
    toggleTool(m_ui->changeBgBtn, m_ui->changeSizeBtn, &KSEraserEditView::openColourPanel);
}

void KSEraserEditView::actionForChangeSize(KSHoverButton *)
{
    toggleTool(m_ui->changeSizeBtn, m_ui->changeBgBtn, &KSEraserEditView::openSizePanel);
}

void KSEraserEditView::toggleTool(KSHoverButton *pressed, KSHoverButton *other, void (KSEraserEditView::*open)())
{
    pressed->setSelected(!pressed->isSelected());
    other->setSelected(false);
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
    crop->setChangeType(KSChangeType::background);

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
    panel->returnClosure = [self](const KSColor &color) {
        if (!self)
            return;
        KSEidtCutImageView *crop = self->cutImageEditView();
        crop->setChangeBackgroundColor(color);
        relayout(crop);
        if (KSEditResultView *canvas = self->m_resultView) {
            canvas->setChangeBackgroundColor(color);
            relayout(canvas);
        }
    };
    runResultCanvasStep();
}

KSEditChangeSizeView *KSEraserEditView::sizePanel()
{
    if (!m_sizePanelTried) {
        m_sizePanelTried = true;
        m_letSizeSettingView = loadViewFromNib<KSEditChangeSizeView>(m_ui->leftSubSettingView);
        if (m_letSizeSettingView)
            m_letSizeSettingView->hide();
        else
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
    crop->setChangeType(KSChangeType::size);

    clearPanelHost(panel);
    showInPanelHost(panel);

    QPointer<KSEraserEditView> self(this);
    panel->returnClosure = [self](double width, double height) {
        if (!self)
            return;
        qCDebug(lcEditor).noquote() << QStringLiteral("showChangeSizeView size = %1 x %2").arg(width).arg(height);
        self->cutImageEditView()->setChangeBackgroundSize(QSizeF(width, height));
        self->applyFraming();
    };
    panel->optionsView()->fitModeClosure = [self](KSFitMode) {
        if (self)
            self->applyFraming();
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
        if (m_framingAwaitsFaces && mode() == Mode::sizePanel)
            applyFraming();
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
    const std::optional<QSizeF> photoSize = crop->imageSize();
    if (!m_letSizeSettingView || !photoSize || m_subjectBounds.isEmpty()) {
        relayout(crop);
        return;
    }
    KSFraming::Input input;
    input.photoSize = *photoSize;
    input.subjectBounds = m_subjectBounds;
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
    for (KSHoverButton *button : {m_ui->savePhotoBtn, m_ui->goHomeBtn, m_ui->reorderSelectedPhotoBtn})
        button->setEnabled(false);
    KSOutputSaver::runAsync(job, this, [this](const KSOutputSaver::Result &result) { saveFinished(result); });
}

void KSEraserEditView::savePrintSheet(KSPrintSheet::Paper paper)
{
    if (m_saving)
        return;
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
    startSaving(currentSaveRequest(), std::nullopt);
    closeToolAfterSave();
}

void KSEraserEditView::actionForSaveAs()
{
    if (m_saving || m_left)
        return;
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
    m_ui->changeBgBtn->setSelected(false);
    m_ui->changeSizeBtn->setSelected(false);
    clearPanelHost();
    applyCompareLayout();
    runResultCanvasStep();
}

void KSEraserEditView::copyResult()
{
    if (m_left)
        return;
    KSOutputSaver::Job job = KSOutputSaver::prepare(cutImageEditView()->tempCropImagePath().value_or(QString()),
                                                    QString(), currentSaveRequest());
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
    m_ui->changeBgBtn->setSelected(false);
    m_ui->changeSizeBtn->setSelected(false);
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
    QWidget *host = parentWidget() ? parentWidget() : this;
    if (result.ok()) {
        CommLog::I(QStringLiteral("editor: saved ") + result.path);
        KSSavePhotoSuccessView::showSaveSuccessView(host, result.path);
    } else {
        KSSavePhotoSuccessView::showSaveFailedView(host, result.error);
    }
    emit saveDidFinish(result.path, result.error);
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
    KSAppSetting::selectPhoto([self](const QString &path) {
        if (self)
            self->openAnotherPhoto(path);
    });
}

void KSEraserEditView::openAnotherPhoto(const QString &path)
{
    if (m_left || m_saving || path.isEmpty())
        return;
    const QString subjectFile = cutImageEditView()->tempCropImagePath().value_or(QString());
    leave(KSEditBackType::selelectePhoto, path);
    // The cut-out is the caller's to delete; the subject file is no one's.
    KSEditTempCleaner::removeFilesLater({subjectFile});
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
KSFlippedView *KSEraserEditView::editCenterView() const { return m_ui->editCenterView; }
QWidget *KSEraserEditView::leftSubSettingView() const { return m_ui->leftSubSettingView; }
QLabel *KSEraserEditView::originalLabel() const { return m_ui->originalLabel; }
QLabel *KSEraserEditView::outputLabel() const { return m_ui->outputLabel; }
