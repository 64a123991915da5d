#include "KSTempFile.h"

#include "KSFileConst.h"
#include "KSTimeConst.h"

#include <QFile>

QString KSTempFile::reserve(const QString &suffix)
{
    const QString stamp = KSCurrentTimeToString();
    return reserveFirstFree([&](int n) {
        return n == 1 ? stamp + suffix : QStringLiteral("%1-%2%3").arg(stamp).arg(n).arg(suffix);
    });
}

QString KSTempFile::reserveFirstFree(const std::function<QString(int n)> &nameFor)
{
    for (int n = 1; n <= 1000; ++n) {
        const QString path = KSTempAppWithFileName(nameFor(n));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!file.exists())
            return {}; // not a name clash: the folder itself refuses
    }
    return {};
}
