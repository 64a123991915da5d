#pragma once

#include <QFileDevice>
#include <QString>

// The service's data folder: whose it is, which service runs on it, and the
// modes of its files. One service owns a folder at a time: it holds an
// exclusive lock on "service.lock" for as long as it runs and names its
// address in "service-address", so that another program on the same folder
// uses it (or waits) instead of running its tasks a second time. Every
// folder in it is the user's alone (0700) and every file too (0600).
class KSDataFolder
{
public:
    static constexpr QFileDevice::Permissions kFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    static constexpr QFileDevice::Permissions kFolderMode =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

    enum class Claim { Owned, InUse, Failed };

    // The folder the service keeps its data in when asked for `requested`:
    // that folder when the service made it (it holds the service's lock
    // file or database) or when it does not exist yet; otherwise, since the
    // service never changes the mode of a folder it did not make, its own
    // sub-folder "cutora-service" there.
    [[nodiscard]] static QString resolve(const QString &requested);

    // Whether a service owns the folder at `path` (resolved) now.
    [[nodiscard]] static bool isInUse(const QString &path);
    // The address of the service that owns the folder at `path` (resolved),
    // or empty when none runs there.
    [[nodiscard]] static QString runningServiceAddress(const QString &path);

    // The local account's token kept in the folder at `path`, or empty.
    [[nodiscard]] static QString storedLocalToken(const QString &path);

    // Makes every missing folder of path, each 0700; true when path is a folder.
    static bool makePrivateFolders(const QString &path);

    explicit KSDataFolder(QString path);
    ~KSDataFolder();
    KSDataFolder(const KSDataFolder &) = delete;
    KSDataFolder &operator=(const KSDataFolder &) = delete;

    [[nodiscard]] const QString &path() const { return m_path; }

    // Makes the folder if needed and takes its lock; InUse while another
    // service (of any process) holds it.
    [[nodiscard]] Claim claim(QString *error);
    // Gives the lock up and removes the address.
    void release();

    // For the owner, at start: removes uploads a killed service left half
    // written and brings older files and folders to their private modes.
    void tidy();
    // Creates the file at path (inside the folder) with mode 0600 unless it
    // exists; false when it cannot.
    [[nodiscard]] bool makePrivateFile(const QString &path) const;
    bool publishAddress(const QString &address);
    // The local account's token, made once and kept in "local-token"; for
    // the owner.
    [[nodiscard]] QString localToken();

private:
    QString m_path;
    int m_lock = -1;
};
