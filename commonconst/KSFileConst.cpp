#include "KSFileConst.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtDebug>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// The base folders themselves may be missing on a fresh account (no
// ~/.cache yet); they are made with their parents so that the one-level
// creation of the sub-folders below can succeed.
QString ensuredBase(const QString &base)
{
    if (!QFileInfo::exists(base) && !QDir().mkpath(base))
        qWarning("KSCommonConst: cannot create %s", qPrintable(base));
    return base;
}

QString subFolder(const QString &base, const QString &name)
{
    const QString path = base + u'/' + name;
    KSCreartDirection(path);
    return path;
}

// The caches hold copies of the user's photos and their cut-outs: Cutora's
// folders there are the user's alone, also when an older version made them
// readable by others. A link or another user's folder is left as it is.
QString madePrivate(const QString &folder)
{
    struct stat info{};
    const QByteArray path = QFile::encodeName(folder);
    if (lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid()
        && (info.st_mode & 077) != 0)
        chmod(path.constData(), 0700);
    return folder;
}
} // namespace

QString KSAppCachesDirectory()
{
    // Not CacheLocation, which follows the running program's name: the
    // application, its service and its tests share one caches folder.
    return madePrivate(ensuredBase(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                                   + QStringLiteral("/Cutora")));
}

QString KSCachesAppPathDirectory(const QString &name)
{
    return madePrivate(subFolder(KSAppCachesDirectory(), name));
}

QString KSDocumentAppPathDirectory(const QString &name)
{
    return subFolder(ensuredBase(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
                     name);
}

void KSCreartDirection(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return;
    if (!QDir().mkdir(path))
        qWarning("KSCommonConst: cannot create the folder %s", qPrintable(path));
}

QString KSTempAppPathDirector()
{
    return KSCachesAppPathDirectory(QStringLiteral("temp"));
}

QString KSTempAppWithFileName(const QString &fileName)
{
    return KSTempAppPathDirector() + u'/' + fileName;
}

QString KSDownloadAppPathDirector()
{
    return KSDocumentAppPathDirectory(QStringLiteral("download"));
}

QString KSDownloadAppWithFileName(const QString &fileName)
{
    return KSDownloadAppPathDirector() + u'/' + fileName;
}
