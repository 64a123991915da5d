#include "KSCutoutType.h"

QString KSCutoutTypeRawValue(KSCutoutType type)
{
    return type == KSCutoutType::person ? QStringLiteral("person") : QStringLiteral("object");
}

std::optional<KSCutoutType> KSCutoutTypeFromRawValue(const QString &raw)
{
    if (raw == QLatin1String("person"))
        return KSCutoutType::person;
    if (raw == QLatin1String("object"))
        return KSCutoutType::object;
    return std::nullopt;
}
