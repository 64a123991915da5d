#pragma once

#include <QString>

#include <functional>

// Names of the job's intermediate files in the temporary folder.
class KSTempFile
{
public:
    // KSTempAppWithFileName(KSCurrentTimeToString() + suffix); when that name
    // is taken (two files in one second, or a file of the user's), "-2", "-3"…
    // goes before the suffix. The file is created empty and exclusively, so
    // no other job gets the same name and nothing that was there is
    // overwritten. Null when the folder refuses a new file.
    [[nodiscard]] static QString reserve(const QString &suffix);

    // The first of the names nameFor(1), nameFor(2)… (up to 1000) that is
    // free in the temporary folder, created empty and exclusively as above.
    [[nodiscard]] static QString reserveFirstFree(const std::function<QString(int n)> &nameFor);
};
