#include "KSEditPanelStyle.h"

#include "KSColorConst.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

#include <QSlider>

#include <algorithm>

void KSEditPanelStyle::styleTabButton(KSHoverButton *button)
{
    button->setTitleColor(KSRGBHexColor(0x333333));
    button->setTitleHoverColor(Qt::white);
    button->setTitleDownColor(Qt::white);
    button->setTitleFont(KSTextStyle::systemFont(14));
    button->setBackgroundColor(Qt::white);
    button->setBackgroundHoverColor(KSRGBHexColor(0x00CC8F));
    button->setBackgroundDownColor(KSRGBHexColor(0x00CC8F));
    button->setBorderRadius(6.0);
}

void KSEditPanelStyle::styleDialogButton(KSHoverButton *button, const QColor &title, const QColor &background,
                                         const QColor &hover)
{
    button->setTitleFont(KSTextStyle::systemFont(11));
    button->setTitleColor(title);
    button->setTitleHoverColor(title);
    button->setTitleDownColor(title);
    button->setBackgroundColor(background);
    button->setBackgroundHoverColor(hover);
    button->setBorderRadius(4.0);
}

void KSEditPanelStyle::styleAccentButton(KSHoverButton *button)
{
    styleDialogButton(button, Qt::white, KSRGBHexColor(0x00CC8F), KSRGBHexColor(0x00B17C));
}

void KSEditPanelStyle::fitToTitle(KSHoverButton *button)
{
    button->setMinimumWidth(std::max(80, button->sizeHint().width() + 8));
}

void KSEditPanelStyle::styleSlider(QSlider *slider)
{
    slider->setStyleSheet(QStringLiteral(
        "QSlider::groove:horizontal { height: 4px; background: #DDDDDD; border-radius: 2px; }"
        "QSlider::sub-page:horizontal { background: #00CC8F; border-radius: 2px; }"
        "QSlider::sub-page:horizontal:disabled { background: #BBBBBB; }"
        "QSlider::handle:horizontal { background: white; border: 1px solid #00CC8F; width: 14px;"
        " margin: -6px 0; border-radius: 8px; }"
        "QSlider::handle:horizontal:disabled { border-color: #BBBBBB; }"));
}
