#include "KSServiceRequest.h"

#include "CommLog.h"
#include "CommPassport.h"
#include "KSCurlSession.h"
#include "KSReplyEnvelope.h"
#include "KSServiceAddress.h"

#include <QUrl>

namespace KSServiceRequest {

std::optional<QString> endpoint(const QString &path)
{
    QString base = KSServiceAddress::serviceURL().trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    const QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https")
                        || (scheme == QLatin1String("http") && KSCurlSession::isLoopbackHost(url.host()));
    if (base.isEmpty() || !KSCurlSession::isWebUrl(base) || !secure) {
        CommLog::E(kFlowError + QStringLiteral("invalid service address \"%1\"").arg(base));
        return std::nullopt;
    }
    return base + path;
}

std::optional<Target> target(const QString &path, std::function<void()> failure)
{
    const QString token = CommPassport::apiToken();
    if (token.isEmpty())
        CommLog::E(kFlowError + QStringLiteral("not signed in, no account token"));
    const std::optional<QString> url = endpoint(path);
    if (token.isEmpty() || !url) {
        KSCurlSession::run(std::move(failure));
        return std::nullopt;
    }
    return Target{token, *url};
}

QVariantMap bearer(const QString &token)
{
    return {{QStringLiteral("Authorization"), QStringLiteral("Bearer ") + token}};
}

KSEraserFailure missingTarget()
{
    if (CommPassport::apiToken().isEmpty())
        return {KSEraserFailure::Kind::signedOut};
    return {KSEraserFailure::Kind::serviceUnreachable};
}

bool envelopeSucceeded(const QVariantMap &reply, const QString &step)
{
    const QVariant status = reply.value(QStringLiteral("status"));
    if (status.typeId() != QMetaType::QString) {
        CommLog::E(kFlowError + step + QStringLiteral(": the reply's status is missing or not text"));
        return false;
    }
    return KSReplyEnvelope::isSuccessStatus(status);
}

} // namespace KSServiceRequest
