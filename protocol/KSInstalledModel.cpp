#include "KSInstalledModel.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

QString KSInstalledModel::descriptionPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Cutora/models/isnet.json");
}

KSInstalledModel KSInstalledModel::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject description = QJsonDocument::fromJson(file.readAll()).object();
    return {description.value(QStringLiteral("name")).toString(), description.value(QStringLiteral("license")).toString()};
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
