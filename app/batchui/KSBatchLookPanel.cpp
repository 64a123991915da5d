#include "KSBatchLookPanel.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSColorConst.h"
#include "KSEditBackgroundPanel.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditChangeSizeView.h"
#include "KSEditDocument.h"
#include "KSEditPanelStyle.h"
#include "KSEditSizeOptionsView.h"
#include "KSEditToolPanels.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSTextStyle.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGraphicsDropShadowEffect>
#include <QLinearGradient>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

KSBatchLookPanel::FolderDialogRunner &folderDialogRunner()
{
    static KSBatchLookPanel::FolderDialogRunner runner;
    return runner;
}

constexpr int kSwatchSide = 18;
const QColor kText = KSRGBHexColor(0x333333);
const QColor kSecondary = KSRGBHexColor(0x666666);

// The look document's cut-out: nothing in it, of the look's frame's shape,
// so that a picture's placement is judged on the frame it will cover.
constexpr int kSampleSide = 400;

QImage sampleCutout(const KSBatchLook &look)
{
    QSize size(4, 3);
    if (look.hasSize())
        size = QSize(int(look.preset.width), int(look.preset.height));
    size.scale(kSampleSide, kSampleSide, Qt::KeepAspectRatio);
    QImage cutout(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32);
    cutout.fill(Qt::transparent);
    return cutout;
}

// A small rounded square of the colour, the picture or a blur; a
// checkerboard for transparency.
QPixmap swatch(const KSEditBackground &background)
{
    const qreal ratio = 2.0;
    QPixmap pixmap(QSize(kSwatchSide, kSwatchSide) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    const QRectF box(0.5, 0.5, kSwatchSide - 1, kSwatchSide - 1);
    shape.addRoundedRect(box, 4, 4);
    painter.setClipPath(shape);
    if (background.isTransparent()) {
        const int cell = kSwatchSide / 3;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                painter.fillRect(QRect(x * cell, y * cell, cell, cell), (x + y) % 2 ? QColor(0xCC, 0xCC, 0xCC) : Qt::white);
    } else if (background.kind == KSEditBackground::Kind::picture && background.picture) {
        const QImage &picture = *background.picture;
        const QSize side = picture.size().scaled(QSize(kSwatchSide, kSwatchSide) * ratio, Qt::KeepAspectRatioByExpanding);
        const QImage small = picture.scaled(side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const QRectF target(QPointF(kSwatchSide - small.width() / ratio, kSwatchSide - small.height() / ratio) / 2,
                            QSizeF(small.size()) / ratio);
        painter.drawImage(target, small);
    } else if (background.kind == KSEditBackground::Kind::blurredPhoto) {
        QLinearGradient soft(box.topLeft(), box.bottomRight());
        soft.setColorAt(0, QColor(0xB8, 0xC6, 0xD6));
        soft.setColorAt(1, QColor(0xE4, 0xDA, 0xC8));
        painter.fillRect(box, soft);
    } else {
        painter.fillRect(box, background.colour.toQColor());
    }
    painter.setClipping(false);
    painter.setPen(QPen(KSRGBHexColor(0xD1D1D1).toQColor(), 1));
    painter.drawPath(shape);
    return pixmap;
}

// The colour's name as the colour panel shows it, else its hex value; the
// page's name for a picture or the blurred photo.
QString backgroundName(const KSEditBackground &background)
{
    if (background.kind == KSEditBackground::Kind::picture)
        return lang("BackgroundPicturePage");
    if (background.kind == KSEditBackground::Kind::blurredPhoto)
        return lang("BackgroundBlurPage");
    const QList<KSEditChangeBackgroundItem> items = KSEditChangeBackgroundView::presetItems();
    if (background.isTransparent()) {
        for (const KSEditChangeBackgroundItem &item : items)
            if (item.hex == KSEditChangeBackgroundItem::kTransparentHex)
                return item.title;
    }
    const QColor colour = background.colour.toQColor();
    for (const KSEditChangeBackgroundItem &item : items)
        if (item.hex >= 0 && colour.alpha() == 255 && qint64(colour.rgb() & 0xFFFFFF) == item.hex)
            return item.title;
    return colour.name(QColor::HexRgb).toUpper();
}

QString shadowName(const KSEditShadow &shadow)
{
    switch (shadow.kind) {
    case KSEditShadow::Kind::none: return lang("ShadowNone");
    case KSEditShadow::Kind::contact: return lang("ShadowContact");
    case KSEditShadow::Kind::drop: return lang("ShadowDrop");
    }
    return QString();
}

QString sizeName(const KSBatchLook &look)
{
    if (!look.hasSize())
        return lang("OriginalSize");
    const QString title = look.preset.title.isEmpty()
                              ? QStringLiteral("%1 × %2 px").arg(look.preset.width).arg(look.preset.height)
                              : look.preset.title;
    return title + QStringLiteral(" · ") + lang(look.fitMode == KSFitMode::subject ? "FitSubject" : "FitPhoto");
}

KSHoverButton *choiceButton(QWidget *parent, const QString &objectName)
{
    auto *button = new KSHoverButton(parent);
    button->setObjectName(objectName);
    button->setTitleFont(KSTextStyle::systemFont(12));
    button->setTitleColor(kText);
    button->setTitleHoverColor(kText);
    button->setTitleDownColor(kText);
    button->setBackgroundColor(KSRGBHexColor(0xF6F7FB));
    button->setBackgroundHoverColor(KSRGBHexColor(0xD4D4D4));
    button->setBorderRadius(6.0);
    button->setFixedHeight(32);
    return button;
}

QLabel *rowTitle(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    KSTextStyle::apply(label, kSecondary, 12, QFont::Medium);
    return label;
}

} // namespace

KSBatchLookPanel::KSBatchLookPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("KSBatchLookPanel"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    setFixedWidth(kColumnWidth);

    auto *column = new QWidget(this);
    column->setObjectName(QStringLiteral("lookColumn"));
    column->setAutoFillBackground(true);
    QPalette palette = column->palette();
    palette.setColor(QPalette::Window, Qt::white);
    column->setPalette(palette);
    row->addWidget(column);

    // The editor's panels open over the screen beside the column rather
    // than squeezing it: they need more room than the grid can give.
    m_host = new QWidget(this);
    m_host->setObjectName(QStringLiteral("lookPanelHost"));
    m_host->setAutoFillBackground(true);
    m_host->setPalette(palette);
    auto *shadow = new QGraphicsDropShadowEffect(m_host);
    shadow->setBlurRadius(18);
    shadow->setOffset(2, 0);
    shadow->setColor(QColor(0, 0, 0, 60));
    m_host->setGraphicsEffect(shadow);
    auto *hostLayout = new QVBoxLayout(m_host);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    m_host->hide();

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(16, 18, 16, 16);
    layout->setSpacing(6);
    auto *heading = new QLabel(lang("BatchLookTitle"), column);
    KSTextStyle::apply(heading, kText, 14, QFont::Medium);
    layout->addWidget(heading);
    auto *hint = new QLabel(lang("BatchLookHint"), column);
    KSTextStyle::apply(hint, KSRGBHexColor(0x999999), 11);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    layout->addSpacing(10);

    layout->addWidget(rowTitle(lang("ChangeBg"), column));
    m_backgroundBtn = choiceButton(column, QStringLiteral("backgroundBtn"));
    m_backgroundBtn->setXOffsetBetweenIconTitle(6);
    m_backgroundBtn->setAction([this](KSHoverButton *) { actionForBackground(); });
    layout->addWidget(m_backgroundBtn);
    layout->addSpacing(8);

    layout->addWidget(rowTitle(lang("Cut"), column));
    m_sizeBtn = choiceButton(column, QStringLiteral("sizeBtn"));
    m_sizeBtn->setAction([this](KSHoverButton *) { actionForSize(); });
    layout->addWidget(m_sizeBtn);
    layout->addSpacing(8);

    layout->addWidget(rowTitle(lang("BatchFormat"), column));
    auto *formats = new QHBoxLayout;
    formats->setSpacing(6);
    m_jpgBtn = choiceButton(column, QStringLiteral("jpgBtn"));
    m_jpgBtn->setTitle(QStringLiteral("JPG"));
    m_jpgBtn->setAction([this](KSHoverButton *) { chooseFormat(QStringLiteral("jpg")); });
    m_pngBtn = choiceButton(column, QStringLiteral("pngBtn"));
    m_pngBtn->setTitle(QStringLiteral("PNG"));
    m_pngBtn->setAction([this](KSHoverButton *) { chooseFormat(QStringLiteral("png")); });
    for (KSHoverButton *button : {m_jpgBtn, m_pngBtn})
        KSEditPanelStyle::styleTabButton(button);
    formats->addWidget(m_jpgBtn);
    formats->addWidget(m_pngBtn);
    layout->addLayout(formats);
    m_formatNote = new QLabel(lang("BatchPngForClear"), column);
    KSTextStyle::apply(m_formatNote, KSRGBHexColor(0x999999), 11);
    m_formatNote->setWordWrap(true);
    layout->addWidget(m_formatNote);
    layout->addSpacing(8);

    layout->addWidget(rowTitle(lang("BatchFolder"), column));
    m_folderLabel = new QLabel(column);
    m_folderLabel->setObjectName(QStringLiteral("folderLabel"));
    KSTextStyle::apply(m_folderLabel, kText, 12);
    m_folderLabel->setWordWrap(true);
    layout->addWidget(m_folderLabel);
    m_folderBtn = choiceButton(column, QStringLiteral("folderBtn"));
    m_folderBtn->setTitle(lang("BatchChangeFolder"));
    m_folderBtn->setAction([this](KSHoverButton *) { actionForFolder(); });
    layout->addWidget(m_folderBtn);
    layout->addStretch(1);

    m_look = KSBatchLook::fromSettings();
    showLook();
}

KSBatchLookPanel::~KSBatchLookPanel() = default;

void KSBatchLookPanel::setFolderDialogRunner(FolderDialogRunner runner)
{
    folderDialogRunner() = std::move(runner);
}

void KSBatchLookPanel::setLook(const KSBatchLook &look)
{
    m_look = look;
    showLook();
    showLookOnDocument();
}

KSEditChangeBackgroundView *KSBatchLookPanel::colourPanel() const
{
    return m_backgroundPanel ? m_backgroundPanel->colourPage() : nullptr;
}

void KSBatchLookPanel::showLookOnDocument()
{
    if (!m_lookDocument)
        return;
    // Setting the background reports it before the shadow is set: nothing
    // is taken back from the document meanwhile.
    m_showingOnDocument = true;
    m_lookDocument->setBackground(m_look.background);
    m_lookDocument->setShadow(m_look.shadow);
    m_showingOnDocument = false;
}

void KSBatchLookPanel::takeFromDocument()
{
    if (m_showingOnDocument || !m_lookDocument)
        return;
    const KSEditBackground background = m_lookDocument->background();
    const KSEditShadow shadow = m_lookDocument->shadow();
    change([&](KSBatchLook &look) {
        look.background = background;
        look.shadow = shadow;
    });
}

void KSBatchLookPanel::showLook()
{
    m_backgroundBtn->setImage(swatch(m_look.background));
    QString background = backgroundName(m_look.background);
    if (!m_look.shadow.isNone())
        background += QStringLiteral(" · ") + shadowName(m_look.shadow);
    m_backgroundBtn->setTitle(background);
    m_backgroundBtn->setToolTip(background);
    m_sizeBtn->setTitle(sizeName(m_look));
    m_sizeBtn->setToolTip(m_sizeBtn->title());
    m_jpgBtn->setSelected(m_look.format == QLatin1String("jpg"));
    m_pngBtn->setSelected(m_look.format != QLatin1String("jpg"));
    // JPEG has no transparency: a clear background is written as PNG anyway.
    m_formatNote->setVisible(m_look.background.isTransparent() && m_look.format == QLatin1String("jpg"));
    const QString folder = QDir::toNativeSeparators(m_look.folder);
    m_folderLabel->setText(m_folderLabel->fontMetrics().elidedText(folder, Qt::ElideMiddle, kColumnWidth - 32));
    m_folderLabel->setToolTip(folder);
}

void KSBatchLookPanel::change(const std::function<void(KSBatchLook &look)> &edit)
{
    KSBatchLook changed = m_look;
    edit(changed);
    if (changed == m_look)
        return;
    m_look = changed;
    showLook();
    emit lookChanged(m_look);
}

void KSBatchLookPanel::showInHost(QWidget *panel, int width)
{
    for (QWidget *child : m_host->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child != panel)
            child->hide();
    if (m_host->layout()->indexOf(panel) < 0)
        m_host->layout()->addWidget(panel);
    panel->show();
    m_hostWidth = width;
    QWidget *over = parentWidget() ? parentWidget() : this;
    if (m_host->parentWidget() != over) {
        m_host->setParent(over);
        over->installEventFilter(this);
    }
    placeHost();
    m_host->show();
    m_host->raise();
}

void KSBatchLookPanel::placeHost()
{
    QWidget *over = m_host->parentWidget();
    const QPoint topLeft = mapTo(over, QPoint(kColumnWidth, 0));
    m_host->setGeometry(topLeft.x(), topLeft.y(), std::min(m_hostWidth, over->width() - topLeft.x()), height());
}

bool KSBatchLookPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host->parentWidget() && event->type() == QEvent::Resize && m_host->isVisible())
        placeHost();
    return QWidget::eventFilter(watched, event);
}

bool KSBatchLookPanel::closeOpenPanel()
{
    if (!m_host->isVisible())
        return false;
    m_host->hide();
    // The background panel and its document are made anew at each
    // opening, as in the editor.
    if (m_backgroundPanel) {
        m_backgroundPanel->hide();
        m_backgroundPanel->deleteLater();
        m_backgroundPanel = nullptr;
    }
    if (m_lookDocument) {
        m_lookDocument->disconnect(this);
        m_lookDocument->deleteLater();
        m_lookDocument = nullptr;
    }
    if (m_sizePanel)
        m_sizePanel->hide();
    return true;
}

void KSBatchLookPanel::actionForBackground()
{
    const bool wasOpen = m_backgroundPanel != nullptr;
    closeOpenPanel();
    if (wasOpen)
        return;
    // The editor's panel edits a document: one of the panel's own, holding
    // the look, whose every change is copied back into the look. Its undo
    // history is never shown.
    auto *document = new KSEditDocument(this);
    QString error;
    if (!document->setCutout(sampleCutout(m_look), &error)) {
        CommLog::E(QStringLiteral("batch: the background panel cannot be built: ") + error);
        delete document;
        return;
    }
    m_lookDocument = document;
    showLookOnDocument();
    connect(document, &KSEditDocument::backgroundChanged, this, &KSBatchLookPanel::takeFromDocument);
    connect(document, &KSEditDocument::shadowChanged, this, &KSBatchLookPanel::takeFromDocument);
    m_backgroundPanel = new KSEditBackgroundPanel(document, m_host);
    showInHost(m_backgroundPanel, KSEditToolPanels::kColourPanelWidth);
}

KSEditChangeSizeView *KSBatchLookPanel::makeSizePanel()
{
    if (m_sizePanel)
        return m_sizePanel;
    m_sizePanel = loadViewFromNib<KSEditChangeSizeView>(m_host);
    if (!m_sizePanel) {
        CommLog::E(QStringLiteral("batch: the size panel cannot be built"));
        return nullptr;
    }
    m_sizePanel->hide();
    m_sizePanel->setFitMode(m_look.fitMode);
    if (!m_look.preset.key.isEmpty())
        m_sizePanel->markPreset(m_look.preset.key);
    m_sizePanel->returnClosure = [this](double width, double height) {
        const KSEditChangeSizeItem item = KSEditChangeSizeView::itemForSize(m_sizePanel->chosenItem(), QSizeF(width, height));
        change([&item](KSBatchLook &look) { look.preset = item; });
    };
    m_sizePanel->optionsView()->fitModeClosure = [this](KSFitMode mode) {
        change([mode](KSBatchLook &look) { look.fitMode = mode; });
    };
    m_sizePanel->optionsView()->printSheetClosure = [this](KSPrintSheet::Paper paper) {
        emit printSheetRequested(paper);
    };
    return m_sizePanel;
}

void KSBatchLookPanel::actionForSize()
{
    const bool wasOpen = m_sizePanel && m_sizePanel->isVisible() && m_host->isVisible();
    closeOpenPanel();
    if (wasOpen)
        return;
    KSEditChangeSizeView *panel = makeSizePanel();
    if (!panel)
        return;
    showInHost(panel, panel->calculativeWidth());
}

void KSBatchLookPanel::chooseFormat(const QString &format)
{
    change([&format](KSBatchLook &look) { look.format = format; });
}

void KSBatchLookPanel::actionForFolder()
{
    QString folder;
    if (folderDialogRunner())
        folder = folderDialogRunner()(m_look.folder);
    else
        folder = QFileDialog::getExistingDirectory(window(), lang("BatchChooseFolder"), m_look.folder);
    if (folder.isEmpty())
        return;
    change([&folder](KSBatchLook &look) { look.folder = QDir::cleanPath(folder); });
}
