#pragma once

#include <QString>

// The application's log: information and error lines, each composed by the
// caller, appended with a time stamp to a rotated file in the cache folder
// and echoed to standard error. Safe to call from any thread.
class CommLog
{
public:
    static void I(const QString &text);
    static void E(const QString &text);

    // Path of the current log file (for the README and support requests).
    static QString logFilePath();
};
