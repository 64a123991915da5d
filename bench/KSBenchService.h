#pragma once

// The local service started in-process for a benchmark, as the application
// starts it, with its local account signed in.

#include "CommPassport.h"
#include "KSLocalService.h"
#include "KSServiceAddress.h"

#include <QTemporaryDir>

#include <cstdio>

// Points sign-in, caches, settings and the service's data into `home`, never
// the user's own folders; call before the application object exists.
inline void usePrivateHome(const QTemporaryDir &home)
{
    for (const char *variable : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        qputenv(variable, home.filePath(QString::fromLatin1(variable)).toLocal8Bit());
    qputenv("CUTORA_SERVICE_URL", QByteArray());
}

inline bool startBenchService(KSLocalService &service, const QString &dataDir, const QString &model)
{
    KSLocalService::Options options;
    options.dataDir = dataDir;
    options.modelDescription = model;
    if (!service.start(options)) {
        std::fprintf(stderr, "the service did not start: %s\n", qPrintable(service.errorString()));
        return false;
    }
    KSServiceAddress::setDefaultServiceURL(service.baseUrl());
    CommPassport::signIn(service.localToken(), QStringLiteral("local"), QString());
    return true;
}
