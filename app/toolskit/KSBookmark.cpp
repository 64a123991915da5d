#include "KSBookmark.h"

#include "CommLog.h"
#include "KSUserDefaultKit.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <algorithm>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// What identifies the picked item: where it was and which inode it was;
// and when it was bookmarked, so that the oldest go first.
struct BookmarkData
{
    QString canonicalPath;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 saved = 0; // 0 for entries from before saves were stamped
};

std::optional<struct stat> statOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

QString bookmarkKey(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

std::optional<QByteArray> makeBookmarkData(const QString &path, qint64 saved)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt;
    const auto info = statOf(canonical);
    if (!info)
        return std::nullopt;
    // Numbers as text: 64-bit inode numbers do not fit a JSON double.
    const QJsonObject data{{QStringLiteral("path"), canonical},
                           {QStringLiteral("device"), QString::number(quint64(info->st_dev))},
                           {QStringLiteral("inode"), QString::number(quint64(info->st_ino))},
                           {QStringLiteral("saved"), QString::number(saved)}};
    return QJsonDocument(data).toJson(QJsonDocument::Compact);
}

// None for a value that is no bookmark (the store holds the settings too).
std::optional<BookmarkData> parseBookmarkData(const QVariant &value)
{
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(value.toByteArray()).object();
    BookmarkData data;
    data.canonicalPath = object.value(QStringLiteral("path")).toString();
    bool deviceOk = false;
    bool inodeOk = false;
    data.device = object.value(QStringLiteral("device")).toString().toULongLong(&deviceOk);
    data.inode = object.value(QStringLiteral("inode")).toString().toULongLong(&inodeOk);
    data.saved = object.value(QStringLiteral("saved")).toString().toLongLong();
    if (data.canonicalPath.isEmpty() || !deviceOk || !inodeOk)
        return std::nullopt;
    return data;
}

std::optional<BookmarkData> readBookmarkData(const QString &key)
{
    return parseBookmarkData(KSUserDefaultKit::getFromUserDefaults_Object(key));
}

// A file bookmark in the store, by its key as the store writes it.
struct StoredFileBookmark
{
    QString storeKey;
    qint64 saved = 0;
};

// Every bookmark in the store is an entry of its own, under its path; the
// file bookmarks are told from the folder ones by what is at the path now.
QList<StoredFileBookmark> storedFileBookmarks(QSettings &store)
{
    QList<StoredFileBookmark> files;
    for (const QString &key : store.allKeys()) {
        const auto data = parseBookmarkData(store.value(key));
        if (data && !QFileInfo(data->canonicalPath).isDir())
            files.append({key, data->saved});
    }
    return files;
}

// The bookmarked item's path when that same item is still there.
std::optional<QString> resolve(const BookmarkData &data)
{
    const auto info = statOf(data.canonicalPath);
    if (!info || quint64(info->st_dev) != data.device || quint64(info->st_ino) != data.inode)
        return std::nullopt;
    return data.canonicalPath;
}

bool isAccessible(const QString &path)
{
    const auto info = statOf(path);
    if (!info)
        return false;
    // Folders are bookmarked to write into them, files to read them.
    const int mode = S_ISDIR(info->st_mode) ? (W_OK | X_OK) : R_OK;
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}
} // namespace

KSBookmark *KSBookmark::defaultShareBookmark()
{
    static KSBookmark shared;
    return &shared;
}

bool KSBookmark::saveOpenFileToBookmarkWithFilePath(const QString &path)
{
    if (path.isEmpty())
        return false;
    QMutexLocker lock(&m_saveMutex);
    QList<StoredFileBookmark> files = storedFileBookmarks(*KSUserDefaultKit::openStore());
    // Later than every stamp in the store, even within one millisecond or
    // after the clock went back.
    qint64 saved = QDateTime::currentMSecsSinceEpoch();
    for (const StoredFileBookmark &file : files)
        saved = std::max(saved, file.saved + 1);
    const auto data = makeBookmarkData(path, saved);
    if (!data) {
        CommLog::E(QStringLiteral("cannot bookmark %1: nothing is there").arg(path));
        return false;
    }
    const QString key = bookmarkKey(path);
    KSUserDefaultKit::saveToUserDefaultsForKey(key, QVariant(*data));
    if (QFileInfo(path).isDir())
        return true;

    const QString savedKey = KSUserDefaultKit::storeKey(key);
    files.removeIf([&](const StoredFileBookmark &file) { return file.storeKey == savedKey; });
    const qsizetype keep = kMaxFileBookmarks - 1; // besides the one just saved
    if (files.size() <= keep)
        return true;
    std::sort(files.begin(), files.end(),
              [](const StoredFileBookmark &a, const StoredFileBookmark &b) { return a.saved > b.saved; });
    const std::unique_ptr<QSettings> store = KSUserDefaultKit::openStore();
    for (qsizetype i = keep; i < files.size(); ++i)
        store->remove(files[i].storeKey);
    store->sync();
    return true;
}

bool KSBookmark::BookmarkStartAccessingSecurityScopedResourceWithFilePath(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString key = bookmarkKey(path);
    const auto data = readBookmarkData(key);
    if (!data)
        return false;
    const auto resolved = resolve(*data);
    if (!resolved) {
        CommLog::I(QStringLiteral("bookmark of %1 no longer resolves").arg(path));
        return false;
    }
    if (!isAccessible(*resolved)) {
        CommLog::I(QStringLiteral("bookmark of %1: no access to %2").arg(path, *resolved));
        return false;
    }
    QMutexLocker lock(&m_mutex);
    ++m_openAccesses[key];
    return true;
}

bool KSBookmark::BookmarkStopAccessingSecurityScopedResourceWithFilePath(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString key = bookmarkKey(path);
    {
        QMutexLocker lock(&m_mutex);
        const auto open = m_openAccesses.find(key);
        if (open == m_openAccesses.end())
            return false;
        if (--open.value() == 0)
            m_openAccesses.erase(open);
    }
    const auto data = readBookmarkData(key);
    return data && resolve(*data);
}

bool KSBookmark::removeFileBookmarkInfoWithFilePath(const QString &path)
{
    return !path.isEmpty() && KSUserDefaultKit::removeObjectForKey(bookmarkKey(path));
}

int KSBookmark::openAccessCount(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_openAccesses.value(bookmarkKey(path));
}
