#include "KSFileConst.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

class tst_KSFileConst : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void tempFileFolderIsCreated();
    void freshAccountWithoutCachesFolder();
    void fileStandingAtFolderPathIsLeftAlone();
    void downloadFolderUnderDocuments();

private:
    QString m_caches;
};

void tst_KSFileConst::init()
{
    m_caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
               + QStringLiteral("/Cutora");
    QDir(m_caches).removeRecursively();
}

void tst_KSFileConst::tempFileFolderIsCreated()
{
    const QString path = KSTempAppWithFileName(QStringLiteral("a.png"));
    QCOMPARE(path, m_caches + QStringLiteral("/temp/a.png"));
    QVERIFY(QFileInfo(m_caches + QStringLiteral("/temp")).isDir());
    QCOMPARE(KSTempAppPathDirector(), m_caches + QStringLiteral("/temp"));
}

void tst_KSFileConst::freshAccountWithoutCachesFolder()
{
    // No ~/.cache at all yet: the temporary folder must still exist on return.
    const QString cacheRoot = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir(cacheRoot).removeRecursively();
    QVERIFY(QFileInfo(QFileInfo(KSTempAppWithFileName(QStringLiteral("b"))).path()).isDir());
}

void tst_KSFileConst::fileStandingAtFolderPathIsLeftAlone()
{
    QVERIFY(QDir().mkpath(m_caches));
    QFile blocker(m_caches + QStringLiteral("/temp"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("keep");
    blocker.close();

    QCOMPARE(KSTempAppWithFileName(QStringLiteral("a.png")), m_caches + QStringLiteral("/temp/a.png"));
    QVERIFY(QFileInfo(blocker.fileName()).isFile());
    QVERIFY(blocker.open(QIODevice::ReadOnly));
    QCOMPARE(blocker.readAll(), QByteArray("keep"));
}

void tst_KSFileConst::downloadFolderUnderDocuments()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(KSDownloadAppWithFileName(QStringLiteral("x.jpg")), documents + QStringLiteral("/download/x.jpg"));
    QVERIFY(QFileInfo(documents + QStringLiteral("/download")).isDir());
}

QTEST_GUILESS_MAIN(tst_KSFileConst)
#include "tst_KSFileConst.moc"
