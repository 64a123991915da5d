#include "KSBatchItem.h"

#include <QFileInfo>

QString KSBatchItem::name() const
{
    return QFileInfo(photoPath).fileName();
}

QString KSBatchItem::failureText() const
{
    return failure ? failure->message() : QString();
}
