#include "KSNotice.h"

#include "CommLog.h"
#include "KSNotificationCenter.h"

#include <QVariantMap>

void KSNotice::post(const KSNotice &notice)
{
    CommLog::I(QStringLiteral("notice: %1 %2 %3").arg(notice.title, notice.message, notice.detail));
    KSNotificationCenter::defaultCenter()->post(kNotificationShowNotice, notice.toVariant());
}

QVariant KSNotice::toVariant() const
{
    return QVariantMap{{QStringLiteral("title"), title},
                       {QStringLiteral("message"), message},
                       {QStringLiteral("detail"), detail}};
}

KSNotice KSNotice::fromVariant(const QVariant &object)
{
    const QVariantMap map = object.toMap();
    return {map.value(QStringLiteral("title")).toString(), map.value(QStringLiteral("message")).toString(),
            map.value(QStringLiteral("detail")).toString()};
}
