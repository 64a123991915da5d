#include "KSTempFile.h"

#include "CommLog.h"
#include "KSFileConst.h"
#include "KSTimeConst.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr QFileDevice::Permissions kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

QString KSTempFile::reserve(const QString &suffix)
{
    const QString stamp = KSCurrentTimeToString();
    return reserveFirstFree([&](int n) {
        return n == 1 ? stamp + suffix : QStringLiteral("%1-%2%3").arg(stamp).arg(n).arg(suffix);
    });
}

QString KSTempFile::reserveFirstFree(const std::function<QString(int n)> &nameFor)
{
    static std::once_flag swept;
    std::call_once(swept, [] { sweepLeftovers(QDateTime::currentDateTime().addSecs(-kLeftoverAgeSeconds)); });
    for (int n = 1; n <= 1000; ++n) {
        const QString path = KSTempAppWithFileName(nameFor(n));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kPrivateFile))
            return path;
        if (!file.exists())
            return {}; // not a name clash: the folder itself refuses
    }
    return {};
}

int KSTempFile::sweepLeftovers(const QDateTime &cutoff)
{
    const QDir folder(KSTempAppPathDirector());
    int removed = 0;
    for (const QFileInfo &entry : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        struct stat info{};
        const QByteArray path = QFile::encodeName(entry.filePath());
        if (lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid())
            continue;
        if (entry.lastModified() < cutoff) {
            removed += QFile::remove(entry.filePath()) ? 1 : 0;
        } else if ((info.st_mode & 077) != 0) {
            chmod(path.constData(), 0600);
        }
    }
    if (removed > 0)
        CommLog::I(QStringLiteral("removed %1 file(s) earlier jobs left in %2").arg(removed).arg(folder.path()));
    return removed;
}
