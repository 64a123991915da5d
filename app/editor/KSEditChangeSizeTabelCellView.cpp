#include "KSEditChangeSizeTabelCellView.h"

#include "ui_KSEditChangeSizeTabelCellView.h"

#include "KSColorConst.h"
#include "KSEditChangeSizeItem.h"
#include "KSTextStyle.h"

KSEditChangeSizeTabelCellView::KSEditChangeSizeTabelCellView(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::KSEditChangeSizeTabelCellView>())
{
    m_ui->setupUi(this);
    // Clicks belong to the table, which turns them into a choice of row.
    setAttribute(Qt::WA_TransparentForMouseEvents);

    KSColorView *background = m_ui->backgroudView;
    background->setColor(Qt::white);
    background->setBorderColor(KSRGBHexColor(0xD8D8D8));
    background->setBorderLineWith(1.0);
    background->setRadius(6.0);
    KSTextStyle::apply(m_ui->titleLbl, KSRGBHexColor(0x333333), 14);
    KSTextStyle::apply(m_ui->tipLbl, KSRGBHexColor(0x999999), 12);
}

KSEditChangeSizeTabelCellView::~KSEditChangeSizeTabelCellView() = default;

void KSEditChangeSizeTabelCellView::configure(const KSEditChangeSizeItem &item, bool selected)
{
    m_ui->titleLbl->setText(item.title);
    m_ui->tipLbl->setText(item.tips);
    m_ui->tipLbl->setVisible(!item.tips.isEmpty());
    setIsSelected(selected);
}

void KSEditChangeSizeTabelCellView::setIsSelected(bool selected)
{
    m_isSelected = selected;
    m_ui->backgroudView->setBorderColor(KSRGBHexColor(selected ? 0x00CC8F : 0xD8D8D8));
}

KSColorView *KSEditChangeSizeTabelCellView::backgroudView() const
{
    return m_ui->backgroudView;
}

QLabel *KSEditChangeSizeTabelCellView::titleLbl() const
{
    return m_ui->titleLbl;
}

QLabel *KSEditChangeSizeTabelCellView::tipLbl() const
{
    return m_ui->tipLbl;
}
