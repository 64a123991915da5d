#pragma once

#include "KSEditChangeSizeItem.h"

#include <QList>
#include <QString>

// One group of the size panel.
struct KSEditChangeSizeList
{
    QString title; // the group's localization key
    QList<KSEditChangeSizeItem> items;
};
