#include "ToolFile.h"

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
    QStringList shownItems()
    {
        QMutexLocker lock(&m_mutex);
        return m_shown;
    }

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId);
        QMutexLocker lock(&m_mutex);
        m_shown = uris;
    }

private:
    QMutex m_mutex;
    QStringList m_shown;
};

class tst_ToolFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void onlyFilesAreFiles();
    void nameAndExtension_data();
    void nameAndExtension();
    void moveAndCopyNeverReplace();
    void removeTakesWholeFolder();
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
    QDBusConnection service = QDBusConnection::connectToBus(QString::fromLatin1(address), QStringLiteral("fm"));
    m_fileManager = new FakeFileManager;
    m_fileManager->moveToThread(&m_fileManagerThread);
    m_fileManagerThread.start();
    if (!service.registerService(QStringLiteral("org.freedesktop.FileManager1"))
        || !service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), m_fileManager,
                                   QDBusConnection::ExportAllSlots)) {
        qWarning("fake file manager not registered");
    }
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

void tst_ToolFile::onlyFilesAreFiles()
{
    QTemporaryDir dir;
    QVERIFY(!ToolFile::isFileExistsAtPath(dir.path()));
    QVERIFY(ToolFile::isFolderExistsAtPath(dir.path()));
    const QString file = dir.filePath(QStringLiteral("a.png"));
    QVERIFY(!ToolFile::isFileExistsAtPath(file));
    QVERIFY(ToolFile::createFileAtPath(file));
    QVERIFY(ToolFile::isFileExistsAtPath(file));
    QCOMPARE(ToolFile::fileSizeAtPath(file), qint64(0));
    QCOMPARE(ToolFile::fileSizeAtPath(dir.filePath(QStringLiteral("none"))), qint64(-1));
}

void tst_ToolFile::nameAndExtension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::newRow("plain") << "/p/photo.png" << "photo" << "png";
    QTest::newRow("two dots") << "/p/a.tar.gz" << "a.tar" << "gz";
    QTest::newRow("dot in folder only") << "/p.d/README" << "README" << "README";
    QTest::newRow("hidden") << "/p/.cutout" << ".cutout" << "cutout";
    QTest::newRow("upper case kept") << "IMG_1.HEIC" << "IMG_1" << "HEIC";
}

void tst_ToolFile::nameAndExtension()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QCOMPARE(ToolFile::fileNameAtPath(path), name);
    QCOMPARE(ToolFile::fileExtensionAtPath(path), extension);
}

void tst_ToolFile::moveAndCopyNeverReplace()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.txt"));
    const QString b = dir.filePath(QStringLiteral("b.txt"));
    QVERIFY(ToolFile::writeData("first", a, false));
    QVERIFY(ToolFile::writeData("second", b, false));
    QString error;
    QVERIFY(!ToolFile::moveFileFromPath(a, b, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!ToolFile::copyFileFormPath(a, b));
    QFile kept(b);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("second"));

    const QString c = dir.filePath(QStringLiteral("sub/c.txt"));
    QVERIFY(ToolFile::createFolderAtPath(dir.filePath(QStringLiteral("sub"))));
    QVERIFY(ToolFile::moveFileFromPath(a, c));
    QVERIFY(!QFile::exists(a));
    QVERIFY(ToolFile::copyFileFormPath(dir.filePath(QStringLiteral("sub")), dir.filePath(QStringLiteral("copy"))));
    QVERIFY(ToolFile::isFileExistsAtPath(dir.filePath(QStringLiteral("copy/c.txt"))));
    QVERIFY(ToolFile::writeData("+", c, true));
    QCOMPARE(ToolFile::fileSizeAtPath(c), qint64(6));
}

void tst_ToolFile::removeTakesWholeFolder()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("f"));
    QVERIFY(ToolFile::createFolderAtPath(folder + QStringLiteral("/g")));
    QVERIFY(ToolFile::createFileAtPath(folder + QStringLiteral("/g/x")));
    QCOMPARE(ToolFile::subFileNamesWithFolderPath(folder), QStringList{QStringLiteral("g")});
    QVERIFY(ToolFile::removeFileAtPath(folder));
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(!ToolFile::removeFileAtPath(folder));
}

void tst_ToolFile::revealSelectsTheFile()
{
    if (!m_fileManager)
        QSKIP("no dbus-daemon to stand in for the desktop");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("my photo(1).png"));
    QVERIFY(ToolFile::createFileAtPath(path));
    QVERIFY(ToolFile::showFileInFinder(path));
    QTRY_COMPARE(m_fileManager->shownItems(), QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)});
    QVERIFY(m_fileManager->shownItems().constFirst().contains(QStringLiteral("my%20photo")));
}

QTEST_GUILESS_MAIN(tst_ToolFile)
#include "tst_ToolFile.moc"
