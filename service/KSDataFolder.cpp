#include "KSDataFolder.h"

#include "KSServiceLog.h"
#include "KSServiceRandom.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kLockName = QStringLiteral("service.lock");
const QString kAddressName = QStringLiteral("service-address");
const QString kDatabaseName = QStringLiteral("service.sqlite");
const QString kTokenName = QStringLiteral("local-token");
const QString kOwnFolderName = QStringLiteral("cutora-service");
const QString kStagingPath = QStringLiteral("objects/.staging");

int openLockFile(const QString &path, int flags)
{
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

QString KSDataFolder::resolve(const QString &requested)
{
    const QString path = QDir::cleanPath(requested);
    const QDir folder(path);
    if (!QFileInfo::exists(path) || folder.exists(kLockName) || folder.exists(kDatabaseName))
        return path;
    return path + QLatin1Char('/') + kOwnFolderName;
}

bool KSDataFolder::isInUse(const QString &path)
{
    const int fd = openLockFile(path + QLatin1Char('/') + kLockName, O_RDONLY);
    if (fd < 0)
        return false;
    // A shared lock is refused only while a service holds the folder.
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

QString KSDataFolder::runningServiceAddress(const QString &path)
{
    if (!isInUse(path))
        return {};
    QFile address(path + QLatin1Char('/') + kAddressName);
    if (!address.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(address.read(1024)).trimmed();
}

bool KSDataFolder::makePrivateFolders(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    if (QFileInfo(clean).isDir())
        return true;
    const QString parent = QFileInfo(clean).path();
    if (parent == clean || !makePrivateFolders(parent))
        return false;
    // Another thread may make the same folder meanwhile.
    return QDir().mkdir(clean, kFolderMode) || QFileInfo(clean).isDir();
}

KSDataFolder::KSDataFolder(QString path)
    : m_path(QDir::cleanPath(std::move(path)))
{
}

KSDataFolder::~KSDataFolder()
{
    release();
}

KSDataFolder::Claim KSDataFolder::claim(QString *error)
{
    if (m_lock >= 0)
        return Claim::Owned;
    if (!makePrivateFolders(m_path)) {
        *error = QStringLiteral("cannot create the data folder %1").arg(m_path);
        return Claim::Failed;
    }
    // The folder is the service's own (made by it, or holding its files).
    QFile::setPermissions(m_path, kFolderMode);
    const int fd = openLockFile(m_path + QLatin1Char('/') + kLockName, O_RDWR | O_CREAT);
    if (fd < 0) {
        *error = QStringLiteral("cannot open the lock file in %1").arg(m_path);
        return Claim::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool inUse = errno == EWOULDBLOCK;
        close(fd);
        const QString address = runningServiceAddress(m_path);
        *error = inUse ? QStringLiteral("the data folder %1 is in use by another Cutora service%2")
                             .arg(m_path, address.isEmpty() ? QString() : QStringLiteral(" at ") + address)
                       : QStringLiteral("cannot lock the data folder %1").arg(m_path);
        return inUse ? Claim::InUse : Claim::Failed;
    }
    m_lock = fd;
    return Claim::Owned;
}

void KSDataFolder::release()
{
    if (m_lock < 0)
        return;
    QFile::remove(m_path + QLatin1Char('/') + kAddressName);
    flock(m_lock, LOCK_UN);
    close(m_lock);
    m_lock = -1;
}

void KSDataFolder::tidy()
{
    // Only the owner writes uploads, so whatever is staged now was cut off.
    QDir staging(m_path + QLatin1Char('/') + kStagingPath);
    if (staging.exists()) {
        const int left = int(staging.entryList(QDir::Files | QDir::Hidden).size());
        staging.removeRecursively();
        if (left > 0)
            KSServiceLog::I(QStringLiteral("removed %1 upload(s) left half written").arg(left));
    }
    QDirIterator entries(m_path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        entries.next();
        const QFileInfo info = entries.fileInfo();
        const QFileDevice::Permissions wanted = info.isDir() ? kFolderMode : kFileMode;
        if ((info.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser)) != wanted)
            QFile::setPermissions(info.filePath(), wanted);
    }
}

bool KSDataFolder::makePrivateFile(const QString &path) const
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

bool KSDataFolder::publishAddress(const QString &address)
{
    QSaveFile file(m_path + QLatin1Char('/') + kAddressName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(kFileMode);
    file.write(address.toUtf8() + '\n');
    return file.commit();
}

QString KSDataFolder::storedLocalToken(const QString &path)
{
    QFile stored(path + QLatin1Char('/') + kTokenName);
    if (!stored.open(QIODevice::ReadOnly))
        return {};
    const QString token = QString::fromLatin1(stored.read(256)).trimmed();
    return token.size() >= 32 ? token : QString();
}

// The local account keeps its token across starts, so a signed-in client
// stays signed in.
QString KSDataFolder::localToken()
{
    if (const QString stored = storedLocalToken(m_path); !stored.isEmpty())
        return stored;
    const QString fresh = KSServiceRandomHex(32);
    QSaveFile file(m_path + QLatin1Char('/') + kTokenName);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.setPermissions(kFileMode);
    file.write(fresh.toLatin1());
    return file.commit() ? fresh : QString();
}
