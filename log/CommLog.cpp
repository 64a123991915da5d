#include "CommLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <atomic>
#include <cstdio>

namespace {

QMutex logMutex;
qint64 maxBytes = 2 * 1024 * 1024;
int keptCopies = 3;
std::atomic<bool> echoToStandardError{false};
// The log names the user's photos and the service's addresses: it is the
// user's alone, and so is its folder.
constexpr QFileDevice::Permissions kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kPrivateFolder = kPrivateFile | QFileDevice::ExeOwner;

QString rotatedPath(const QString &path, int number)
{
    return path + QLatin1Char('.') + QString::number(number);
}

// Called with logMutex held.
void rotate(const QString &path)
{
    QFile::remove(rotatedPath(path, keptCopies));
    for (int n = keptCopies - 1; n >= 1; --n)
        QFile::rename(rotatedPath(path, n), rotatedPath(path, n + 1));
    QFile::rename(path, rotatedPath(path, 1));
}

void writeLine(const char *level, const QString &text)
{
    const QString line = QStringLiteral("%1 [%2] %3\n")
                             .arg(QDateTime::currentDateTime().toString(
                                      QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                                  QLatin1String(level), text);
    const QByteArray bytes = line.toUtf8();
    const QString path = CommLog::logFilePath();

    QMutexLocker lock(&logMutex);
    if (echoToStandardError)
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::WriteOnly, kPrivateFile))
        return;
    // An older version made the log readable by others.
    constexpr QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                                | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (file.permissions() & others)
        file.setPermissions(kPrivateFile);
    // A single line larger than the limit still gets written, into a fresh file.
    if (file.size() > 0 && file.size() + bytes.size() > maxBytes) {
        file.close();
        rotate(path);
        if (!file.open(QIODevice::Append | QIODevice::WriteOnly, kPrivateFile))
            return;
    }
    file.write(bytes);
}

} // namespace

void CommLog::I(const QString &text) { writeLine("I", text); }
void CommLog::E(const QString &text) { writeLine("E", text); }

QString CommLog::logFilePath()
{
    // Not CacheLocation, which follows the running program's name: every
    // Cutora program and test logs into the application's own cache folder.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                        + QStringLiteral("/Cutora");
    if (!QFileInfo::exists(dir)) {
        QDir().mkpath(QFileInfo(dir).path());
        QDir().mkdir(dir, kPrivateFolder);
    }
    return dir + QStringLiteral("/cutora.log");
}

qint64 CommLog::maxFileSize()
{
    QMutexLocker lock(&logMutex);
    return maxBytes;
}

int CommLog::keptFiles()
{
    QMutexLocker lock(&logMutex);
    return keptCopies;
}

void CommLog::setRotation(qint64 maxFileSize, int keptFiles)
{
    QMutexLocker lock(&logMutex);
    maxBytes = std::max<qint64>(1, maxFileSize);
    keptCopies = std::max(1, keptFiles);
}

void CommLog::setEchoToStandardError(bool echo)
{
    echoToStandardError = echo;
}
