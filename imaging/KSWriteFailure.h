#pragma once

#include <QString>

// Words for a failed write that say what the user can act on. Qt reports a
// full disk met while flushing or committing a file as "Unknown error"; the
// file system, asked at the moment of the failure, says why.
namespace KSWriteFailure {

// Whether the file system holding path (a file or a folder, existing or
// not) has fewer than bytesWanted bytes left, at least one.
[[nodiscard]] bool isDiskFull(const QString &path, qint64 bytesWanted = 1);

// "the disk holding FOLDER is full (PATH cannot be written)" when it is;
// otherwise "cannot write PATH: ERROR".
[[nodiscard]] QString describe(const QString &path, const QString &error, qint64 bytesWanted = 1);

} // namespace KSWriteFailure
