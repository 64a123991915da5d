#pragma once

#include <QString>

// The application's log: information and error lines in English for
// developers and support, each composed by the caller, appended with a time
// stamp to a file in the cache folder. Safe to call from any thread.
//
// The file is rotated before a write would take it past maxFileSize():
// cutora.log becomes cutora.log.1, older copies move up one number, and the
// oldest beyond keptFiles() is deleted, so the log never grows unbounded.
class CommLog
{
public:
    static void I(const QString &text);
    static void E(const QString &text);

    // Path of the current log file (for the README and support requests).
    static QString logFilePath();

    static qint64 maxFileSize();
    static int keptFiles();
    // Limits of the rotation; values below 1 are raised to 1.
    static void setRotation(qint64 maxFileSize, int keptFiles);

    // Whether lines are also written to standard error: off by default, so
    // that the terminal shows only what the user needs; `cutora --cut
    // --verbose` turns it on.
    static void setEchoToStandardError(bool echo);
};
