#include "KSServiceRequest.h"

#include "CommLog.h"
#include "CommPassport.h"
#include "KSCurlSession.h"
#include "KSReplyEnvelope.h"
#include "KSServiceAddress.h"

namespace KSServiceRequest {

std::optional<Target> target(const QString &path, std::function<void()> failure)
{
    const QString token = CommPassport::apiToken();
    if (token.isEmpty())
        CommLog::E(kFlowError + QStringLiteral("没有登录，缺少账号令牌"));
    const std::optional<QString> url = KSServiceAddress::endpoint(path);
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
        CommLog::E(kFlowError + step + QStringLiteral(" 回复的status缺失或不是文本"));
        return false;
    }
    return KSReplyEnvelope::isSuccessStatus(status);
}

} // namespace KSServiceRequest
