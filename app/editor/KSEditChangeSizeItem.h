#pragma once

#include <QString>
#include <QtGlobal>

// One preset of the size panel. A width and height of 0 mean the source size.
struct KSEditChangeSizeItem
{
    QString title; // as shown: localized, or a literal such as "1000x1000px"
    QString tips;  // second line; empty for none
    qint64 width = 0;
    qint64 height = 0;
};
