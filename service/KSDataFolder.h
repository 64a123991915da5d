#pragma once

#include <QFileDevice>
#include <QString>

// The service's data folder: whose it is, which service runs on it, and the
// modes of its files. One service owns a folder at a time: it holds an
// exclusive lock on "service.lock" for as long as it runs and names its
// address in "service-address", so that another program on the same folder
// uses it (or waits) instead of running its tasks a second time.
//
// The service works only in a folder it made: one that holds its marker
// file, belongs to the user and that no one else may write to. A folder an
// older Cutora made (the database and the local token, with no marker) is
// adopted once by writing the marker. Every file the service makes there is
// the user's alone (0600), every folder too (0700); it never changes the
// mode of, nor removes, anything else. Files in the folder are opened
// relative to the folder's descriptor and never through a link.
class KSDataFolder
{
public:
    static constexpr QFileDevice::Permissions kFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    static constexpr QFileDevice::Permissions kFolderMode =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    // The file that marks a folder as made by the service.
    static const QString kMarkerName;

    enum class Claim { Owned, InUse, Failed };
    // Sole: the folder is one desktop service's. Team: several services of
    // a team share it (on storage they all mount), their records being in
    // one database; none of them may take it alone, nor it from them.
    enum class Sharing { Sole, Team };
    // In a team's folder, what was left half written is removed once it
    // has not changed for this long: younger files may be another
    // service's upload in progress.
    static constexpr int kTeamStaleSeconds = 3600;

    // The folder the service keeps its data in when asked for `requested`
    // (its links resolved): that folder when it does not exist yet, holds
    // the marker or looks like a service's (it holds the service's lock
    // file or database; claim() then adopts or refuses it); otherwise, since
    // the service never changes a folder it did not make, its own
    // sub-folder "cutora-service" there.
    [[nodiscard]] static QString resolve(const QString &requested);

    // Why the folder at `path` cannot be the service's own: it is a link or
    // no folder, belongs to another user or may be written by others. Empty
    // when none of these holds (or nothing is there).
    [[nodiscard]] static QString distrust(const QString &path);

    // Whether a service owns the folder at `path` (resolved) now.
    [[nodiscard]] static bool isInUse(const QString &path);
    // The address of the service that owns the folder at `path` (resolved),
    // or empty when none runs there or the folder is not the user's own.
    [[nodiscard]] static QString runningServiceAddress(const QString &path);

    // The local account's token kept in the folder at `path`, or empty (also
    // when the folder is not the user's own).
    [[nodiscard]] static QString storedLocalToken(const QString &path);

    // Makes every missing folder of path, each 0700; true when path is a folder.
    static bool makePrivateFolders(const QString &path);

    explicit KSDataFolder(QString path);
    ~KSDataFolder();
    KSDataFolder(const KSDataFolder &) = delete;
    KSDataFolder &operator=(const KSDataFolder &) = delete;

    [[nodiscard]] const QString &path() const { return m_path; }

    // Makes the folder if needed (with its marker), checks that it is the
    // service's own and takes its lock; InUse while another service (of any
    // process) holds it, Failed with an error naming the folder when it is
    // not the service's.
    [[nodiscard]] Claim claim(QString *error, Sharing sharing = Sharing::Sole);
    // Gives the lock up and removes the address.
    void release();

    // For the owner, at start: removes what a killed service left half
    // written (staged uploads, masks and files being replaced) and brings
    // the service's own files and folders to their private modes.
    void tidy();
    // Creates the file `name` in the folder with mode 0600 unless it
    // exists; false when it cannot or a link stands there.
    [[nodiscard]] bool makePrivateFile(const QString &name) const;
    bool publishAddress(const QString &address);
    // The local account's token, made once and kept in "local-token"; for
    // the owner.
    [[nodiscard]] QString localToken();

private:
    // Writes a whole file under a fresh name, then renames it to `name`.
    bool replaceFile(const QString &name, const QByteArray &bytes) const;

    QString m_path;
    int m_folder = -1; // the folder, opened once it is known to be the service's
    int m_lock = -1;
    Sharing m_sharing = Sharing::Sole;
};
