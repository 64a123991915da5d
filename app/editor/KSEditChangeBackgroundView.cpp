#include "KSEditChangeBackgroundView.h"

#include "ui_KSEditChangeBackgroundView.h"

#include "CommLang.h"
#include "KSCollectionFlowLayout.h"
#include "KSColorConst.h"
#include "KSEditChangeBackgroundCollectionItem.h"
#include "KSEditPanelStyle.h"
#include "KSHoverButton.h"
#include "KSLogCategories.h"
#include "KSNibLoadable.h"
#include "KSNotificationCenter.h"

#include <QColorDialog>
#include <QEvent>
#include <QHideEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>

#include <algorithm>

namespace {
const KSCollectionFlowLayout::Metrics kGridMetrics{QSize(64, 100), 10, 14};
// Room between the colour dialog and the window it stands beside.
constexpr int kDialogGap = 8;

struct Preset
{
    const char *key;
    qint64 hex;
};

constexpr Preset kPresets[] = {
    {"TransparentColor", KSEditChangeBackgroundItem::kTransparentHex},
    {"RedColor", 0xFF0000},
    {"BlueColor", 0x438EDB},
    {"WhiteColor", 0xFFFFFF},
    {"LightGrayColor", 0xE1DFE5},
    {"DeepRedColor", 0xC90002},
    // A light sky blue: the earlier 0x438FD8 could not be told from "Blue".
    {"SkyBlueColor", 0x87CEEB},
    {"CyanColor", 0x00BFF2},
    {"CobaltBlueColor", 0x014B73},
    {"LightGreenColor", 0x328FB2},
    {"More", KSEditChangeBackgroundItem::kMoreColorsHex},
};

int moreColorsIndex()
{
    return int(std::size(kPresets)) - 1;
}

void makeTransparent(QWidget *widget)
{
    widget->setAutoFillBackground(false);
    widget->setAttribute(Qt::WA_TranslucentBackground, false);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::transparent);
    widget->setPalette(palette);
}
} // namespace

KSEditChangeBackgroundView::KSEditChangeBackgroundView(QWidget *parent)
    : KSColorView(parent), m_ui(std::make_unique<Ui::KSEditChangeBackgroundView>()), m_dataArray(presetItems())
{
    m_ui->setupUi(this);
    setColor(KSRGBHexColor(0xF6F7FB));

    KSHoverButton *heading = m_ui->colorBtn;
    KSEditPanelStyle::styleTabButton(heading);
    heading->setTitle(CommLang::GetAppLang(QStringLiteral("Color")));
    heading->setSelected(true);
    // A heading, not a control: it has no action.
    heading->setCursor(Qt::ArrowCursor);

    QScrollArea *collection = m_ui->collectionView;
    makeTransparent(collection);
    makeTransparent(collection->viewport());
    makeTransparent(m_ui->collectionContentView);
    collection->viewport()->installEventFilter(this);

    for (int index = 0; index < m_dataArray.size(); ++index) {
        auto *cell = loadViewFromNib<KSEditChangeBackgroundCollectionItem>(m_ui->collectionContentView);
        if (!cell)
            continue;
        QPointer<KSEditChangeBackgroundView> weakSelf(this);
        cell->returnClosure = [weakSelf](int n) {
            if (weakSelf)
                weakSelf->chooseItemAtIndex(n);
        };
        m_cells.append(cell);
    }
    reloadData();
}

KSEditChangeBackgroundView::~KSEditChangeBackgroundView() = default;

QList<KSEditChangeBackgroundItem> KSEditChangeBackgroundView::presetItems()
{
    QList<KSEditChangeBackgroundItem> items;
    for (const Preset &preset : kPresets)
        items.append({CommLang::GetAppLang(QLatin1String(preset.key)), preset.hex});
    return items;
}

int KSEditChangeBackgroundView::preselectedIndex(const std::optional<KSColor> &color)
{
    if (!color || *color == KSClear_Color())
        return 0;
    // Compared as the 8-bit colour the user sees: a preset picked again in
    // the colour dialog is that preset.
    const QRgb wanted = color->toQColor().rgba();
    for (int index = 0; index < int(std::size(kPresets)); ++index) {
        if (kPresets[index].hex >= 0 && KSRGBHexColor(kPresets[index].hex).toQColor().rgba() == wanted)
            return index;
    }
    // A colour of the dialog: marking transparent here would show a choice
    // that is not applied, and make the transparent cell refuse a press.
    return moreColorsIndex();
}

QPoint KSEditChangeBackgroundView::colorDialogPosition(const QRect &screen, const QRect &window, const QSize &dialog)
{
    const int top = std::clamp(window.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - dialog.height()));
    const int right = window.right() + 1 + kDialogGap;
    if (right + dialog.width() <= screen.right() + 1)
        return {right, top};
    const int left = window.left() - kDialogGap - dialog.width();
    if (left >= screen.left())
        return {left, top};
    return {screen.left(), top};
}

void KSEditChangeBackgroundView::setEmbedded()
{
    m_ui->colorBtn->hide();
    layout()->setContentsMargins(0, 0, 0, 0);
    setColor(QColor());
}

void KSEditChangeBackgroundView::setDefaultColor(const std::optional<KSColor> &color)
{
    m_defaultColor = color;
    m_appliedColor = color;
    setSelectedIndex(preselectedIndex(color));
}

void KSEditChangeBackgroundView::setSelectedIndex(int index)
{
    m_selectedIndex = index;
    reloadData();
}

void KSEditChangeBackgroundView::reloadData()
{
    for (int index = 0; index < m_cells.size() && index < m_dataArray.size(); ++index) {
        KSEditChangeBackgroundCollectionItem *cell = m_cells.at(index);
        cell->configure(m_dataArray.at(index));
        cell->setIndex(index);
        cell->setSelected(index == m_selectedIndex);
    }
    showChosenColour();
    layoutCollection();
}

void KSEditChangeBackgroundView::showChosenColour()
{
    KSEditChangeBackgroundCollectionItem *more = itemAtIndex(moreColorsIndex());
    if (!more)
        return;
    const bool chosen = m_selectedIndex == moreColorsIndex() && m_appliedColor && *m_appliedColor != KSClear_Color();
    more->showChosenColour(chosen ? m_appliedColor->toQColor() : QColor());
}

KSEditChangeBackgroundCollectionItem *KSEditChangeBackgroundView::itemAtIndex(int index) const
{
    return index >= 0 && index < m_cells.size() ? m_cells.at(index) : nullptr;
}

KSHoverButton *KSEditChangeBackgroundView::colorBtn() const
{
    return m_ui->colorBtn;
}

QScrollArea *KSEditChangeBackgroundView::collectionView() const
{
    return m_ui->collectionView;
}

void KSEditChangeBackgroundView::moveSelection(int index)
{
    if (KSEditChangeBackgroundCollectionItem *previous = itemAtIndex(m_selectedIndex))
        previous->setSelected(false);
    m_selectedIndex = index;
}

void KSEditChangeBackgroundView::chooseItemAtIndex(int n)
{
    if (n < 0 || n >= m_dataArray.size())
        return;
    moveSelection(n);
    const qint64 hex = m_dataArray.at(n).hex;
    if (hex >= 0)
        apply(KSRGBHexColor(hex));
    else if (hex == KSEditChangeBackgroundItem::kTransparentHex)
        apply(KSClear_Color());
    else if (hex == KSEditChangeBackgroundItem::kMoreColorsHex)
        showColorPanel();
}

void KSEditChangeBackgroundView::apply(const KSColor &color)
{
    m_appliedColor = color;
    showChosenColour();
    if (returnClosure)
        returnClosure(color);
}

QColorDialog *KSEditChangeBackgroundView::sharedColorPanel()
{
    static QPointer<QColorDialog> panel;
    if (!panel) {
        panel = new QColorDialog;
        // Live: every change shows at once; OK keeps the colour, Cancel and
        // Escape go back to the one from before.
        panel->setOptions(QColorDialog::ShowAlphaChannel | QColorDialog::DontUseNativeDialog);
        panel->setModal(false);
        QObject::connect(panel, &QColorDialog::currentColorChanged, panel, [](const QColor &color) {
            KSNotificationCenter::defaultCenter()->post(kNotificationColorPanelColorDidChange, color);
        });
    }
    return panel;
}

void KSEditChangeBackgroundView::showColorPanel()
{
    QColorDialog *panel = sharedColorPanel();
    panel->setWindowTitle(CommLang::GetAppLang(QStringLiteral("Color")));
    m_colorBeforeDialog = m_appliedColor.value_or(KSClear_Color());
    // The dialog starts at the colour shown; from transparent it keeps its
    // last colour, since a clear starting colour would hide every change.
    if (m_colorBeforeDialog != KSClear_Color()) {
        m_settingDialogColor = true;
        panel->setCurrentColor(m_colorBeforeDialog.toQColor());
        m_settingDialogColor = false;
    }
    // The observation ends with this panel; a second "More" does not double it.
    if (!m_observesColorPanel) {
        m_observesColorPanel = true;
        KSNotificationCenter::defaultCenter()->observe(
            kNotificationColorPanelColorDidChange, this,
            [this](const QVariant &object) { colorPanelDidChange(object.value<QColor>()); });
        connect(panel, &QDialog::rejected, this, &KSEditChangeBackgroundView::colorPanelCancelled);
    }

    panel->adjustSize();
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect window = this->window()->frameGeometry();
        panel->move(colorDialogPosition(screen->availableGeometry(), window, panel->frameGeometry().size()));
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void KSEditChangeBackgroundView::colorPanelDidChange(const QColor &color)
{
    if (m_settingDialogColor)
        return;
    qCDebug(lcEditor).noquote() << "RGBA" << "===" << color.name(QColor::HexArgb) << "===" << color.alphaF();
    // The dialog may still be open after another cell was chosen: a change
    // made in it is the user's choice again, so "More" becomes the marked cell.
    const int more = moreColorsIndex();
    if (m_selectedIndex != more) {
        moveSelection(more);
        if (KSEditChangeBackgroundCollectionItem *cell = itemAtIndex(more))
            cell->setSelected(true);
    }
    apply(KSColor(color));
}

void KSEditChangeBackgroundView::colorPanelCancelled()
{
    apply(m_colorBeforeDialog);
    setSelectedIndex(preselectedIndex(m_colorBeforeDialog));
}

void KSEditChangeBackgroundView::hideEvent(QHideEvent *event)
{
    KSColorView::hideEvent(event);
    // The editor closed the panel: the dialog's colour stays, as after OK,
    // and a dialog left open would answer nobody.
    if (!event->spontaneous() && m_observesColorPanel)
        sharedColorPanel()->hide();
}

void KSEditChangeBackgroundView::layoutCollection()
{
    QScrollArea *collection = m_ui->collectionView;
    const int width = collection->viewport()->width();
    const int height = KSCollectionFlowLayout::contentHeight(kGridMetrics, int(m_cells.size()), width);
    m_ui->collectionContentView->resize(width, height);
    const QList<QRect> frames = KSCollectionFlowLayout::itemFrames(kGridMetrics, int(m_cells.size()), width);
    for (int index = 0; index < m_cells.size(); ++index)
        m_cells.at(index)->setGeometry(frames.at(index));
}

void KSEditChangeBackgroundView::resizeEvent(QResizeEvent *event)
{
    KSColorView::resizeEvent(event);
    layoutCollection();
}

bool KSEditChangeBackgroundView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->collectionView->viewport() && event->type() == QEvent::Resize)
        layoutCollection();
    return KSColorView::eventFilter(watched, event);
}
