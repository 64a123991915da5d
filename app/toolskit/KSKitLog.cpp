#include "KSKitLog.h"

#include "CommLog.h"
#include "KSFileConst.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>

namespace {
constexpr qint64 kMaxLogBytes = 1024 * 1024;
QMutex logMutex;
} // namespace

QString KSKitLog::logFilePath(const QString &name)
{
    return KSAppCachesDirectory() + u'/' + name + QStringLiteral(".log");
}

void KSKitLog::write(const QString &name, const QString &text)
{
    const QString line = QStringLiteral("[%1] %2\n")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                  text);
    {
        QMutexLocker lock(&logMutex);
        QFile file(logFilePath(name));
        const bool tooLarge = file.size() > kMaxLogBytes;
        // The lines name the user's files: the log is theirs alone.
        if (file.open(QIODevice::WriteOnly | (tooLarge ? QIODevice::Truncate : QIODevice::Append),
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            file.write(line.toUtf8());
    }
    CommLog::I(text);
}

void KSKitLog::writeError(const QString &name, const QString &domain, int code, const QString &userInfo,
                          const QString &description, const QString &reason)
{
    write(name, QStringLiteral("*NSError*\n  domain:%1\n  code:%2\n  userInfo:%3\n  description:%4\n  resaon:%5\n")
                    .arg(domain, QString::number(code), userInfo, description, reason));
}

void KSKitLog::writeException(const QString &name, const QString &exceptionName, const QString &reason)
{
    write(name, QStringLiteral("*NSException*\n %1 -> %2").arg(exceptionName, reason));
}
