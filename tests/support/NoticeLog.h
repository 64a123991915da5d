#pragma once

#include "KSNotice.h"
#include "KSNotificationCenter.h"

#include <QList>
#include <QObject>

// Collects the notices posted while it lives.
class NoticeLog : public QObject
{
public:
    NoticeLog()
    {
        KSNotificationCenter::defaultCenter()->observe(KSNotice::kNotificationShowNotice, this,
                                                       [this](const QVariant &object) {
                                                           notices << KSNotice::fromVariant(object);
                                                       });
    }

    QList<KSNotice> notices;
};
