#include "KSFileConst.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtDebug>

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
} // namespace

QString KSAppCachesDirectory()
{
    // Not CacheLocation, which follows the running program's name: the
    // application, its service and its tests share one caches folder.
    return ensuredBase(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                       + QStringLiteral("/Cutora"));
}

QString KSCachesAppPathDirectory(const QString &name)
{
    return subFolder(KSAppCachesDirectory(), name);
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
