#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The envelope of every reply of the cut-out web API:
//   {"status": "1", "message": "ok", "data": {...}}
// with status as text, "1" for success. The service builds it; the client
// reads it, field by field with the type each field must have, so that a
// reply of the wrong shape is a failure and never a crash or a wrong value.
namespace KSReplyEnvelope {

// Whether a status means success: a text holding a decimal integer equal
// to 1 (a plus sign and leading zeros allowed, nothing else).
[[nodiscard]] bool isSuccessStatus(const QVariant &status);

// The value under key when it has the type named; none otherwise.
[[nodiscard]] std::optional<QVariantMap> objectAt(const QVariantMap &map, const QString &key);
[[nodiscard]] std::optional<QString> textAt(const QVariantMap &map, const QString &key);
// A JSON integer: a number without a fraction. Text, booleans and
// fractions are of another type.
[[nodiscard]] std::optional<qint64> integerAt(const QVariantMap &map, const QString &key);

[[nodiscard]] QJsonObject success(const QJsonObject &data);
[[nodiscard]] QJsonObject failure(const QString &message);

} // namespace KSReplyEnvelope
