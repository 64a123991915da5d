#include "KSServiceAddress.h"

#include "CommLog.h"
#include "KSCurlSession.h"
#include "KSServiceRequest.h"
#include "KSUserDefaultKit.h"

#include <QMutex>
#include <QUrl>

namespace {
QString defaultServiceURL;
QMutex defaultServiceURLMutex;
} // namespace

QString KSServiceAddress::serviceURL()
{
    const QString configured = configuredServiceURL();
    if (!configured.isEmpty())
        return configured;
    QMutexLocker lock(&defaultServiceURLMutex);
    return defaultServiceURL;
}

QString KSServiceAddress::configuredServiceURL()
{
    const QString environment = qEnvironmentVariable(kServiceURLEnvironment).trimmed();
    if (!environment.isEmpty())
        return environment;
    return KSUserDefaultKit::getFromUserDefaults_NSString(kServiceURLKey, QString()).trimmed();
}

void KSServiceAddress::setDefaultServiceURL(const QString &url)
{
    QMutexLocker lock(&defaultServiceURLMutex);
    defaultServiceURL = url.trimmed();
}

std::optional<QString> KSServiceAddress::endpoint(const QString &path)
{
    QString base = serviceURL().trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    const QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https")
                        || (scheme == QLatin1String("http") && KSCurlSession::isLoopbackHost(url.host()));
    if (base.isEmpty() || !KSCurlSession::isWebUrl(base) || !secure) {
        CommLog::E(KSServiceRequest::kFlowError + QStringLiteral("服务地址无效 \"%1\"").arg(base));
        return std::nullopt;
    }
    return base + path;
}
