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
    QVariantList entries;
    for (const QString &entry : paths.mid(0, kMaxPictures))
        entries << entry;
    KSUserDefaultKit::saveToUserDefaultsForKey(kSettingsKey, entries);
}
