#include "KSOutputClaim.h"

#include "KSWriteFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Enough for every save a folder could take of one photo; beyond it the
// folder is unusable for some other reason.
constexpr int kMaxFreeNameTries = 10000;
constexpr int kPartialTries = 16;

// Creates path empty, failing when anything stands there (even a dangling
// link): 0, or the errno.
int createExclusively(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

qsizetype nameBytes(const QString &name)
{
    return QFile::encodeName(name).size();
}

// A short hidden name beside the output, created exclusively: short, so
// that the writer's own temporary name next to it stays within the limit
// however long the output's name is.
QString reservePartial(const QString &folder, QString *error)
{
    const QDir dir(folder);
    int failure = 0;
    for (int attempt = 0; attempt < kPartialTries; ++attempt) {
        const QString name = QStringLiteral(".cutora-%1.part")
                                 .arg(QRandomGenerator::global()->generate64() & 0xffffffffffffULL, 12, 16,
                                      QLatin1Char('0'));
        const QString path = dir.filePath(name);
        failure = createExclusively(path);
        if (failure == 0)
            return path;
        if (failure != EEXIST)
            break;
    }
    *error = KSWriteFailure::describe(folder, systemError(failure));
    return {};
}

} // namespace

KSOutputClaim::KSOutputClaim(QString path, QString partial, bool claimed)
    : m_path(std::move(path))
    , m_partial(std::move(partial))
    , m_claimed(claimed)
{
}

KSOutputClaim::KSOutputClaim(KSOutputClaim &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_partial(std::move(other.m_partial))
    , m_claimed(other.m_claimed)
    , m_done(other.m_done)
{
    other.m_done = true;
}

KSOutputClaim &KSOutputClaim::operator=(KSOutputClaim &&other) noexcept
{
    if (this != &other) {
        drop();
        m_path = std::move(other.m_path);
        m_partial = std::move(other.m_partial);
        m_claimed = other.m_claimed;
        m_done = other.m_done;
        other.m_done = true;
    }
    return *this;
}

KSOutputClaim::~KSOutputClaim()
{
    drop();
}

void KSOutputClaim::drop()
{
    if (m_done)
        return;
    m_done = true;
    QFile::remove(m_partial);
    if (m_claimed)
        QFile::remove(m_path);
}

QString KSOutputClaim::nameProblem(const QString &fileName)
{
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return QStringLiteral("no file name given");
    // Bytes that are no UTF-8 reach us as replacement characters: a file
    // made under that name would not be the name given.
    if (fileName.contains(QChar::ReplacementCharacter))
        return QStringLiteral("the name \"%1\" is not valid UTF-8").arg(fileName);
    if (const qsizetype bytes = nameBytes(fileName); bytes > kMaxNameBytes)
        return QStringLiteral("the name is %1 bytes long; a file name may have at most %2").arg(bytes).arg(kMaxNameBytes);
    return {};
}

std::optional<KSOutputClaim> KSOutputClaim::claimFreeName(const QString &folder, const QString &baseName,
                                                          const QString &extension, QString *error)
{
    if (folder.isEmpty() || baseName.isEmpty()) {
        *error = QStringLiteral("no output folder or file name");
        return std::nullopt;
    }
    const QDir dir(folder);
    for (int n = 0; n < kMaxFreeNameTries; ++n) {
        const QString suffix = n == 0 ? QString() : QStringLiteral("(%1)").arg(n);
        const QString path = dir.filePath(ToolFile::fittedFileName(baseName, suffix + QLatin1Char('.') + extension));
        const int failure = createExclusively(path);
        if (failure == EEXIST)
            continue;
        if (failure != 0) {
            *error = KSWriteFailure::describe(path, systemError(failure));
            return std::nullopt;
        }
        KSOutputClaim claim(path, QString(), true);
        claim.m_partial = reservePartial(folder, error);
        if (claim.m_partial.isEmpty())
            return std::nullopt; // the claim removes its name
        return claim;
    }
    *error = QStringLiteral("no free file name for %1 in %2").arg(baseName, folder);
    return std::nullopt;
}

std::optional<KSOutputClaim> KSOutputClaim::replacing(const QString &path, QString *error)
{
    const QFileInfo target(path);
    if (const QString problem = nameProblem(target.fileName()); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    const QString partial = reservePartial(target.absolutePath(), error);
    if (partial.isEmpty())
        return std::nullopt;
    return KSOutputClaim(target.absoluteFilePath(), partial, false);
}

bool KSOutputClaim::commit(QString *error)
{
    if (m_done) {
        *error = QStringLiteral("the output file has already been placed or dropped");
        return false;
    }
    if (std::rename(QFile::encodeName(m_partial).constData(), QFile::encodeName(m_path).constData()) != 0) {
        *error = QStringLiteral("cannot name the file %1: %2").arg(m_path, systemError(errno));
        drop();
        return false;
    }
    m_done = true;
    return true;
}
