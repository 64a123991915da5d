#include "ToolFile.h"

#include "KSKitLog.h"
#include "ToolString.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace {
fs::path fsPath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

bool fail(const std::error_code &code, const QString &userInfo, const QString &reason, QString *error)
{
    const QString description = QString::fromLocal8Bit(code.message());
    KSKitLog::writeError(KSKitLog::kToolsKitLogName, QString::fromLatin1(code.category().name()),
                         code.value(), userInfo, description, reason);
    if (error)
        *error = reason + QStringLiteral(": ") + description;
    return false;
}

bool fail(std::errc code, const QString &userInfo, const QString &reason, QString *error)
{
    return fail(std::make_error_code(code), userInfo, reason, error);
}

bool somethingAt(const fs::path &path)
{
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

QString lastComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

// Asks the desktop's file manager to show the items selected.
bool showItemsInFileManager(const QStringList &paths)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || paths.isEmpty())
        return false;
    QStringList uris;
    for (const QString &path : paths)
        uris << QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    // A file manager that is started for the call may take a moment.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 4000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool openFolderOf(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
} // namespace

bool ToolFile::isFileExistsAtPath(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool ToolFile::isFolderExistsAtPath(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool ToolFile::openFileAtURL(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool ToolFile::openFileAtURL(const QUrl &url, const QString &application)
{
    const QString argument = url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
    if (QProcess::startDetached(application, {argument}))
        return true;
    return fail(std::errc::no_such_file_or_directory, argument,
                QStringLiteral("open with %1").arg(application), nullptr);
}

void ToolFile::openFileAtURL(const QUrl &url, QObject *context, std::function<void(bool opened)> done)
{
    if (!context)
        context = QCoreApplication::instance();
    const QPointer<QObject> guard(context);
    auto answer = std::make_shared<std::function<void(bool)>>([guard, done = std::move(done)](bool opened) {
        if (guard && done)
            done(opened);
    });
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        // Without xdg-open Qt knows the desktop's own opener, or nothing.
        const bool opened = QDesktopServices::openUrl(url);
        QTimer::singleShot(0, context, [answer, opened] { (*answer)(opened); });
        return;
    }
    // xdg-open says with its exit status whether a handler took the
    // address; Qt would only say whether xdg-open started. The process
    // lives until it ends, however long a handler keeps it.
    auto *process = new QProcess(QCoreApplication::instance());
    auto answered = std::make_shared<bool>(false);
    const auto once = [answer, answered](bool opened) {
        if (!std::exchange(*answered, true))
            (*answer)(opened);
    };
    QObject::connect(process, &QProcess::finished, context, [once](int code, QProcess::ExitStatus status) {
        once(status == QProcess::NormalExit && code == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, context, [once](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            once(false);
    });
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    QTimer::singleShot(kOpenPatienceMs, context, [once] { once(true); });
    process->start(opener, {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
}

bool ToolFile::showFileInFinder(const QString &path)
{
    return showItemsInFileManager({path}) || openFolderOf(path);
}

void ToolFile::showFileInFinder(const QString &path, QObject *context, std::function<void(bool shown)> done)
{
    if (!context)
        context = QCoreApplication::instance();
    if (showItemsInFileManager({path})) {
        QTimer::singleShot(0, context, [done = std::move(done)] {
            if (done)
                done(true);
        });
        return;
    }
    openFileAtURL(QUrl::fromLocalFile(QFileInfo(path).absolutePath()), context, std::move(done));
}

bool ToolFile::showMultipleFilesInFinder(const QStringList &paths)
{
    return showItemsInFileManager(paths) || (!paths.isEmpty() && openFolderOf(paths.first()));
}

bool ToolFile::isSameFileAtPaths(const QString &a, const QString &b)
{
    // QFileInfo's equality holds for any two missing files, so compare paths.
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

QString ToolFile::fileExtensionAtPath(const QString &path)
{
    const QString name = lastComponent(path);
    return name.mid(name.lastIndexOf(u'.') + 1);
}

QString ToolFile::fileNameAtPath(const QString &path)
{
    const QString name = lastComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

QString ToolFile::fittedFileName(QString base, const QString &tail, qsizetype maxBytes)
{
    while (!base.isEmpty() && QFile::encodeName(base + tail).size() > maxBytes) {
        base.chop(1);
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    return base + tail;
}

bool ToolFile::writeData(const QByteArray &data, const QString &path, bool append)
{
    if (append) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(data) == data.size())
            return true;
        return fail(std::errc::io_error, path, QStringLiteral("append: %1").arg(file.errorString()), nullptr);
    }
    // Replacing goes through a temporary file: a failed write keeps the old content.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    return fail(std::errc::io_error, path, QStringLiteral("write: %1").arg(file.errorString()), nullptr);
}

bool ToolFile::writeImage(const QImage &image, const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    const QByteArray format = suffix.isEmpty() ? QByteArray("png") : suffix.toLatin1();
    if (!image.isNull() && image.save(path, format.constData()))
        return true;
    return fail(std::errc::io_error, path, QStringLiteral("write image"), nullptr);
}

bool ToolFile::createFileAtPath(const QString &path)
{
    if (!somethingAt(fsPath(path))) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return fail(std::errc::io_error, path, QStringLiteral("create: %1").arg(file.errorString()), nullptr);
    }
    return isFileExistsAtPath(path);
}

bool ToolFile::createFolderAtPath(const QString &path)
{
    if (QDir().mkpath(path))
        return true;
    return fail(std::errc::io_error, path, QStringLiteral("create folder"), nullptr);
}

bool ToolFile::moveFileFromPath(const QString &from, const QString &to, QString *error)
{
    const QString info = from + QStringLiteral(" -> ") + to;
    const fs::path source = fsPath(from);
    const fs::path target = fsPath(to);
    if (somethingAt(target))
        return fail(std::errc::file_exists, info, QStringLiteral("move"), error);
    std::error_code code;
    fs::rename(source, target, code);
    if (code == std::errc::cross_device_link) {
        code.clear();
        fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
        if (!code)
            fs::remove_all(source, code);
    }
    return code ? fail(code, info, QStringLiteral("move"), error) : true;
}

bool ToolFile::copyFileFormPath(const QString &from, const QString &to, QString *error)
{
    const QString info = from + QStringLiteral(" -> ") + to;
    const fs::path target = fsPath(to);
    // A folder copied onto an existing one would be merged into it.
    if (somethingAt(target))
        return fail(std::errc::file_exists, info, QStringLiteral("copy"), error);
    std::error_code code;
    fs::copy(fsPath(from), target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    return code ? fail(code, info, QStringLiteral("copy"), error) : true;
}

bool ToolFile::removeFileAtPath(const QString &path, QString *error)
{
    const fs::path target = fsPath(path);
    if (!somethingAt(target))
        return fail(std::errc::no_such_file_or_directory, path, QStringLiteral("remove"), error);
    std::error_code code;
    fs::remove_all(target, code);
    return code ? fail(code, path, QStringLiteral("remove"), error) : true;
}

QStringList ToolFile::subFileNamesWithFolderPath(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists()) {
        fail(std::errc::not_a_directory, folder, QStringLiteral("list folder"), nullptr);
        return {};
    }
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList ToolFile::subFilePathsWithFolderPath(const QString &folder)
{
    QStringList paths = subFileNamesWithFolderPath(folder);
    const QString prefix = QDir(folder).absolutePath() + u'/';
    for (QString &name : paths)
        name.prepend(prefix);
    return paths;
}

QVariantMap ToolFile::getFileAttributesAtPath(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        fail(std::errc::no_such_file_or_directory, path, QStringLiteral("attributes"), error);
        return {};
    }
    const QString type = info.isSymLink() ? QStringLiteral("link")
                         : info.isDir()   ? QStringLiteral("folder")
                         : info.isFile()  ? QStringLiteral("file")
                                          : QStringLiteral("other");
    int permissions = 0;
    std::error_code code;
    const fs::perms perms = fs::symlink_status(fsPath(path), code).permissions();
    if (!code)
        permissions = int(perms & fs::perms::mask);
    return {{QStringLiteral("size"), info.size()},
            {QStringLiteral("creationDate"), info.birthTime()},
            {QStringLiteral("modificationDate"), info.lastModified()},
            {QStringLiteral("type"), type},
            {QStringLiteral("permissions"), permissions}};
}

QDateTime ToolFile::fileCreateDateAtPath(const QString &path, QString *error)
{
    return getFileAttributesAtPath(path, error).value(QStringLiteral("creationDate")).toDateTime();
}

QDateTime ToolFile::fileModificationDateAtPath(const QString &path, QString *error)
{
    return getFileAttributesAtPath(path, error).value(QStringLiteral("modificationDate")).toDateTime();
}

qint64 ToolFile::fileSizeAtPath(const QString &path, QString *error)
{
    return getFileAttributesAtPath(path, error).value(QStringLiteral("size"), qint64(-1)).toLongLong();
}

QString ToolFile::fileSizeFormatterToString(qint64 bytes)
{
    return ToolString::formatSizeFromByte(bytes);
}

QString ToolFile::fileTypeIdentifierAtURL(const QUrl &url)
{
    const QMimeDatabase database;
    return (url.isLocalFile() ? database.mimeTypeForFile(url.toLocalFile()) : database.mimeTypeForUrl(url))
        .name();
}

bool ToolFile::playSoundWithName(const QString &name)
{
    return QProcess::startDetached(QStringLiteral("canberra-gtk-play"), {QStringLiteral("-i"), name});
}
