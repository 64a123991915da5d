#include "KSEditPanelStyle.h"

#include "KSColorConst.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

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
