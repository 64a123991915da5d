#include "KSCommonUtils.h"

#include "CommLang.h"

#include <QMutex>

namespace {
QMutex registryMutex;
bool initialized = false;
CommAppInfo registeredInfo;
QPointer<QObject> registeredWindow;
} // namespace

void KSCommonUtils::initWithCommAppInfo(const CommAppInfo &appInfo, QObject *parentWindow)
{
    {
        QMutexLocker lock(&registryMutex);
        initialized = true;
        registeredInfo = appInfo;
        registeredWindow = parentWindow;
    }
    CommLang::setCurrentLanguage(appInfo.appLang());
}

void KSCommonUtils::setAppInfo(const CommAppInfo &appInfo)
{
    {
        QMutexLocker lock(&registryMutex);
        registeredInfo = appInfo;
    }
    CommLang::setCurrentLanguage(appInfo.appLang());
}

bool KSCommonUtils::isInitialized()
{
    QMutexLocker lock(&registryMutex);
    return initialized;
}

CommAppInfo KSCommonUtils::appInfo()
{
    QMutexLocker lock(&registryMutex);
    return registeredInfo;
}

QPointer<QObject> KSCommonUtils::parentWindow()
{
    QMutexLocker lock(&registryMutex);
    return registeredWindow;
}
