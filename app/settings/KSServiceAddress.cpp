#include "KSServiceAddress.h"

#include "KSUserDefaultKit.h"

#include <QMutex>

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
