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

namespace {
const QString kStagingName = QStringLiteral(".staging");
} // namespace

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
    const QString folder = m_root + QLatin1Char('/') + kStagingName;
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
    // The purge removes folders left empty, and may take this one between
    // its making and the rename: it is made again then.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        if (!KSDataFolder::makePrivateFolders(QFileInfo(path).absolutePath())) {
            if (attempt < kAttempts)
                continue;
            *error = QStringLiteral("cannot create the object's folder");
            return false;
        }
        if (std::rename(QFile::encodeName(stagedPath).constData(), QFile::encodeName(path).constData()) == 0)
            return true;
        const int failure = errno;
        if (failure != ENOENT || attempt == kAttempts || !QFileInfo::exists(stagedPath)) {
            *error = QStringLiteral("cannot store the object: %1").arg(QString::fromLocal8Bit(std::strerror(failure)));
            return false;
        }
    }
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
    // The staging folder stays: an upload may be about to write into it.
    for (const QString &dir : folders) {
        if (QFileInfo(dir).fileName() != kStagingName)
            QDir().rmdir(dir);
    }
    return removed;
}
