#include "KSEditSizeOptionsView.h"

#include "CommLang.h"
#include "KSColorConst.h"
#include "KSEditPanelStyle.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

constexpr int kButtonHeight = 30;
constexpr int kSpacing = 8;
constexpr int kSideMargin = 12;

// A field shows its widest text whole, in either language: it never gets
// narrower than its own size hint, which measures that text.
void keepWholeText(QWidget *field)
{
    field->setMinimumWidth(field->sizeHint().width());
}

QString paperTitle(KSPrintSheet::Paper paper)
{
    switch (paper) {
    case KSPrintSheet::Paper::fourBySix:
        return lang("Paper4x6");
    case KSPrintSheet::Paper::a6:
        return lang("PaperA6");
    case KSPrintSheet::Paper::a4:
        return lang("PaperA4");
    }
    return KSPrintSheet::paperName(paper);
}
} // namespace

KSEditSizeOptionsView::KSEditSizeOptionsView(QWidget *parent) : QWidget(parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    column->setSpacing(kSpacing);

    auto *fitRow = new QHBoxLayout;
    fitRow->setSpacing(6);
    m_fitSubjectBtn = new KSHoverButton(this);
    m_fitSubjectBtn->setObjectName(QStringLiteral("fitSubjectBtn"));
    m_fitPhotoBtn = new KSHoverButton(this);
    m_fitPhotoBtn->setObjectName(QStringLiteral("fitPhotoBtn"));
    const QList<std::pair<KSHoverButton *, KSFitMode>> fitButtons{{m_fitSubjectBtn, KSFitMode::subject},
                                                                  {m_fitPhotoBtn, KSFitMode::photo}};
    for (const auto &[button, mode] : fitButtons) {
        KSEditPanelStyle::styleTabButton(button);
        button->setTitle(lang(mode == KSFitMode::subject ? "FitSubject" : "FitPhoto"));
        button->setMinimumHeight(kButtonHeight);
        button->setTarget(this);
        button->setAction([this, mode = mode](KSHoverButton *) {
            setFitMode(mode);
            if (fitModeClosure)
                fitModeClosure(mode);
        });
        fitRow->addWidget(button);
    }
    column->addLayout(fitRow);

    m_noticeLbl = new QLabel(this);
    m_noticeLbl->setObjectName(QStringLiteral("noticeLbl"));
    m_noticeLbl->setWordWrap(true);
    KSTextStyle::apply(m_noticeLbl, KSRGBHexColor(0xD9480F), 12);
    m_noticeLbl->hide();
    column->addWidget(m_noticeLbl);

    m_customSizeView = new QWidget(this);
    auto *custom = new QHBoxLayout(m_customSizeView);
    custom->setContentsMargins(0, 0, 0, 0);
    custom->setSpacing(4);
    m_widthBox = new QDoubleSpinBox(m_customSizeView);
    m_heightBox = new QDoubleSpinBox(m_customSizeView);
    for (QDoubleSpinBox *box : {m_widthBox, m_heightBox}) {
        box->setDecimals(1);
        box->setRange(0.1, KSCustomSize::kMaxPixels);
        box->setKeyboardTracking(false);
    }
    m_widthBox->setToolTip(lang("Width"));
    m_heightBox->setToolTip(lang("Height"));
    m_unitBox = new QComboBox(m_customSizeView);
    for (KSCustomSize::Unit unit : {KSCustomSize::Unit::px, KSCustomSize::Unit::mm, KSCustomSize::Unit::in})
        m_unitBox->addItem(KSCustomSize::unitName(unit), int(unit));
    m_dpiBox = new QSpinBox(m_customSizeView);
    m_dpiBox->setRange(KSCustomSize::kMinDpi, KSCustomSize::kMaxDpi);
    m_dpiBox->setSuffix(QLatin1Char(' ') + lang("Resolution"));
    m_dpiBox->setKeyboardTracking(false);
    for (QWidget *field : std::initializer_list<QWidget *>{m_widthBox, m_heightBox, m_unitBox, m_dpiBox})
        keepWholeText(field);
    custom->addWidget(m_widthBox, 1);
    custom->addWidget(new QLabel(QStringLiteral("×"), m_customSizeView));
    custom->addWidget(m_heightBox, 1);
    custom->addWidget(m_unitBox);
    custom->addWidget(m_dpiBox, 1);
    connect(m_widthBox, &QDoubleSpinBox::valueChanged, this, &KSEditSizeOptionsView::customSizeEdited);
    connect(m_heightBox, &QDoubleSpinBox::valueChanged, this, &KSEditSizeOptionsView::customSizeEdited);
    connect(m_unitBox, &QComboBox::currentIndexChanged, this, &KSEditSizeOptionsView::customSizeEdited);
    connect(m_dpiBox, &QSpinBox::valueChanged, this, &KSEditSizeOptionsView::customSizeEdited);
    m_customSizeView->hide();
    column->addWidget(m_customSizeView);

    m_printSheetView = new QWidget(this);
    auto *sheet = new QHBoxLayout(m_printSheetView);
    sheet->setContentsMargins(0, 0, 0, 0);
    sheet->setSpacing(6);
    m_paperBox = new QComboBox(m_printSheetView);
    for (KSPrintSheet::Paper paper : KSPrintSheet::papers())
        m_paperBox->addItem(paperTitle(paper), int(paper));
    m_paperBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    keepWholeText(m_paperBox);
    m_printSheetBtn = new KSHoverButton(m_printSheetView);
    m_printSheetBtn->setObjectName(QStringLiteral("printSheetBtn"));
    KSEditPanelStyle::styleTabButton(m_printSheetBtn);
    m_printSheetBtn->setTitle(lang("SavePrintSheet"));
    m_printSheetBtn->setToolTip(lang("PrintSheetHint"));
    m_printSheetBtn->setMinimumHeight(kButtonHeight);
    m_printSheetBtn->setTarget(this);
    m_printSheetBtn->setAction([this](KSHoverButton *) {
        if (printSheetClosure)
            printSheetClosure(KSPrintSheet::Paper(m_paperBox->currentData().toInt()));
    });
    sheet->addWidget(m_paperBox);
    sheet->addWidget(m_printSheetBtn, 1);
    m_printSheetView->hide();
    column->addWidget(m_printSheetView);

    setFitMode(KSFitMode::subject);
}

void KSEditSizeOptionsView::setFitMode(KSFitMode mode)
{
    m_fitMode = mode;
    m_fitSubjectBtn->setSelected(mode == KSFitMode::subject);
    m_fitPhotoBtn->setSelected(mode == KSFitMode::photo);
}

void KSEditSizeOptionsView::showOptionsFor(const KSEditChangeSizeItem &item)
{
    if (item.isCustom)
        showCustomSize(KSCustomSize::load());
    m_customSizeView->setVisible(item.isCustom);
    m_printSheetView->setVisible(item.hasPrintSize());
}

void KSEditSizeOptionsView::setNotice(const QString &text)
{
    m_noticeLbl->setText(text);
    m_noticeLbl->setVisible(!text.isEmpty());
    fitNoticeHeight();
}

void KSEditSizeOptionsView::fitNoticeHeight()
{
    const int width = contentsRect().width() - 2 * kSideMargin;
    if (width <= 0)
        return;
    m_noticeLbl->setMinimumHeight(m_noticeLbl->text().isEmpty() ? 0 : m_noticeLbl->heightForWidth(width));
}

void KSEditSizeOptionsView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitNoticeHeight();
}

int KSEditSizeOptionsView::requiredWidth() const
{
    // Hidden rows count too: the panel's width is set before they show.
    int rows = 0;
    for (const QWidget *row : {m_customSizeView, m_printSheetView})
        rows = std::max(rows, row->layout()->minimumSize().width());
    return std::max(rows + 2 * kSideMargin, minimumSizeHint().width());
}

QString KSEditSizeOptionsView::notice() const
{
    return m_noticeLbl->isVisible() ? m_noticeLbl->text() : QString();
}

void KSEditSizeOptionsView::showCustomSize(const KSCustomSize &size)
{
    m_filling = true;
    m_widthBox->setValue(size.width);
    m_heightBox->setValue(size.height);
    m_unitBox->setCurrentIndex(m_unitBox->findData(int(size.unit)));
    m_dpiBox->setValue(size.dpi);
    m_dpiBox->setEnabled(size.unit != KSCustomSize::Unit::px);
    m_filling = false;
}

void KSEditSizeOptionsView::customSizeEdited()
{
    if (m_filling)
        return;
    KSCustomSize size;
    size.width = m_widthBox->value();
    size.height = m_heightBox->value();
    size.unit = KSCustomSize::Unit(m_unitBox->currentData().toInt());
    size.dpi = m_dpiBox->value();
    m_dpiBox->setEnabled(size.unit != KSCustomSize::Unit::px);
    // A size beyond what can be saved stays in the fields, unremembered,
    // and the panel says why; the next framing's notice replaces the words.
    if (!KSCustomSize::save(size)) {
        setNotice(CommLang::GetAppLang(QStringLiteral("CustomSizeOutOfRange"))
                      .arg(KSOutputRender::kMaxSide)
                      .arg(KSOutputRender::kMaxPixels / 1'000'000));
        return;
    }
    m_printSheetView->setVisible(size.unit != KSCustomSize::Unit::px);
    setNotice({});
    if (customSizeClosure)
        customSizeClosure(size);
}
