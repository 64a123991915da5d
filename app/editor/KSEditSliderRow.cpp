#include "KSEditSliderRow.h"

#include "KSColorConst.h"
#include "KSEditPanelStyle.h"
#include "KSTextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

KSEditSliderRow::KSEditSliderRow(const QString &title, int minimum, int maximum, QWidget *parent)
    : QWidget(parent), m_titleLabel(new QLabel(title, this)), m_valueLabel(new QLabel(this)),
      m_slider(new QSlider(Qt::Horizontal, this))
{
    KSTextStyle::apply(m_titleLabel, KSRGBHexColor(0x333333), 12);
    KSTextStyle::apply(m_valueLabel, KSRGBHexColor(0x666666), 12);
    m_slider->setRange(minimum, maximum);
    KSEditPanelStyle::styleSlider(m_slider);

    auto *line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(m_titleLabel);
    line->addStretch(1);
    line->addWidget(m_valueLabel);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addLayout(line);
    column->addWidget(m_slider);

    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        showValueText();
        if (!m_showing)
            emit edited(value, m_slider->isSliderDown());
    });
    connect(m_slider, &QSlider::sliderPressed, this, &KSEditSliderRow::dragStarted);
    connect(m_slider, &QSlider::sliderReleased, this, &KSEditSliderRow::dragEnded);
    showValueText();
}

void KSEditSliderRow::setValueText(std::function<QString(int value)> text)
{
    m_valueText = std::move(text);
    showValueText();
}

int KSEditSliderRow::value() const
{
    return m_slider->value();
}

void KSEditSliderRow::showValue(int value)
{
    m_showing = true;
    m_slider->setValue(value);
    m_showing = false;
    showValueText();
}

bool KSEditSliderRow::isDragging() const
{
    return m_slider->isSliderDown();
}

void KSEditSliderRow::showValueText()
{
    const int value = m_slider->value();
    m_valueLabel->setText(m_valueText ? m_valueText(value) : QString::number(value));
}
