#pragma once

#include <QString>

#include <functional>

// The service's log. The application routes it into its own log; the
// stand-alone executable leaves the default, which writes to standard error.
// Safe to call from any thread.
class KSServiceLog
{
public:
    using Sink = std::function<void(bool isError, const QString &line)>;

    static void I(const QString &line);
    static void E(const QString &line);

    // Replaces where lines go; an empty sink restores standard error.
    static void setSink(Sink sink);
};
