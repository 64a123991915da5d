#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// Names of the job's intermediate files in the temporary folder. The files
// hold copies of the user's photos: they are the user's alone (0600).
class KSTempFile
{
public:
    // How long a file in the temporary folder may lie unchanged before it
    // counts as left behind: no job writes one for nearly that long.
    static constexpr qint64 kLeftoverAgeSeconds = 24 * 3600;

    // KSTempAppWithFileName(KSCurrentTimeToString() + suffix); when that name
    // is taken (two files in one second, or a file of the user's), "-2", "-3"…
    // goes before the suffix. The file is created empty, exclusively and
    // with mode 0600, so no other job gets the same name and nothing that
    // was there is overwritten. Null when the folder refuses a new file.
    // The first call of a process sweeps the leftovers of earlier ones.
    [[nodiscard]] static QString reserve(const QString &suffix);

    // The first of the names nameFor(1), nameFor(2)… (up to 1000) that is
    // free in the temporary folder, created empty and exclusively as above.
    [[nodiscard]] static QString reserveFirstFree(const std::function<QString(int n)> &nameFor);

    // Removes the temporary folder's files last changed before cutoff (a
    // killed job's, an empty reserved name among them) and makes the rest
    // the user's alone; links and other users' files are left. Returns how
    // many files went.
    static int sweepLeftovers(const QDateTime &cutoff);
};
