#include "KSReplyEnvelope.h"

#include <QRegularExpression>

#include <cmath>

bool KSReplyEnvelope::isSuccessStatus(const QVariant &status)
{
    static const QRegularExpression one(QStringLiteral("^\\+?0*1$"));
    return status.typeId() == QMetaType::QString && one.match(status.toString()).hasMatch();
}

std::optional<QVariantMap> KSReplyEnvelope::objectAt(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value.toMap();
}

std::optional<QString> KSReplyEnvelope::textAt(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<qint64> KSReplyEnvelope::integerAt(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double number = value.toDouble();
        // Beyond 2^53 a double holds no exact integer of a poll's kind.
        if (std::isfinite(number) && std::abs(number) < 9.0e15 && number == std::trunc(number))
            return qint64(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QJsonObject KSReplyEnvelope::success(const QJsonObject &data)
{
    return {{QStringLiteral("status"), QStringLiteral("1")},
            {QStringLiteral("message"), QStringLiteral("ok")},
            {QStringLiteral("data"), data}};
}

QJsonObject KSReplyEnvelope::failure(const QString &message)
{
    return {{QStringLiteral("status"), QStringLiteral("0")}, {QStringLiteral("message"), message}};
}
