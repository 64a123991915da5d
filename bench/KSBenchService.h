#pragma once

// The local service started in-process for a benchmark, as the application
// starts it, with its local account signed in.

#include "CommPassport.h"
#include "KSLocalService.h"
#include "KSServiceAddress.h"

#include <cstdio>

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
