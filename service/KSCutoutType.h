#pragma once

#include <QString>

#include <optional>

// What the subject of a picture is; its raw value is the last segment of the
// task-creation path ("/api/tasks/person", "/api/tasks/object").
enum class KSCutoutType { person, object };

[[nodiscard]] QString KSCutoutTypeRawValue(KSCutoutType type);
// Exactly "person" or "object"; anything else is no type.
[[nodiscard]] std::optional<KSCutoutType> KSCutoutTypeFromRawValue(const QString &raw);
