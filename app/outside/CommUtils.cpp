#include "CommUtils.h"

#include "CommLog.h"

#include <QDir>
#include <QFileInfo>

bool CommUtils::CreateDirectoryAtPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (QDir().mkpath(path))
        return true;
    CommLog::E(QStringLiteral("CommUtils: cannot create the folder %1").arg(path));
    return false;
}
