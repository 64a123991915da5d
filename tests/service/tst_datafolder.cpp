#include "KSDataFolder.h"
#include "ServiceTestClient.h"

#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

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

    void halfWrittenUploadsGoAtStart()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("service"));
        ServiceTestClient service;
        QVERIFY(service.start(folder));
        const QString staging = service.service.dataDir() + QStringLiteral("/objects/.staging");
        service.service.stop();
        // What a service killed during two uploads leaves behind.
        writeFile(staging + QStringLiteral("/0123456789abcdef0123456789abcdef"), QByteArray(1000, 'x'));
        writeFile(staging + QStringLiteral("/fedcba9876543210fedcba9876543210"), QByteArray(10, 'y'));

        QVERIFY(service.start(folder));
        QVERIFY(!QFileInfo::exists(staging) || QDir(staging).isEmpty(QDir::Files | QDir::Hidden));
    }

    void everyFileIsTheUsersAlone()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("service"));
        ServiceTestClient service;
        QVERIFY(service.start(folder));
        // A file an older version left readable by others is made private.
        const QString older = service.service.dataDir() + QStringLiteral("/masks/older.png");
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
        QTest::newRow("a folder the service made before")
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

        // The next start finds the same folder.
        service.service.stop();
        QCOMPARE(KSDataFolder::resolve(requested), used);
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
