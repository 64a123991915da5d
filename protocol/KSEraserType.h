#pragma once

#include <QHashFunctions>
#include <QString>

#include <cstdint>
#include <optional>

// What the subject of a photo is. The raw value is also the last segment of
// the task-creation path ("/api/tasks/person", "/api/tasks/object").
enum class KSEraserType : std::uint8_t {
    person,
    object,
};

[[nodiscard]] inline QString KSEraserTypeRawValue(KSEraserType type)
{
    return type == KSEraserType::person ? QStringLiteral("person") : QStringLiteral("object");
}

// Exactly "person" or "object"; none for any other text.
[[nodiscard]] inline std::optional<KSEraserType> KSEraserTypeFromRawValue(const QString &rawValue)
{
    if (rawValue == QLatin1String("person"))
        return KSEraserType::person;
    if (rawValue == QLatin1String("object"))
        return KSEraserType::object;
    return std::nullopt;
}

[[nodiscard]] inline size_t qHash(KSEraserType type, size_t seed = 0) noexcept
{
    return qHash(KSEraserTypeRawValue(type), seed);
}
