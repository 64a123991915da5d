#include "ToolFile.h"
#include "ToolString.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

// Stands in for the desktop's file manager on a private session bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QMutex mutex;
    QStringList shown;

public slots:
    void ShowItems(const QStringList &uris, const QString &)
    {
        QMutexLocker lock(&mutex);
        shown = uris;
    }
};

class tst_ToolFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void freeNameSequence_data();
    void freeNameSequence();
    void moveAndCopyNeverReplace();
    void revealSelectsTheFile();

private:
    QProcess m_bus;
    QThread m_fileManagerThread;
    FakeFileManager *m_fileManager = nullptr;
};

void tst_ToolFile::initTestCase()
{
    // A private session bus, set up before anything in the process uses one.
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        return;
    m_bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!m_bus.waitForReadyRead(10000))
        return;
    const QByteArray address = m_bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    // Served from its own thread: the call under test blocks the main one.
    QDBusConnection service = QDBusConnection::connectToBus(QString::fromLatin1(address), QStringLiteral("fm"));
    m_fileManager = new FakeFileManager;
    m_fileManager->moveToThread(&m_fileManagerThread);
    m_fileManagerThread.start();
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), m_fileManager,
                                   QDBusConnection::ExportAllSlots));
}

void tst_ToolFile::cleanupTestCase()
{
    m_fileManagerThread.quit();
    m_fileManagerThread.wait();
    delete m_fileManager;
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }
}

void tst_ToolFile::freeNameSequence_data()
{
    QTest::addColumn<QStringList>("existing"); // a trailing "/" makes a folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free name kept") << QStringList{} << "photo.png" << "photo.png";
    QTest::newRow("first copy") << QStringList{"photo.png"} << "photo.png" << "photo(1).png";
    QTest::newRow("second copy") << QStringList{"photo.png", "photo(1).png"} << "photo.png" << "photo(2).png";
    QTest::newRow("gap is not filled")
        << QStringList{"photo.png", "photo(1).png", "photo(2).png", "photo(4).png"} << "photo.png" << "photo(3).png";
    // Every "(n-1)" is replaced, including one the name already had.
    QTest::newRow("name with (1)") << QStringList{"a(1).png"} << "a(1).png" << "a(1)(1).png";
    QTest::newRow("name with (1), next") << QStringList{"a(1).png", "a(1)(1).png"} << "a(1).png" << "a(2)(2).png";
    QTest::newRow("no extension") << QStringList{"README"} << "README" << "README(1)";
    QTest::newRow("hidden file") << QStringList{".cutout"} << ".cutout" << ".cutout(1)";
    QTest::newRow("folder in the way") << QStringList{"photo.png/"} << "photo.png" << "photo(1).png";
}

void tst_ToolFile::freeNameSequence()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString &entry : existing) {
        if (entry.endsWith(u'/'))
            QVERIFY(QDir(dir.path()).mkdir(entry.chopped(1)));
        else
            QVERIFY(ToolFile::createFileAtPath(dir.filePath(entry)));
    }
    QCOMPARE(ToolString::renameFromFilePath(dir.filePath(name), 0), dir.filePath(expected));
}

void tst_ToolFile::moveAndCopyNeverReplace()
{
    QTemporaryDir dir;
    QVERIFY(!ToolFile::isFileExistsAtPath(dir.path())); // a folder is no file
    const QString a = dir.filePath(QStringLiteral("a.txt"));
    const QString b = dir.filePath(QStringLiteral("b.txt"));
    QVERIFY(ToolFile::writeData("first", a, false));
    QVERIFY(ToolFile::writeData("second", b, false));
    QString error;
    QVERIFY(!ToolFile::moveFileFromPath(a, b, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!ToolFile::copyFileFormPath(a, b));
    QCOMPARE(ToolFile::fileSizeAtPath(b), qint64(6));

    // Folders copy whole, but never into an existing one.
    const QString sub = dir.filePath(QStringLiteral("sub"));
    QVERIFY(ToolFile::createFolderAtPath(sub));
    QVERIFY(ToolFile::moveFileFromPath(a, sub + QStringLiteral("/c.txt")));
    QVERIFY(!QFile::exists(a));
    QVERIFY(ToolFile::copyFileFormPath(sub, dir.filePath(QStringLiteral("copy"))));
    QVERIFY(ToolFile::isFileExistsAtPath(dir.filePath(QStringLiteral("copy/c.txt"))));
    QVERIFY(!ToolFile::copyFileFormPath(sub, dir.filePath(QStringLiteral("copy"))));
}

void tst_ToolFile::revealSelectsTheFile()
{
    QVERIFY2(m_fileManager, "no dbus-daemon to stand in for the desktop: scripts/install-deps.sh installs it");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("my photo(1).png"));
    QVERIFY(ToolFile::createFileAtPath(path));
    QVERIFY(ToolFile::showFileInFinder(path));
    QMutexLocker lock(&m_fileManager->mutex);
    QCOMPARE(m_fileManager->shown, QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)});
    QVERIFY(m_fileManager->shown.constFirst().contains(QStringLiteral("my%20photo")));
}

QTEST_GUILESS_MAIN(tst_ToolFile)
#include "tst_ToolFile.moc"
