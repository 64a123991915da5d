#pragma once

#include <QString>

// Which address the cut-out client sends its requests to, first match wins:
// CUTORA_SERVICE_URL, the setting "kServiceURL", the default set at run time
// (the built-in service's). Safe to call from any thread.
class KSServiceAddress
{
public:
    static inline const QString kServiceURLKey = QStringLiteral("kServiceURL");
    static inline const char *const kServiceURLEnvironment = "CUTORA_SERVICE_URL";

    // The address requests go to; empty when none is known.
    [[nodiscard]] static QString serviceURL();
    // The address the user configured (environment or setting), without the
    // run-time default: empty means the built-in service should serve.
    [[nodiscard]] static QString configuredServiceURL();
    // The address used when nothing is configured; empty clears it.
    static void setDefaultServiceURL(const QString &url);
};
