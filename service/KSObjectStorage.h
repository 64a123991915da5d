#pragma once

#include <QDateTime>
#include <QString>


// The files behind the storage endpoint: one folder per bucket under root,
// an object's key being its path inside that folder.
class KSObjectStorage
{
public:
    explicit KSObjectStorage(QString root);

    // A key stays inside its bucket: no "." or ".." segment, no leading "/",
    // no empty segment, no backslash, no NUL or other control character.
    [[nodiscard]] static bool isSafeKey(const QString &key);
    // Lower-case letters, digits and "-", 3 to 63 of them.
    [[nodiscard]] static bool isValidBucket(const QString &bucket);

    // Empty when bucket or key is refused.
    [[nodiscard]] QString pathFor(const QString &bucket, const QString &key) const;
    // A fresh file name for an upload in progress, on the same file system
    // as the objects so that commit is a rename.
    [[nodiscard]] QString stagingPath() const;
    // Moves a staged upload into place, replacing the object atomically.
    [[nodiscard]] bool commit(const QString &stagedPath, const QString &bucket, const QString &key, QString *error);
    bool remove(const QString &bucket, const QString &key);

    // Removes files last written before cutoff under folder, then the
    // folders left empty; returns how many files went.
    static int purgeFilesOlderThan(const QString &folder, const QDateTime &cutoff);

    const QString &root() const { return m_root; }

private:
    QString m_root;
};
