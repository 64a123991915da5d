#include "KSWriteFailure.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace {
// The nearest folder of path that exists: the file system it lies on.
QString existingFolderOf(const QString &path)
{
    QFileInfo info(path);
    QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
        folder = QFileInfo(folder).absolutePath();
    return folder;
}
} // namespace

bool KSWriteFailure::isDiskFull(const QString &path, qint64 bytesWanted)
{
    const QStorageInfo storage(existingFolderOf(path));
    return storage.isValid() && storage.bytesAvailable() < std::max<qint64>(1, bytesWanted);
}

QString KSWriteFailure::describe(const QString &path, const QString &error, qint64 bytesWanted)
{
    if (isDiskFull(path, bytesWanted))
        return QStringLiteral("the disk holding %1 is full (%2 cannot be written)").arg(existingFolderOf(path), path);
    return QStringLiteral("cannot write %1: %2").arg(path, error);
}
