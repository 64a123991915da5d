#include "KSRecentBackgroundPictures.h"

#include "KSUserDefaultKit.h"

#include <QFileInfo>

namespace {

QStringList stored()
{
    return KSUserDefaultKit::getFromUserDefaults_Object(KSRecentBackgroundPictures::kSettingsKey).toStringList();
}

void store(const QStringList &paths)
{
    KSUserDefaultKit::saveToUserDefaultsForKey(KSRecentBackgroundPictures::kSettingsKey, QVariant(paths));
}

} // namespace

QStringList KSRecentBackgroundPictures::pictures()
{
    const QStringList all = stored();
    QStringList present;
    for (const QString &path : all) {
        if (!path.isEmpty() && QFileInfo(path).isFile() && !present.contains(path))
            present.append(path);
    }
    present = present.mid(0, kMaxCount);
    if (present != all)
        store(present);
    return present;
}

void KSRecentBackgroundPictures::remember(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = stored();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    store(paths.mid(0, kMaxCount));
}

void KSRecentBackgroundPictures::forget(const QString &path)
{
    QStringList paths = stored();
    if (paths.removeAll(QFileInfo(path).absoluteFilePath()) > 0)
        store(paths);
}
