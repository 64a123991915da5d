#include "KSEditChangeSizeView.h"

#include "ui_KSEditChangeSizeView.h"

#include "CommLang.h"
#include "KSAppSetting.h"
#include "KSColorConst.h"
#include "KSEditChangeSizeMetrics.h"
#include "KSEditChangeSizeTabelCellView.h"
#include "KSCustomSize.h"
#include "KSEditPanelStyle.h"
#include "KSEditSizeOptionsView.h"
#include "KSHoverButton.h"
#include "KSLogCategories.h"
#include "KSNibLoadable.h"
#include "KSSizePresets.h"
#include "KSTextStyle.h"
#include "KSTextField.h"

#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>
#include <optional>

namespace {
QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

// The width a group button asks for: its title plus a little room.
int titleWidth(KSHoverButton *button)
{
    return button->textFiled()->sizeThatFits(QSize(300, 30)).width() + 10;
}
} // namespace

KSEditChangeSizeView::KSEditChangeSizeView(QWidget *parent)
    : KSColorView(parent)
    , m_ui(std::make_unique<Ui::KSEditChangeSizeView>())
    , m_dataArray(KSSizePresets::sizeLists(KSAppSetting::appLanguage()))
{
    m_ui->setupUi(this);
    setColor(KSRGBHexColor(0xF6F7FB));

    for (KSHoverButton *button : groupButtons()) {
        KSEditPanelStyle::styleTabButton(button);
        button->setTarget(this);
        button->setAction([this](KSHoverButton *sender) { actionForList(sender); });
    }
    m_ui->regularBtn->setTitle(lang("Regular"));
    m_ui->certificateBtn->setTitle(lang("Certificate"));
    m_ui->eBusinessBtn->setTitle(lang("EBusiness"));
    m_ui->regularBtn->setFixedWidth(titleWidth(m_ui->regularBtn));
    m_ui->certificateBtn->setFixedWidth(titleWidth(m_ui->certificateBtn));
    // The last button gives way first when the panel is narrow.
    m_ui->eBusinessBtn->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_ui->eBusinessBtn->setMaximumWidth(titleWidth(m_ui->eBusinessBtn));

    QTableWidget *table = m_ui->tableView;
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->viewport()->setAutoFillBackground(false);
    table->setAutoFillBackground(false);
    QPalette palette = table->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    table->setPalette(palette);
    connect(table, &QTableWidget::cellClicked, this, [this](int row, int) { tableViewSelectionDidChange(row); });

    m_optionsView = new KSEditSizeOptionsView(this);
    m_optionsView->setObjectName(QStringLiteral("optionsView"));
    layout()->addWidget(m_optionsView);
    m_optionsView->customSizeClosure = [this](const KSCustomSize &) { customSizeChanged(); };

    m_chooseList = 0;
    m_selectList = 0;
    m_selectItem = 0;
    reloadData();
    for (KSHoverButton *button : groupButtons())
        button->setSelected(false);
    m_ui->regularBtn->setSelected(true);
}

KSEditChangeSizeView::~KSEditChangeSizeView() = default;

QList<KSHoverButton *> KSEditChangeSizeView::groupButtons() const
{
    return m_ui->selectionView->findChildren<KSHoverButton *>();
}

KSEditChangeSizeItem KSEditChangeSizeView::itemForSize(const KSEditChangeSizeItem &chosen, const QSizeF &size)
{
    if (size == QSizeF(double(chosen.width), double(chosen.height)))
        return chosen;
    KSEditChangeSizeItem plain;
    plain.width = qint64(size.width());
    plain.height = qint64(size.height());
    return plain;
}

int KSEditChangeSizeView::calculativeWidth()
{
    QList<int> widths;
    const QFont font = KSTextStyle::systemFont(12);
    for (const QString &text : KSEditChangeSizeMetrics::measuredTexts(m_dataArray))
        widths.append(KSEditChangeSizeMetrics::textWidth(text, font));

    // The button row must have its final geometry before it is measured.
    layout()->activate();
    m_ui->selectionView->layout()->activate();
    const int eBusinessLeft = m_ui->eBusinessBtn->mapTo(this, QPoint(0, 0)).x();
    qCDebug(lcEditor).noquote() << "eBusinessBtn left =" << eBusinessLeft;

    // What the row asks for: every button at its title's width; the options
    // below the table ask as much.
    const int rowWidth = std::max(m_ui->selectionView->sizeHint().width(), m_optionsView->requiredWidth());
    const int width = KSEditChangeSizeMetrics::calculativeWidth(widths, eBusinessLeft, rowWidth);
    qCDebug(lcEditor).noquote() << "calculativeWidth =" << width;
    return width;
}

void KSEditChangeSizeView::actionForList(KSHoverButton *sender)
{
    for (KSHoverButton *button : groupButtons())
        button->setSelected(false);
    if (!sender)
        return;
    sender->setSelected(true);
    for (int index = 0; index < m_dataArray.size(); ++index) {
        if (sender->title() == CommLang::GetAppLang(m_dataArray.at(index).title))
            m_chooseList = index;
    }
    reloadData();
}

int KSEditChangeSizeView::numberOfRowsInTableView() const
{
    return int(m_dataArray.at(m_chooseList).items.size());
}

int KSEditChangeSizeView::heightOfRow(int) const
{
    return KSEditChangeSizeMetrics::kRowHeight;
}

KSEditChangeSizeTabelCellView *KSEditChangeSizeView::viewForRow(int row)
{
    const QList<KSEditChangeSizeItem> &items = m_dataArray.at(m_chooseList).items;
    if (row < 0 || row >= items.size())
        return nullptr;
    QTableWidget *table = m_ui->tableView;
    auto *cell = qobject_cast<KSEditChangeSizeTabelCellView *>(table->cellWidget(row, 0));
    if (!cell) {
        cell = loadViewFromNib<KSEditChangeSizeTabelCellView>();
        if (!cell)
            return nullptr;
        table->setCellWidget(row, 0, cell);
    }
    cell->configure(items.at(row), m_chooseList == m_selectList && row == m_selectItem);
    return cell;
}

void KSEditChangeSizeView::reloadData()
{
    QTableWidget *table = m_ui->tableView;
    const int rows = numberOfRowsInTableView();
    table->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        table->setRowHeight(row, heightOfRow(row));
        viewForRow(row);
    }
}

void KSEditChangeSizeView::tableViewSelectionDidChange(int row)
{
    if (row < 0 || row >= numberOfRowsInTableView())
        return;
    m_selectList = m_chooseList;
    m_selectItem = row;
    reloadData();
    const KSEditChangeSizeItem item = m_dataArray.at(m_chooseList).items.at(row);
    m_optionsView->showOptionsFor(item);
    if (returnClosure)
        returnClosure(double(item.width), double(item.height));
}

void KSEditChangeSizeView::markPreset(const QString &key)
{
    for (int list = 0; list < m_dataArray.size(); ++list) {
        const QList<KSEditChangeSizeItem> &items = m_dataArray.at(list).items;
        for (int row = 0; row < items.size(); ++row) {
            if (key.isEmpty() || items.at(row).key != key)
                continue;
            m_selectList = list;
            m_selectItem = row;
            reloadData();
            m_optionsView->showOptionsFor(items.at(row));
            return;
        }
    }
}

KSEditChangeSizeItem KSEditChangeSizeView::chosenItem() const
{
    return m_dataArray.at(m_selectList).items.at(m_selectItem);
}

bool KSEditChangeSizeView::choosePreset(const QString &key)
{
    for (int list = 0; list < m_dataArray.size(); ++list) {
        const QList<KSEditChangeSizeItem> &items = m_dataArray.at(list).items;
        for (int row = 0; row < items.size(); ++row) {
            if (items.at(row).key != key)
                continue;
            const QList<KSHoverButton *> buttons{m_ui->regularBtn, m_ui->certificateBtn, m_ui->eBusinessBtn};
            actionForList(buttons.value(list));
            m_chooseList = list;
            tableViewSelectionDidChange(row);
            return true;
        }
    }
    return false;
}

KSFitMode KSEditChangeSizeView::fitMode() const
{
    return m_optionsView->fitMode();
}

void KSEditChangeSizeView::setFitMode(KSFitMode mode)
{
    m_optionsView->setFitMode(mode);
}

void KSEditChangeSizeView::customSizeChanged()
{
    // The custom row shows the new size, and reports it when it is the chosen one.
    for (int list = 0; list < m_dataArray.size(); ++list) {
        QList<KSEditChangeSizeItem> &items = m_dataArray[list].items;
        for (int row = 0; row < items.size(); ++row) {
            if (!items.at(row).isCustom)
                continue;
            items[row] = KSCustomSize::load().item(items.at(row).title);
            if (list == m_chooseList)
                viewForRow(row);
            if (list == m_selectList && row == m_selectItem && returnClosure)
                returnClosure(double(items.at(row).width), double(items.at(row).height));
        }
    }
}

QWidget *KSEditChangeSizeView::selectionView() const
{
    return m_ui->selectionView;
}

KSHoverButton *KSEditChangeSizeView::regularBtn() const
{
    return m_ui->regularBtn;
}

KSHoverButton *KSEditChangeSizeView::certificateBtn() const
{
    return m_ui->certificateBtn;
}

KSHoverButton *KSEditChangeSizeView::eBusinessBtn() const
{
    return m_ui->eBusinessBtn;
}

QTableWidget *KSEditChangeSizeView::tableView() const
{
    return m_ui->tableView;
}
