#include "KSObjectStorage.h"

#include "KSDataFolder.h"
#include "KSServiceRandom.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

KSObjectStorage::KSObjectStorage(QString root)
    : m_root(QDir::cleanPath(std::move(root)))
{
}

bool KSObjectStorage::isSafeKey(const QString &key)
{
    if (key.isEmpty() || key.toUtf8().size() > 1023 || key.startsWith(QLatin1Char('/')))
        return false;
    for (const QChar c : key) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('\\'))
            return false;
    }
    const QStringList segments = key.split(QLatin1Char('/'));
    for (const QString &segment : segments) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
    }
    return true;
}

bool KSObjectStorage::isValidBucket(const QString &bucket)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9][a-z0-9-]{1,61}[a-z0-9]$"));
    return pattern.match(bucket).hasMatch();
}

QString KSObjectStorage::pathFor(const QString &bucket, const QString &key) const
{
    if (!isValidBucket(bucket) || !isSafeKey(key))
        return {};
    const QString bucketRoot = m_root + QLatin1Char('/') + bucket + QLatin1Char('/');
    const QString path = QDir::cleanPath(bucketRoot + key);
    // Belt and braces: the checks above already keep the key inside.
    if (!path.startsWith(bucketRoot))
        return {};
    return path;
}

QString KSObjectStorage::stagingPath() const
{
    const QString folder = m_root + QStringLiteral("/.staging");
    KSDataFolder::makePrivateFolders(folder);
    return folder + QLatin1Char('/') + KSServiceRandomHex(16);
}

bool KSObjectStorage::commit(const QString &stagedPath, const QString &bucket, const QString &key, QString *error)
{
    const QString path = pathFor(bucket, key);
    if (path.isEmpty()) {
        *error = QStringLiteral("refused object key");
        return false;
    }
    if (!KSDataFolder::makePrivateFolders(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot create the object's folder");
        return false;
    }
    if (std::rename(QFile::encodeName(stagedPath).constData(), QFile::encodeName(path).constData()) != 0) {
        *error = QStringLiteral("cannot store the object: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool KSObjectStorage::remove(const QString &bucket, const QString &key)
{
    const QString path = pathFor(bucket, key);
    return !path.isEmpty() && QFile::remove(path);
}

int KSObjectStorage::purgeFilesOlderThan(const QString &folder, const QDateTime &cutoff)
{
    int removed = 0;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        if (files.fileInfo().lastModified() < cutoff && QFile::remove(files.filePath()))
            ++removed;
    }
    // Deepest folders first, so that a parent is empty by the time it is tried.
    QStringList folders;
    QDirIterator dirs(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (dirs.hasNext())
        folders << dirs.next();
    std::sort(folders.begin(), folders.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &dir : folders)
        QDir().rmdir(dir);
    return removed;
}
