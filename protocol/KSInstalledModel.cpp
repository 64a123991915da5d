#include "KSInstalledModel.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

QString KSInstalledModel::descriptionPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Cutora/models/isnet.json");
}

namespace {
// The runtime of each description a service of this process loaded, by the
// description's absolute path; the service loads on a thread of its own.
QMutex runtimesMutex;
QHash<QString, QString> &runtimes()
{
    static QHash<QString, QString> noted;
    return noted;
}
} // namespace

void KSInstalledModel::noteRuntime(const QString &path, const QString &runtime)
{
    const QMutexLocker lock(&runtimesMutex);
    runtimes().insert(QFileInfo(path).absoluteFilePath(), runtime);
}

KSInstalledModel KSInstalledModel::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject description = QJsonDocument::fromJson(file.readAll()).object();
    QString runtime;
    {
        const QMutexLocker lock(&runtimesMutex);
        runtime = runtimes().value(QFileInfo(path).absoluteFilePath());
    }
    return {description.value(QStringLiteral("name")).toString(), description.value(QStringLiteral("license")).toString(),
            runtime};
}

QString KSInstalledModel::descriptionInUse()
{
    return descriptionFor(qEnvironmentVariable("CUTORA_MODEL"));
}

QString KSInstalledModel::descriptionFor(const QString &told)
{
    if (told == QLatin1String("none") || told == QLatin1String("classic"))
        return {};
    if (!told.isEmpty() && told != QLatin1String("installed"))
        return told;
    return told.isEmpty() && !QFileInfo::exists(descriptionPath()) ? QString() : descriptionPath();
}
