#include "KSProtocolDebug.h"

#include "KSLogCategories.h"

#include <QJsonDocument>
#include <QStringList>

namespace {

QVariant masked(const QVariant &value)
{
    static const QStringList secrets{QStringLiteral("access_secret"), QStringLiteral("security_token"),
                                     QStringLiteral("api_token")};
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = secrets.contains(it.key()) ? QVariant(QStringLiteral("***")) : masked(it.value());
        return map;
    }
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list = value.toList();
        for (QVariant &item : list)
            item = masked(item);
        return list;
    }
    return value;
}

} // namespace

QString KSProtocolDebug::describe(const QVariant &reply)
{
    const QVariant safe = masked(reply);
    if (safe.typeId() == QMetaType::QVariantMap || safe.typeId() == QMetaType::QVariantList)
        return QString::fromUtf8(QJsonDocument::fromVariant(safe).toJson(QJsonDocument::Compact));
    return safe.toString();
}

void KSProtocolDebug::print(const char *prefix, const QVariant &reply)
{
    qCDebug(lcProtocol).noquote() << prefix << describe(reply);
}
