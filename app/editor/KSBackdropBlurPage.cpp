#include "KSBackdropBlurPage.h"

#include "CommLang.h"
#include "KSColorConst.h"
#include "KSEditPanelStyle.h"
#include "KSEditSliderRow.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

} // namespace

KSBackdropBlurPage::KSBackdropBlurPage(QWidget *parent)
    : QWidget(parent), m_useButton(new KSHoverButton(this)),
      m_strengthRow(new KSEditSliderRow(lang("BackdropBlurStrength"), 0, kMaxStrength, this))
{
    m_useButton->setObjectName(QStringLiteral("useBackdropBtn"));
    KSEditPanelStyle::styleTabButton(m_useButton);
    m_useButton->setTitleFont(KSTextStyle::systemFont(13));
    m_useButton->setTitle(lang("BackdropBlurUse"));
    m_useButton->setMinimumHeight(36);
    m_useButton->setTarget(this);
    m_useButton->setAction([this](KSHoverButton *) {
        if (!m_applied)
            emit blurEdited(m_strengthRow->value(), false);
        // A selected button stays selected: it shows what the subject has.
        m_useButton->setSelected(m_applied);
    });

    auto *intro = new QLabel(lang("BackdropBlurIntro"), this);
    intro->setWordWrap(true);
    KSTextStyle::apply(intro, KSRGBHexColor(0x999999), 11);

    m_strengthRow->setValueText([](int value) {
        if (value == 0)
            return lang("BackdropBlurNone");
        if (value == kMaxStrength)
            return lang("BackdropBlurStrong");
        return QString::number(value);
    });
    connect(m_strengthRow, &KSEditSliderRow::edited, this, &KSBackdropBlurPage::blurEdited);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(m_useButton);
    column->addWidget(intro);
    column->addWidget(m_strengthRow);
    column->addStretch(1);
    showBlur(-1);
}

void KSBackdropBlurPage::showBlur(int strength)
{
    m_applied = strength >= 0;
    m_useButton->setSelected(m_applied);
    // The slider keeps the last strength to offer it again.
    if (m_applied)
        m_strengthRow->showValue(strength);
    else if (m_strengthRow->value() == 0)
        m_strengthRow->showValue(kDefaultStrength);
}
