#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

// Bookmarks of files and folders the user picked, so that the application
// can reach them again in a later run. Linux has no security scopes; a
// bookmark here records which item was picked (its canonical path, device
// and inode) under the picked path as key in the settings store, and access
// is granted only while that very item is still there and usable: readable
// for a file, writable and searchable for a folder. A moved, deleted or
// replaced item no longer resolves.
//
// Every successful start is paired with one stop on the same path; the
// shared instance counts the accesses that are open. Safe from any thread.
class KSBookmark
{
public:
    // Bookmarks of files kept in the store: every photo picked adds one, so
    // the least recently saved go. Folders (the output folder) are few and
    // always kept.
    static constexpr int kMaxFileBookmarks = 200;

    static KSBookmark *defaultShareBookmark();

    // Records the item now at the path, replacing an earlier bookmark of the
    // path, and drops the oldest file bookmarks beyond kMaxFileBookmarks.
    // False, with the store unchanged, when nothing is there.
    bool saveOpenFileToBookmarkWithFilePath(const QString &path);

    // True, and an access opened, when the path was bookmarked and the
    // bookmarked item still resolves and is accessible.
    bool BookmarkStartAccessingSecurityScopedResourceWithFilePath(const QString &path);

    // Closes an access opened by a start on the path. True when one was open
    // and the bookmark still resolves; false when no access was open on the
    // path or its item has gone (the access is closed all the same).
    bool BookmarkStopAccessingSecurityScopedResourceWithFilePath(const QString &path);

    // True when a bookmark of the path existed and was removed.
    bool removeFileBookmarkInfoWithFilePath(const QString &path);

    // Accesses opened by starts and not yet closed by stops.
    int openAccessCount(const QString &path) const;

private:
    KSBookmark() = default;

    mutable QMutex m_mutex;
    QHash<QString, int> m_openAccesses;
    QMutex m_saveMutex; // one save and its pruning at a time
};
