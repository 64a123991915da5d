#pragma once

#include "KSEraserFailure.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

// What every request of the cut-out client needs: the account's token, the
// address, the bearer header, and the envelope's verdict with its log line.
namespace KSServiceRequest {

// The prefix of the pipeline's error lines in the log ("cut-out flow error: ").
inline const QString kFlowError = QStringLiteral("cut-out failed: ");

struct Target
{
    QString token;
    QString url;
};

// The service address joined with an API path, or none (with an error line
// in the log) when the address may not carry the account's token: only
// https, or http to this machine.
[[nodiscard]] std::optional<QString> endpoint(const QString &path);

// The token and the address of a request to the API path. When either is
// missing, failure runs instead, on another thread as a reply would.
[[nodiscard]] std::optional<Target> target(const QString &path, std::function<void()> failure);

[[nodiscard]] QVariantMap bearer(const QString &token);

// Why target() found nothing to send to: no account, or no service.
[[nodiscard]] KSEraserFailure missingTarget();

// Whether the reply's envelope says success. A status that is missing or not
// text is a fault of the service that the log shows under the step's name;
// any other text than 1 is the service's own "no".
[[nodiscard]] bool envelopeSucceeded(const QVariantMap &reply, const QString &step);

} // namespace KSServiceRequest
