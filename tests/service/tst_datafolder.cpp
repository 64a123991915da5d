#include "KSDataFolder.h"
#include "KSDataFolderFull.h"
#include "ServiceTestClient.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

namespace {

int modeOf(const QString &path)
{
    struct stat info{};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Every entry under folder with its mode, and its bytes for a file.
QMap<QString, QString> snapshot(const QString &folder)
{
    QMap<QString, QString> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(QDir(folder).relativeFilePath(path),
                       QString::number(modeOf(path), 8) + QLatin1Char(' ')
                           + (it.fileInfo().isFile() ? QString::fromLatin1(readFile(path)) : QString()));
    }
    entries.insert(QStringLiteral("."), QString::number(modeOf(folder), 8));
    return entries;
}

void setMode(const QString &path, int mode)
{
    QVERIFY(chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}

void makeOld(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime));
}

const QString kMaskName = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef.png");

} // namespace

// The service's data folder: one service at a time, nothing left half done
// after a kill, and files no one else can read.
class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void oneServiceOwnsAFolderAtATime()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("service"));
        ServiceTestClient first;
        QVERIFY(first.start(folder));
        QCOMPARE(KSDataFolder::runningServiceAddress(first.service.dataDir()), first.service.baseUrl());

        // A second service on the same folder (here in the same process,
        // which a lock per open file also keeps out) does not start, and
        // says who runs there.
        ServiceTestClient second;
        QVERIFY(!second.start(folder));
        QCOMPARE(second.service.failure(), KSLocalService::Failure::DataFolderInUse);
        QVERIFY2(second.service.errorString().contains(first.service.baseUrl()), qPrintable(second.service.errorString()));
        QVERIFY(first.service.isRunning());

        first.service.stop();
        QCOMPARE(KSDataFolder::runningServiceAddress(first.service.dataDir()), QString());
        QVERIFY(second.start(folder));
        QCOMPARE(second.service.failure(), KSLocalService::Failure::None);
    }

    void halfWrittenFilesGoAtStart()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("service"));
        ServiceTestClient service;
        QVERIFY(service.start(folder));
        const QString data = service.service.dataDir();
        const QString staging = data + QStringLiteral("/objects/.staging");
        service.service.stop();
        // What a service killed during two uploads, a mask and the address leaves behind.
        writeFile(staging + QStringLiteral("/0123456789abcdef0123456789abcdef"), QByteArray(1000, 'x'));
        writeFile(staging + QStringLiteral("/fedcba9876543210fedcba9876543210"), {});
        writeFile(data + QStringLiteral("/masks/") + kMaskName + QStringLiteral(".Ab12Cd"), {});
        writeFile(data + QStringLiteral("/.service-address.0123abcd.part"), {});
        // A finished mask and a file the user put there stay, the latter with its mode.
        writeFile(data + QStringLiteral("/masks/") + kMaskName, "mask");
        writeFile(data + QStringLiteral("/notes.part"), "mine");
        setMode(data + QStringLiteral("/notes.part"), 0644);

        QVERIFY(service.start(folder));
        QVERIFY(!QFileInfo::exists(staging) || QDir(staging).isEmpty(QDir::Files | QDir::Hidden));
        QCOMPARE(QDir(data + QStringLiteral("/masks")).entryList(QDir::Files | QDir::Hidden), QStringList{kMaskName});
        QVERIFY(!QFileInfo::exists(data + QStringLiteral("/.service-address.0123abcd.part")));
        QCOMPARE(modeOf(data + QStringLiteral("/notes.part")), 0644);
    }

    // A folder that holds the service's file names but was not made by it
    // (no marker, files of its own) is refused, and nothing in it changes:
    // no old file goes, no mode is touched, nothing is added.
    void aFolderTheServiceDidNotMakeIsRefusedUntouched_data()
    {
        QTest::addColumn<QString>("serviceFile");
        QTest::newRow("holding a file named service.lock") << QStringLiteral("service.lock");
        QTest::newRow("holding a file named service.sqlite") << QStringLiteral("service.sqlite");
    }

    void aFolderTheServiceDidNotMakeIsRefusedUntouched()
    {
        QFETCH(QString, serviceFile);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkdir(folder));
        writeFile(folder + QLatin1Char('/') + serviceFile, {});
        for (const char *name : {"/masks/old.png", "/objects/holiday/beach.jpg", "/notes.txt"}) {
            writeFile(folder + QLatin1String(name), "the user's own");
            setMode(folder + QLatin1String(name), 0644);
            makeOld(folder + QLatin1String(name));
        }
        setMode(folder + QStringLiteral("/objects/holiday"), 0755);
        setMode(folder, 0755);
        const auto before = snapshot(folder);

        ServiceTestClient service;
        QVERIFY(!service.start(folder));
        QVERIFY2(service.service.errorString().contains(folder), qPrintable(service.service.errorString()));
        QVERIFY(service.service.errorString().contains(QStringLiteral("not a data folder")));
        QCOMPARE(snapshot(folder), before);
    }

    // The folder the service would use is refused when someone else could
    // have put things in it; nothing outside it is written through a link.
    void aFolderOthersCouldPlantInIsRefused_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("asLink");
        QTest::addColumn<bool>("foreign"); // another user's (only root can make one)
        QTest::newRow("writable by everyone") << 0777 << false << false;
        QTest::newRow("writable by the group") << 0770 << false << false;
        QTest::newRow("shared with the sticky bit") << 01777 << false << false;
        QTest::newRow("a link to a folder of the user's") << 0700 << true << false;
        QTest::newRow("another user's, private to them") << 0700 << false << true;
    }

    void aFolderOthersCouldPlantInIsRefused()
    {
        QFETCH(int, mode);
        QFETCH(bool, asLink);
        QFETCH(bool, foreign);
        if (foreign && geteuid() != 0)
            QSKIP("only root can give a folder to another user");
        QTemporaryDir dir;
        // As in a shared folder: someone made "cutora-service" before the
        // service did, with a link where the address would go.
        const QString requested = dir.filePath(QStringLiteral("shared"));
        const QString own = requested + QStringLiteral("/cutora-service");
        const QString victim = dir.filePath(QStringLiteral("victim.txt"));
        writeFile(victim, "precious");
        QVERIFY(QDir().mkpath(requested));
        const QString planted = asLink ? dir.filePath(QStringLiteral("elsewhere")) : own;
        QVERIFY(QDir().mkdir(planted));
        if (asLink)
            QVERIFY(QFile::link(planted, own));
        QVERIFY(QFile::link(victim, planted + QStringLiteral("/service-address")));
        writeFile(planted + QLatin1Char('/') + KSDataFolder::kMarkerName, {});
        setMode(planted, mode);
        if (foreign)
            QVERIFY(chown(QFile::encodeName(planted).constData(), 65534, 65534) == 0);

        ServiceTestClient service;
        QVERIFY(!service.start(requested));
        QVERIFY2(service.service.errorString().contains(own), qPrintable(service.service.errorString()));
        QCOMPARE(readFile(victim), QByteArray("precious"));
        QCOMPARE(modeOf(planted), mode);
        QVERIFY(!QFileInfo::exists(planted + QStringLiteral("/service.lock")));
        QCOMPARE(KSDataFolder::runningServiceAddress(own), QString());
        QCOMPARE(KSDataFolder::storedLocalToken(own), QString());
    }

    // In the service's own folder, links standing where its files go are
    // never written through.
    void linksInTheFolderAreNotFollowed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("starts");
        QTest::newRow("the address, replaced by a file") << QStringLiteral("service-address") << true;
        QTest::newRow("the lock, which is not created through the link") << QStringLiteral("service.lock") << false;
        QTest::newRow("the database") << QStringLiteral("service.sqlite") << false;
    }

    void linksInTheFolderAreNotFollowed()
    {
        QFETCH(QString, name);
        QFETCH(bool, starts);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("service"));
        ServiceTestClient service;
        QVERIFY(service.start(folder));
        service.service.stop();
        const QString victim = dir.filePath(QStringLiteral("victim.txt"));
        const QString missing = dir.filePath(QStringLiteral("made-through-a-link"));
        writeFile(victim, "precious");
        QFile::remove(folder + QLatin1Char('/') + name);
        QVERIFY(QFile::link(starts ? victim : missing, folder + QLatin1Char('/') + name));

        QCOMPARE(service.start(folder), starts);
        QCOMPARE(readFile(victim), QByteArray("precious"));
        QVERIFY(!QFileInfo::exists(missing));
        if (starts) {
            QVERIFY(!QFileInfo(folder + QLatin1Char('/') + name).isSymLink());
            QCOMPARE(KSDataFolder::runningServiceAddress(folder), service.service.baseUrl());
        } else {
            QVERIFY2(service.service.errorString().contains(folder), qPrintable(service.service.errorString()));
        }
    }

    void everyFileIsTheUsersAlone()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("service"));
        ServiceTestClient service;
        QVERIFY(service.start(folder));
        // A file an older version left readable by others is made private.
        const QString older = service.service.dataDir() + QStringLiteral("/masks/") + kMaskName;
        service.service.stop();
        writeFile(older, "mask");
        QFile::setPermissions(older, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        QVERIFY(service.start(folder));

        const QString token = service.service.localToken();
        const QJsonObject task = service.waitForTask(token, service.createTask(token, studioPicture(64, 48)));
        QCOMPARE(task.value(QStringLiteral("status")).toInt(), 2);

        int files = 0;
        int folders = 0;
        QDirIterator it(service.service.dataDir(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const bool isFolder = it.fileInfo().isDir();
            QCOMPARE(modeOf(path), isFolder ? 0700 : 0600);
            ++(isFolder ? folders : files);
        }
        QCOMPARE(modeOf(service.service.dataDir()), 0700);
        // The database and its journal, the token, the lock, the address,
        // the upload and the masks; the objects', masks' and key folders.
        QVERIFY2(files >= 8, qPrintable(QString::number(files)));
        QVERIFY(folders >= 4);
    }

    void aFolderTheServiceDidNotMakeKeepsItsMode_data()
    {
        QTest::addColumn<QStringList>("existing"); // files in the folder beforehand; null: no folder
        QTest::addColumn<bool>("ownSubFolder");

        QTest::newRow("a folder that does not exist yet") << QStringList() << false;
        QTest::newRow("an empty folder of the user's") << QStringList{QString()} << true;
        QTest::newRow("a folder holding other files") << QStringList{QStringLiteral("notes.txt")} << true;
        QTest::newRow("a folder an older service made (adopted)")
            << QStringList{QStringLiteral("service.sqlite"), QStringLiteral("local-token")} << false;
    }

    void aFolderTheServiceDidNotMakeKeepsItsMode()
    {
        QFETCH(QStringList, existing);
        QFETCH(bool, ownSubFolder);

        QTemporaryDir dir;
        const QString requested = dir.filePath(QStringLiteral("data"));
        if (!existing.isEmpty()) {
            QVERIFY(QDir().mkdir(requested));
            QVERIFY(QFile::setPermissions(requested, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                         | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                         | QFile::ExeOther));
            for (const QString &name : existing) {
                if (!name.isEmpty())
                    writeFile(requested + QLatin1Char('/') + name, {});
            }
        }
        const int modeBefore = modeOf(requested);

        ServiceTestClient service;
        QVERIFY2(service.start(requested), qPrintable(service.service.errorString()));
        const QString used = ownSubFolder ? requested + QStringLiteral("/cutora-service") : requested;
        QCOMPARE(service.service.dataDir(), used);
        QCOMPARE(modeOf(used), 0700);
        if (ownSubFolder)
            QCOMPARE(modeOf(requested), modeBefore);
        QVERIFY(QFileInfo(used + QLatin1Char('/') + KSDataFolder::kMarkerName).isFile());

        // The next start finds the same folder.
        service.service.stop();
        QCOMPARE(KSDataFolder::resolve(requested), used);
    }

    // The service says which folder is full, for an upload and for a mask.
    void aFullDataFolderIsNamed_data()
    {
        QTest::addColumn<QString>("full");   // the sub-folder that is a small file system
        QTest::addColumn<QString>("filler"); // a shell command filling it beforehand
        QTest::newRow("no room for an upload") << QStringLiteral("objects") << QString();
        QTest::newRow("no room for a mask")
            << QStringLiteral("masks") << QStringLiteral(R"(head -c 65536 /dev/zero > "$0/masks/filler" 2>/dev/null;)");
        // The whole folder, as the service made it: its token fills it before the database.
        QTest::newRow("no room for the database")
            << QStringLiteral(".") << QStringLiteral(R"(chmod 700 "$0"; : > "$0/%1";)").arg(KSDataFolder::kMarkerName);
    }

    void aFullDataFolderIsNamed()
    {
        QFETCH(QString, full);
        QFETCH(QString, filler);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("service"));
        ServiceTestClient client;
        if (full != QLatin1String(".")) {
            QVERIFY(client.start(folder));
            client.service.stop();
        } else {
            QVERIFY(QDir().mkdir(folder)); // to be mounted on
        }

        // A mount in namespaces of its own, which any user may make, that
        // only the service sees.
        QProcess service;
        service.start(QStringLiteral("unshare"),
                      {"--user", "--map-root-user", "--mount", "sh", "-c",
                       QStringLiteral(R"(mount -t tmpfs -o size=8k tmpfs "$0/%1" || exit 77; %2 exec "$@")")
                           .arg(full, filler),
                       folder, QStringLiteral(CUTORA_SERVICE_BINARY), "--data", folder, "--port", "0", "--model",
                       "none", "--workers", "1"});
        QByteArray printed;
        const QRegularExpression started(QStringLiteral("url http://127.0.0.1:(\\d+)\naccount .*\ntoken (\\w+)\n"));
        QRegularExpressionMatch match;
        for (QDeadlineTimer deadline(30000); !(match = started.match(QString::fromUtf8(printed))).hasMatch();) {
            if (service.state() == QProcess::NotRunning || deadline.hasExpired())
                break;
            service.waitForReadyRead(200);
            printed += service.readAllStandardOutput();
        }
        if (!match.hasMatch() && service.exitCode() == 77)
            QSKIP("no file system of its own can be mounted here");
        const QString said = KSDataFolderFull::message(folder);
        if (full == QLatin1String(".")) {
            QVERIFY(service.state() == QProcess::NotRunning || service.waitForFinished(10000));
            QCOMPARE(service.exitCode(), 1);
            const QString errors = QString::fromUtf8(service.readAllStandardError());
            QVERIFY2(errors.contains(QStringLiteral("cutora-service: ") + said), qPrintable(errors));
            return;
        }
        QVERIFY2(match.hasMatch(), service.readAllStandardError().constData());
        client.otherPort = quint16(match.captured(1).toUInt());
        const QString token = match.captured(2);

        if (full == QLatin1String("objects")) {
            const httplib::Result put = client.put(client.credentials(token), std::string(64 * 1024, 'x'));
            QVERIFY(put);
            QCOMPARE(put->status, KSDataFolderFull::kHttpStatus);
            QVERIFY2(QString::fromStdString(put->body).contains(said), put->body.c_str());
        } else {
            const QJsonObject task = client.waitForTask(token, client.createTask(token, studioPicture(64, 48)));
            // Not done with an empty mask: the write is refused before the mask is handed out.
            QCOMPARE(task.value(QStringLiteral("status")).toInt(), -1);
            QVERIFY2(task.value(QStringLiteral("error")).toString().contains(said),
                     qPrintable(task.value(QStringLiteral("error")).toString()));
        }
        service.terminate();
        QVERIFY(service.waitForFinished(10000));
        QVERIFY2(QString::fromUtf8(service.readAllStandardError()).contains(said), "the log names the folder");
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
