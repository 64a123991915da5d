#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <functional>

class QObject;

// File-system and desktop operations. Failures return false, an empty value
// or -1, write the kit's error block to its log and, where an error text is
// asked for, describe the failure there.
class ToolFile
{
public:
    // True only when something other than a folder exists at the path.
    static bool isFileExistsAtPath(const QString &path);
    static bool isFolderExistsAtPath(const QString &path);

    // Opens the address with the desktop's handler (a web address in the
    // browser); the desktop's answer.
    static bool openFileAtURL(const QUrl &url);
    // Opens a file with the given program (a name on PATH or a path).
    static bool openFileAtURL(const QUrl &url, const QString &application);

    // Opens the address with the desktop's handler and tells `done`, on the
    // thread of `context`, whether something took it: xdg-open's exit status
    // where it is installed (one still running after kOpenPatienceMs has
    // found its handler), elsewhere Qt's answer. Dropped with the context.
    static void openFileAtURL(const QUrl &url, QObject *context, std::function<void(bool opened)> done);
    static constexpr int kOpenPatienceMs = 3000;

    // Shows the file selected in a file-manager window of its folder, through
    // the desktop's org.freedesktop.FileManager1 service; without one, opens
    // the folder itself. The desktop's answer.
    static bool showFileInFinder(const QString &path);
    // The same, telling `done` whether any of the two answered, the folder
    // opened as openFileAtURL(url, context, done) opens an address.
    static void showFileInFinder(const QString &path, QObject *context, std::function<void(bool shown)> done);
    static bool showMultipleFilesInFinder(const QStringList &paths);

    // The text after the last "." of the last path component; a name without
    // "." comes back whole.
    static QString fileExtensionAtPath(const QString &path);
    // Whether two paths name one file: by their targets when both exist,
    // else by their cleaned absolute paths.
    static bool isSameFileAtPaths(const QString &a, const QString &b);
    // The last path component without its extension (".bashrc" stays whole).
    static QString fileNameAtPath(const QString &path);
    // The longest file name, in bytes, that the file systems we write to take.
    static constexpr qsizetype kMaxNameBytes = 255;
    // base + tail, the base cut by whole characters until the name has at
    // most maxBytes bytes as the file system stores it.
    static QString fittedFileName(QString base, const QString &tail, qsizetype maxBytes = kMaxNameBytes);

    static bool writeData(const QByteArray &data, const QString &path, bool append);
    // The format follows the file's suffix, PNG without one.
    static bool writeImage(const QImage &image, const QString &path);
    // Creates an empty file where nothing exists yet; true when a file is
    // there afterwards.
    static bool createFileAtPath(const QString &path);
    // Creates the folder and its parents; true when a folder is there afterwards.
    static bool createFolderAtPath(const QString &path);

    // Never replaces an existing destination; moves across file systems too.
    static bool moveFileFromPath(const QString &from, const QString &to, QString *error = nullptr);
    // Copies files and whole folders; never replaces an existing destination.
    static bool copyFileFormPath(const QString &from, const QString &to, QString *error = nullptr);
    // Removes a file or a whole folder.
    static bool removeFileAtPath(const QString &path, QString *error = nullptr);

    // Names (or full paths) of the entries of a folder, hidden ones included,
    // sorted by name; empty for a folder that cannot be read.
    static QStringList subFileNamesWithFolderPath(const QString &folder);
    static QStringList subFilePathsWithFolderPath(const QString &folder);

    // "size" (qint64), "creationDate" and "modificationDate" (QDateTime),
    // "type" ("file", "folder", "link", "other"), "permissions" (int, octal
    // mode bits); empty when the item cannot be read.
    static QVariantMap getFileAttributesAtPath(const QString &path, QString *error = nullptr);
    // Invalid when unknown (not every file system records a creation time).
    static QDateTime fileCreateDateAtPath(const QString &path, QString *error = nullptr);
    static QDateTime fileModificationDateAtPath(const QString &path, QString *error = nullptr);
    // -1 when the item cannot be read.
    static qint64 fileSizeAtPath(const QString &path, QString *error = nullptr);
    static QString fileSizeFormatterToString(qint64 bytes);
    // The MIME type name, from the content and the name ("image/png").
    static QString fileTypeIdentifierAtURL(const QUrl &url);
    // Plays a sound of the desktop's sound theme by its event name
    // ("complete", "bell"); false when no player is available.
    static bool playSoundWithName(const QString &name);
};
