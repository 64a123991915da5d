#include "KSDataFolder.h"

#include "KSServiceLog.h"
#include "KSServiceRandom.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const QString KSDataFolder::kMarkerName = QStringLiteral(".cutora-data-folder");

namespace {

const QString kLockName = QStringLiteral("service.lock");
const QString kAddressName = QStringLiteral("service-address");
const QString kDatabaseName = QStringLiteral("service.sqlite");
const QString kTokenName = QStringLiteral("local-token");
const QString kOwnFolderName = QStringLiteral("cutora-service");
const QString kStagingPath = QStringLiteral("objects/.staging");
// The files the service itself writes at the folder's top, SQLite's among
// them: only these (and the two folders below) have their modes put right.
const QStringList kOwnFiles{kLockName,
                            kAddressName,
                            kDatabaseName,
                            kDatabaseName + QStringLiteral("-wal"),
                            kDatabaseName + QStringLiteral("-shm"),
                            kDatabaseName + QStringLiteral("-journal"),
                            kTokenName,
                            KSDataFolder::kMarkerName};
const QStringList kOwnFolders{QStringLiteral("objects"), QStringLiteral("masks")};
// A file being replaced is written as ".<name>.<random>.part" first.
const QString kPartSuffix = QStringLiteral(".part");

QByteArray encoded(const QString &name)
{
    return QFile::encodeName(name);
}

int retried(const std::function<int()> &call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// A file in the folder, never reached through a link.
int openIn(int folder, const QString &name, int flags)
{
    const QByteArray path = encoded(name);
    return retried([&] { return ::openat(folder, path.constData(), flags | O_NOFOLLOW | O_CLOEXEC, 0600); });
}

bool isOwnRegularFile(int folder, const QString &name)
{
    struct stat info{};
    return fstatat(folder, encoded(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)
           && info.st_uid == geteuid();
}

// The folder at path when it is the user's and no one else may write to
// it; -1 otherwise, with why (empty when nothing is there).
int openTrusted(const QString &path, QString *why)
{
    const QByteArray name = encoded(path);
    const int fd = retried([&] { return ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (fd < 0) {
        const int error = errno;
        struct stat link{};
        // O_DIRECTORY answers ENOTDIR for a link before O_NOFOLLOW's ELOOP.
        if (error == ELOOP || (lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode)))
            *why = QStringLiteral("the data folder %1 is a link; the service keeps its data only in a folder of its own")
                       .arg(path);
        else if (error == ENOTDIR)
            *why = QStringLiteral("the data folder %1 is not a folder").arg(path);
        else if (error != ENOENT)
            *why = QStringLiteral("cannot open the data folder %1: %2")
                       .arg(path, QString::fromLocal8Bit(std::strerror(error)));
        return -1;
    }
    struct stat info{};
    if (fstat(fd, &info) != 0)
        *why = QStringLiteral("cannot read the data folder %1").arg(path);
    else if (info.st_uid != geteuid())
        *why = QStringLiteral("the data folder %1 belongs to another user; the service uses only a folder of yours")
                   .arg(path);
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        *why = QStringLiteral("the data folder %1 may be written by other users; the service uses only a folder "
                              "that is yours alone")
                   .arg(path);
    else
        return fd;
    close(fd);
    return -1;
}

// The folder at path when it is the service's own: trusted and marked.
int openServiceFolder(const QString &path)
{
    QString why;
    const int fd = openTrusted(path, &why);
    if (fd >= 0 && !isOwnRegularFile(fd, KSDataFolder::kMarkerName)) {
        close(fd);
        return -1;
    }
    return fd;
}

QByteArray readSmallFile(int folder, const QString &name, qint64 maxBytes)
{
    const int fd = openIn(folder, name, O_RDONLY);
    if (fd < 0)
        return {};
    QByteArray bytes(maxBytes, Qt::Uninitialized);
    struct stat info{};
    const ssize_t got = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? ::read(fd, bytes.data(), size_t(maxBytes)) : -1;
    close(fd);
    bytes.resize(std::max<ssize_t>(got, 0));
    return bytes;
}

// Brings a file or folder the service made to its private mode; links are left alone.
void makePrivate(int folder, const QString &name)
{
    struct stat info{};
    const QByteArray path = encoded(name);
    if (fstatat(folder, path.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != geteuid())
        return;
    const mode_t wanted = S_ISDIR(info.st_mode) ? 0700 : S_ISREG(info.st_mode) ? 0600 : info.st_mode & 07777;
    if ((info.st_mode & 07777) != wanted)
        fchmodat(folder, path.constData(), wanted, 0);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

} // namespace

QString KSDataFolder::resolve(const QString &requested)
{
    const QString path = QDir::cleanPath(requested);
    const QFileInfo info(path);
    if (!info.exists())
        return path;
    const QString real = info.canonicalFilePath();
    const QDir folder(real);
    if (info.isDir() && (folder.exists(kMarkerName) || folder.exists(kLockName) || folder.exists(kDatabaseName)))
        return real;
    return real + QLatin1Char('/') + kOwnFolderName;
}

QString KSDataFolder::distrust(const QString &path)
{
    QString why;
    const int fd = openTrusted(QDir::cleanPath(path), &why);
    if (fd >= 0)
        close(fd);
    return why;
}

bool KSDataFolder::isInUse(const QString &path)
{
    const int folder = openServiceFolder(path);
    if (folder < 0)
        return false;
    const int fd = openIn(folder, kLockName, O_RDONLY);
    close(folder);
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
    const int folder = openServiceFolder(path);
    if (folder < 0)
        return {};
    const QByteArray address = readSmallFile(folder, kAddressName, 1024);
    close(folder);
    return QString::fromUtf8(address).trimmed();
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

KSDataFolder::Claim KSDataFolder::claim(QString *error, Sharing sharing)
{
    if (m_lock >= 0)
        return Claim::Owned;
    const auto fail = [&](const QString &why) {
        *error = why;
        release();
        return Claim::Failed;
    };
    struct stat info{};
    if (lstat(encoded(m_path).constData(), &info) != 0 && !makePrivateFolders(m_path))
        return fail(QStringLiteral("cannot create the data folder %1").arg(m_path));
    QString why;
    m_folder = openTrusted(m_path, &why);
    if (m_folder < 0)
        return fail(why.isEmpty() ? QStringLiteral("cannot open the data folder %1").arg(m_path) : why);

    if (!isOwnRegularFile(m_folder, kMarkerName)) {
        // An empty folder is one just made (by this or a racing start); an
        // older Cutora's folder holds its database and token but no marker.
        const bool empty = QDir(m_path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const bool older = isOwnRegularFile(m_folder, kDatabaseName) && isOwnRegularFile(m_folder, kTokenName);
        if (!empty && !older)
            return fail(QStringLiteral("%1 is not a data folder of the Cutora service: it has no %2 file and holds "
                                       "files of its own, which the service leaves alone; give it a new or empty folder")
                            .arg(m_path, kMarkerName));
        const int marker = openIn(m_folder, kMarkerName, O_WRONLY | O_CREAT | O_EXCL);
        const bool marked = marker >= 0 && writeAll(marker, "The data of Cutora's cut-out service.\n");
        if (marker >= 0)
            close(marker);
        if (!marked && !isOwnRegularFile(m_folder, kMarkerName))
            return fail(QStringLiteral("cannot write to the data folder %1").arg(m_path));
        if (older)
            KSServiceLog::I(QStringLiteral("the data folder %1 of an older Cutora is the service's from now on").arg(m_path));
    }
    makePrivate(m_folder, QStringLiteral("."));

    const int fd = openIn(m_folder, kLockName, O_RDWR | O_CREAT);
    if (fd < 0)
        return fail(QStringLiteral("cannot open the lock file in %1").arg(m_path));
    if (flock(fd, (sharing == Sharing::Team ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        const bool inUse = errno == EWOULDBLOCK;
        close(fd);
        const QString address = runningServiceAddress(m_path);
        const QString by = sharing == Sharing::Team ? QStringLiteral("a desktop's Cutora service") : QStringLiteral("another Cutora service");
        const QString why = inUse ? QStringLiteral("the data folder %1 is in use by %2%3")
                                        .arg(m_path, by, address.isEmpty() ? QString() : QStringLiteral(" at ") + address)
                                  : QStringLiteral("cannot lock the data folder %1").arg(m_path);
        if (!inUse)
            return fail(why);
        *error = why;
        release();
        return Claim::InUse;
    }
    m_lock = fd;
    m_sharing = sharing;
    return Claim::Owned;
}

void KSDataFolder::release()
{
    if (m_lock >= 0) {
        unlinkat(m_folder, encoded(kAddressName).constData(), 0);
        flock(m_lock, LOCK_UN);
        close(m_lock);
        m_lock = -1;
    }
    if (m_folder >= 0) {
        close(m_folder);
        m_folder = -1;
    }
}

void KSDataFolder::tidy()
{
    if (m_lock < 0)
        return;
    // Only the owner writes uploads, masks and the files it replaces, so
    // whatever is half written now was cut off. A team's services write
    // beside each other: only what has not changed for a long time is left over.
    const QDateTime staleBefore = m_sharing == Sharing::Team
                                      ? QDateTime::currentDateTimeUtc().addSecs(-kTeamStaleSeconds)
                                      : QDateTime();
    const auto leftOver = [&](const QFileInfo &file) {
        return !staleBefore.isValid() || file.lastModified() < staleBefore;
    };
    int left = 0;
    QDir staging(m_path + QLatin1Char('/') + kStagingPath);
    for (const QFileInfo &file : staging.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (leftOver(file) && QFile::remove(file.filePath()))
            ++left;
    }
    static const QRegularExpression maskBeingWritten(QStringLiteral("^[0-9a-f]{64}\\.png\\..+$"));
    QDir masks(m_path + QStringLiteral("/masks"));
    for (const QFileInfo &file : masks.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (maskBeingWritten.match(file.fileName()).hasMatch() && leftOver(file) && masks.remove(file.fileName()))
            ++left;
    }
    QDir top(m_path);
    for (const QString &name : top.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const bool partOfOwn = std::any_of(kOwnFiles.begin(), kOwnFiles.end(), [&](const QString &own) {
            return name.startsWith(QLatin1Char('.') + own + QLatin1Char('.'));
        });
        if (partOfOwn && name.endsWith(kPartSuffix) && leftOver(QFileInfo(top.filePath(name))) && top.remove(name))
            ++left;
    }
    if (left > 0)
        KSServiceLog::I(QStringLiteral("removed %1 file(s) left half written").arg(left));

    for (const QString &name : kOwnFiles)
        makePrivate(m_folder, name);
    for (const QString &name : kOwnFolders) {
        makePrivate(m_folder, name);
        QDirIterator entries(m_path + QLatin1Char('/') + name,
                             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                             QDirIterator::Subdirectories);
        while (entries.hasNext())
            makePrivate(m_folder, top.relativeFilePath(entries.next()));
    }
}

bool KSDataFolder::makePrivateFile(const QString &name) const
{
    const int fd = openIn(m_folder, name, O_WRONLY | O_CREAT);
    if (fd < 0)
        return false;
    struct stat info{};
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    return regular;
}

bool KSDataFolder::replaceFile(const QString &name, const QByteArray &bytes) const
{
    if (m_folder < 0)
        return false;
    QString part;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        part = QStringLiteral(".%1.%2%3").arg(name, KSServiceRandomHex(8), kPartSuffix);
        fd = openIn(m_folder, part, O_WRONLY | O_CREAT | O_EXCL);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes);
    const bool closed = close(fd) == 0;
    // The rename replaces whatever stands at name, a link included, and never writes through it.
    if (written && closed && renameat(m_folder, encoded(part).constData(), m_folder, encoded(name).constData()) == 0)
        return true;
    unlinkat(m_folder, encoded(part).constData(), 0);
    return false;
}

bool KSDataFolder::publishAddress(const QString &address)
{
    return replaceFile(kAddressName, address.toUtf8() + '\n');
}

QString KSDataFolder::storedLocalToken(const QString &path)
{
    const int folder = openServiceFolder(path);
    if (folder < 0)
        return {};
    const QString token = QString::fromLatin1(readSmallFile(folder, kTokenName, 256)).trimmed();
    close(folder);
    return token.size() >= 32 ? token : QString();
}

// The local account keeps its token across starts, so a signed-in client
// stays signed in.
QString KSDataFolder::localToken()
{
    const QString stored = QString::fromLatin1(readSmallFile(m_folder, kTokenName, 256)).trimmed();
    if (stored.size() >= 32)
        return stored;
    const QString fresh = KSServiceRandomHex(32);
    return replaceFile(kTokenName, fresh.toLatin1()) ? fresh : QString();
}
