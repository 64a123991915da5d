#include "KSRecentBackgrounds.h"

#include "KSUserDefaultKit.h"

#include <QFileInfo>

namespace {

QStringList stored()
{
    QStringList paths;
    for (const QVariant &entry : KSUserDefaultKit::getFromUserDefaults_Array(KSRecentBackgrounds::kSettingsKey, {}))
        paths << entry.toString();
    return paths;
}

void store(const QStringList &paths)
{
    QVariantList entries;
    for (const QString &entry : paths.mid(0, KSRecentBackgrounds::kMaxPictures))
        entries << entry;
    KSUserDefaultKit::saveToUserDefaultsForKey(KSRecentBackgrounds::kSettingsKey, entries);
}

} // namespace

QStringList KSRecentBackgrounds::pictures()
{
    QStringList existing;
    for (const QString &path : stored()) {
        if (!path.isEmpty() && QFileInfo(path).isFile() && !existing.contains(path))
            existing << path;
        if (existing.size() == kMaxPictures)
            break;
    }
    return existing;
}

void KSRecentBackgrounds::remember(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = pictures();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    store(paths);
}

void KSRecentBackgrounds::forget(const QString &path)
{
    QStringList paths = pictures();
    if (paths.removeAll(QFileInfo(path).absoluteFilePath()) > 0)
        store(paths);
}
