#include "KSObjectStorage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The rules that keep object keys inside their bucket, and the files behind them.
class TestObjectStorage : public QObject
{
    Q_OBJECT

private slots:
    void keysStayInsideTheBucket_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("safe");
        QTest::newRow("prefix and name") << "images/0a1b/picture.jpg" << true;
        QTest::newRow("dots inside a name") << "images/a..b/picture.v2.jpg" << true;
        QTest::newRow("non-ASCII name") << QString::fromUtf8("images/\xe5\x9b\xbe.jpg") << true;
        QTest::newRow("parent segment") << "images/../../etc/passwd" << false;
        QTest::newRow("only a parent segment") << ".." << false;
        QTest::newRow("current segment") << "images/./a.jpg" << false;
        QTest::newRow("absolute") << "/etc/passwd" << false;
        QTest::newRow("empty segment") << "images//a.jpg" << false;
        QTest::newRow("trailing slash") << "images/" << false;
        QTest::newRow("backslash") << "images\\..\\a.jpg" << false;
        QTest::newRow("NUL byte") << QString::fromLatin1("a.jpg\0.png", 10) << false;
        QTest::newRow("newline") << "a\n.jpg" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("too long") << QString(1024, QLatin1Char('a')) << false;
    }

    void keysStayInsideTheBucket()
    {
        QFETCH(QString, key);
        QFETCH(bool, safe);
        QCOMPARE(KSObjectStorage::isSafeKey(key), safe);
        const KSObjectStorage storage(QStringLiteral("/srv/objects"));
        const QString path = storage.pathFor(QStringLiteral("cutora-local"), key);
        QCOMPARE(path.isEmpty(), !safe);
        if (safe)
            QVERIFY(path.startsWith(QLatin1String("/srv/objects/cutora-local/")));
    }

    void bucketNames_data()
    {
        QTest::addColumn<QString>("bucket");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "cutora-local" << true;
        QTest::newRow("upper case") << "Cutora" << false;
        QTest::newRow("parent") << ".." << false;
        QTest::newRow("too short") << "ab" << false;
        QTest::newRow("leading dash") << "-abc" << false;
    }

    void bucketNames()
    {
        QFETCH(QString, bucket);
        QFETCH(bool, valid);
        QCOMPARE(KSObjectStorage::isValidBucket(bucket), valid);
    }

    // The purge runs beside uploads: it takes old files and the folders
    // they leave empty, but not the staging folder an upload is about to
    // write into, and an upload whose folder it took still lands.
    void aPurgeLeavesUploadsRoom()
    {
        QTemporaryDir dir;
        KSObjectStorage storage(dir.filePath(QStringLiteral("objects")));
        const QString staged = storage.stagingPath();
        const QString emptied = storage.root() + QStringLiteral("/cutora-local/images/gone");
        QVERIFY(QDir().mkpath(emptied));

        QCOMPARE(KSObjectStorage::purgeFilesOlderThan(storage.root(), QDateTime::currentDateTime()), 0);
        QVERIFY(!QFileInfo::exists(emptied));
        QVERIFY(QFileInfo(QFileInfo(staged).path()).isDir());

        QFile file(staged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("picture");
        file.close();
        QString error;
        QVERIFY2(storage.commit(staged, QStringLiteral("cutora-local"), QStringLiteral("images/gone/p.jpg"), &error),
                 qPrintable(error));
        QVERIFY(QFileInfo::exists(emptied + QStringLiteral("/p.jpg")));
    }
};

QTEST_GUILESS_MAIN(TestObjectStorage)
#include "tst_objectstorage.moc"
