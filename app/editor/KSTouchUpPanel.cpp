#include "KSTouchUpPanel.h"

#include "ui_KSTouchUpPanel.h"

#include "CommLang.h"
#include "KSColorConst.h"
#include "KSEditPanelStyle.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

// The size slider is logarithmic: small brushes get as much of its travel
// as large ones.
constexpr int kSliderSteps = 1000;

int sliderForDiameter(double diameter)
{
    const double span = std::log(KSBrushSettings::kMaximumDiameter / KSBrushSettings::kMinimumDiameter);
    return int(std::lround(kSliderSteps * std::log(diameter / KSBrushSettings::kMinimumDiameter) / span));
}

double diameterForSlider(int value)
{
    const double span = std::log(KSBrushSettings::kMaximumDiameter / KSBrushSettings::kMinimumDiameter);
    return KSBrushSettings::kMinimumDiameter * std::exp(span * value / kSliderSteps);
}

} // namespace

KSTouchUpPanel::KSTouchUpPanel(QWidget *parent)
    : KSColorView(parent), m_ui(std::make_unique<Ui::KSTouchUpPanel>())
{
    m_ui->setupUi(this);
    setColor(KSRGBHexColor(0xF6F7FB));

    KSHoverButton *heading = m_ui->titleBtn;
    KSEditPanelStyle::styleTabButton(heading);
    heading->setTitle(lang("TouchUp"));
    heading->setSelected(true);
    heading->setCursor(Qt::ArrowCursor);

    for (KSHoverButton *button : {m_ui->keepBtn, m_ui->eraseBtn}) {
        KSEditPanelStyle::styleTabButton(button);
        button->setTarget(this);
        button->setAction([this](KSHoverButton *sender) { actionForMode(sender); });
    }
    m_ui->keepBtn->setTitle(lang("TouchUpKeep"));
    m_ui->keepBtn->setToolTip(lang("TouchUpKeepTip"));
    m_ui->eraseBtn->setTitle(lang("TouchUpErase"));
    m_ui->eraseBtn->setToolTip(lang("TouchUpEraseTip"));

    const QColor text = KSRGBHexColor(0x333333);
    const QColor secondary = KSRGBHexColor(0x999999);
    m_ui->sizeLabel->setText(lang("BrushSize"));
    m_ui->softnessLabel->setText(lang("BrushSoftness"));
    for (QLabel *label : {m_ui->sizeLabel, m_ui->softnessLabel})
        KSTextStyle::apply(label, text, 12);
    for (QLabel *label : {m_ui->sizeValueLabel, m_ui->softnessValueLabel})
        KSTextStyle::apply(label, KSRGBHexColor(0x666666), 12);
    m_ui->smartCheck->setText(lang("SmartBrush"));
    m_ui->smartCheck->setFont(KSTextStyle::systemFont(12));
    m_ui->smartTipLabel->setText(lang("SmartBrushTip"));
    m_ui->tipLabel->setText(lang("TouchUpTip"));
    for (QLabel *label : {m_ui->smartTipLabel, m_ui->tipLabel})
        KSTextStyle::apply(label, secondary, 11);

    for (QSlider *slider : {m_ui->sizeSlider, m_ui->softnessSlider})
        KSEditPanelStyle::styleSlider(slider);
    m_ui->sizeSlider->setRange(0, kSliderSteps);
    m_ui->softnessSlider->setRange(0, 100);
    connect(m_ui->sizeSlider, &QSlider::valueChanged, this, [this](int value) {
        if (m_showing)
            return;
        m_settings.diameter = diameterForSlider(value);
        showSettings();
        report();
    });
    connect(m_ui->softnessSlider, &QSlider::valueChanged, this, [this](int value) {
        if (m_showing)
            return;
        m_settings.softness = value / 100.0;
        showSettings();
        report();
    });
    connect(m_ui->smartCheck, &QCheckBox::toggled, this, [this](bool smart) {
        if (m_showing)
            return;
        m_settings.smart = smart;
        report();
    });
    showSettings();
}

KSTouchUpPanel::~KSTouchUpPanel() = default;

void KSTouchUpPanel::showSettings()
{
    m_showing = true;
    m_ui->keepBtn->setSelected(m_settings.mode == KSMaskBrush::Mode::keep);
    m_ui->eraseBtn->setSelected(m_settings.mode == KSMaskBrush::Mode::erase);
    m_ui->sizeSlider->setValue(sliderForDiameter(m_settings.diameter));
    m_ui->sizeValueLabel->setText(QStringLiteral("%1 pt").arg(std::lround(m_settings.diameter)));
    m_ui->softnessSlider->setValue(int(std::lround(m_settings.softness * 100)));
    m_ui->softnessValueLabel->setText(QStringLiteral("%1 %").arg(std::lround(m_settings.softness * 100)));
    m_ui->smartCheck->setChecked(m_settings.smart);
    // Softness means nothing to the smart brush, which finds its own edge.
    m_ui->softnessSlider->setEnabled(!m_settings.smart);
    m_showing = false;
}

void KSTouchUpPanel::report()
{
    m_ui->softnessSlider->setEnabled(!m_settings.smart);
    if (returnClosure)
        returnClosure(m_settings);
}

void KSTouchUpPanel::setSettings(const KSBrushSettings &settings)
{
    m_settings = settings;
    m_settings.diameter =
        std::clamp(settings.diameter, KSBrushSettings::kMinimumDiameter, KSBrushSettings::kMaximumDiameter);
    m_settings.softness = std::clamp(settings.softness, 0.0, 1.0);
    showSettings();
    report();
}

void KSTouchUpPanel::setDiameter(double diameter)
{
    KSBrushSettings settings = m_settings;
    settings.diameter = diameter;
    setSettings(settings);
}

void KSTouchUpPanel::actionForMode(KSHoverButton *sender)
{
    KSBrushSettings settings = m_settings;
    settings.mode = sender == m_ui->keepBtn ? KSMaskBrush::Mode::keep : KSMaskBrush::Mode::erase;
    setSettings(settings);
}

KSHoverButton *KSTouchUpPanel::titleBtn() const { return m_ui->titleBtn; }
KSHoverButton *KSTouchUpPanel::keepBtn() const { return m_ui->keepBtn; }
KSHoverButton *KSTouchUpPanel::eraseBtn() const { return m_ui->eraseBtn; }
QSlider *KSTouchUpPanel::sizeSlider() const { return m_ui->sizeSlider; }
QSlider *KSTouchUpPanel::softnessSlider() const { return m_ui->softnessSlider; }
QCheckBox *KSTouchUpPanel::smartCheck() const { return m_ui->smartCheck; }
QLabel *KSTouchUpPanel::sizeValueLabel() const { return m_ui->sizeValueLabel; }
