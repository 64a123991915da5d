#include "CommLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>
#include <cstdio>

namespace {
QMutex logMutex;

void writeLine(const char *level, const QString &text)
{
    const QString line = QStringLiteral("%1 [%2] %3\n")
                             .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                                  QLatin1String(level), text);
    const QByteArray bytes = line.toUtf8();
    QMutexLocker lock(&logMutex);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    QFile file(CommLog::logFilePath());
    if (file.open(QIODevice::Append | QIODevice::WriteOnly))
        file.write(bytes);
}
} // namespace

void CommLog::I(const QString &text) { writeLine("I", text); }
void CommLog::E(const QString &text) { writeLine("E", text); }

QString CommLog::logFilePath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(dir);
    return dir + QStringLiteral("/cutora.log");
}
