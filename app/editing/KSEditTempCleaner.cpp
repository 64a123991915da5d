#include "KSEditTempCleaner.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QList>
#include <QThreadPool>
#include <QTimer>

#include <optional>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What tells one file from a later one under the same name: inode numbers
// are reused at once after a deletion, change times are not.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    timespec changed{};

    bool operator==(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode && changed.tv_sec == other.changed.tv_sec
               && changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct PendingFile
{
    QString path;
    FileIdentity identity;
};
using Batch = QList<PendingFile>;

std::optional<FileIdentity> identityOf(const QString &path)
{
    struct stat info{};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino, info.st_ctim};
}

Batch identify(const QStringList &paths)
{
    Batch batch;
    for (const QString &path : paths) {
        if (const std::optional<FileIdentity> identity = identityOf(path))
            batch.append({path, *identity});
    }
    return batch;
}

void removeBatch(const Batch &batch)
{
    for (const PendingFile &file : batch) {
        if (identityOf(file.path) == file.identity)
            ::unlink(QFile::encodeName(file.path).constData());
    }
}

// Batches whose delay has not ended; GUI thread only.
QHash<quint64, Batch> &pendingBatches()
{
    static QHash<quint64, Batch> batches;
    return batches;
}

void removePendingAtQuit()
{
    static bool connected = false;
    if (connected)
        return;
    connected = true;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
        const QHash<quint64, Batch> batches = std::exchange(pendingBatches(), {});
        for (const Batch &batch : batches)
            removeBatch(batch);
    });
}

} // namespace

void KSEditTempCleaner::removeFilesLater(const QStringList &paths, int delayMs)
{
    Batch batch = identify(paths);
    if (batch.isEmpty())
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        removeBatch(batch);
        return;
    }
    removePendingAtQuit();
    static quint64 lastId = 0;
    const quint64 id = ++lastId;
    pendingBatches().insert(id, std::move(batch));
    QTimer::singleShot(delayMs, app, [id] {
        const Batch due = pendingBatches().take(id);
        if (!due.isEmpty())
            QThreadPool::globalInstance()->start([due] { removeBatch(due); });
    });
}

void KSEditTempCleaner::removeFiles(const QStringList &paths)
{
    removeBatch(identify(paths));
}
