#pragma once

#include <QString>
#include <QStringList>

// Deletes the editor's temporary files once nothing shows them any more.
//
// Each file is deleted on its own: an empty path, a file that is already
// gone or one that cannot be deleted does not stop the others, and nothing
// is reported. A file that has been replaced at its path since the deletion
// was asked for (the next cut-out of the same photo is written under the
// same name) is someone else's and is kept. Deletions still waiting when the
// application quits are done then.
class KSEditTempCleaner
{
public:
    static constexpr int kDelayMs = 1000;

    // Deletes the files `delayMs` from now on a worker thread.
    static void removeFilesLater(const QStringList &paths, int delayMs = kDelayMs);

    // Deletes the files now, on the calling thread.
    static void removeFiles(const QStringList &paths);
};
