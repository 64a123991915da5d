#pragma once

#include <QString>

// The tools kit's own log: a file "<name>.log" in the application's caches
// folder, emptied once it has grown past 1 MiB, with lines
// "[yyyy-MM-dd HH:mm:ss] text". Every line also goes to the application log
// (CommLog). Safe from any thread.
class KSKitLog
{
public:
    // The log the kit's own operations write to.
    static inline const QString kToolsKitLogName = QStringLiteral("ToolsKit");

    static QString logFilePath(const QString &name);
    static void write(const QString &name, const QString &text);

    // A failed file-system operation, in the kit's error block layout.
    static void writeError(const QString &name, const QString &domain, int code,
                           const QString &userInfo, const QString &description,
                           const QString &reason);
    // A caught exception: its name and reason.
    static void writeException(const QString &name, const QString &exceptionName,
                               const QString &reason);
};
