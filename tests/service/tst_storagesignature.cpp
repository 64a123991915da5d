#include "KSObjectStorage.h"
#include "KSStorageSignature.h"

#include <QTest>

// The storage signature against values computed independently, and the
// rules that keep object keys inside their bucket.
class TestStorageSignature : public QObject
{
    Q_OBJECT

private slots:
    void signsTheCanonicalText()
    {
        // Mixed-case names, an untrimmed value and unsorted storage headers;
        // Host and other headers are not signed.
        const KSStorageSignature::HeaderList headers{
            {"Date", "Wed, 28 Dec 2022 10:27:41 GMT"},
            {"x-oss-security-token", "tok"},
            {"Content-Type", "image/jpeg"},
            {"X-OSS-Callback", " e30= "},
            {"Host", "127.0.0.1:8790"},
            {"x-oss-meta-b", "2"},
            {"content-md5", "eB5eJF1ptWaXm4bijSPyxw=="},
            {"x-oss-meta-a", "1"},
        };
        const QByteArray text = KSStorageSignature::stringToSign("PUT", headers, "/bucket/images/a.jpg");
        QCOMPARE(text, QByteArray("PUT\neB5eJF1ptWaXm4bijSPyxw==\nimage/jpeg\nWed, 28 Dec 2022 10:27:41 GMT\n"
                                  "x-oss-callback:e30=\nx-oss-meta-a:1\nx-oss-meta-b:2\nx-oss-security-token:tok\n"
                                  "/bucket/images/a.jpg"));
        QCOMPARE(KSStorageSignature::sign("secret", text), QByteArray("7APgDirkQXm1wKiNx+pLYsxS/jU="));
    }

    void emptyFieldsKeepTheirLines()
    {
        const QByteArray text = KSStorageSignature::stringToSign("GET", {{"Date", "Thu, 17 Nov 2005 18:49:58 GMT"}}, "/b/k");
        QCOMPARE(text, QByteArray("GET\n\n\nThu, 17 Nov 2005 18:49:58 GMT\n/b/k"));
        QCOMPARE(KSStorageSignature::sign("OtxrzxIsfpFjA7SwPzILwy8Bw21TLhquhboDYROV", text),
                 QByteArray("fs7oSaym19FAERbfyja/6ZItowY="));
    }

    void readsTheAuthorizationHeader_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("accessId");
        QTest::addColumn<QByteArray>("signature");
        QTest::newRow("well formed") << QByteArray("OSS LOCALID:abc=") << true << QByteArray("LOCALID") << QByteArray("abc=");
        QTest::newRow("surrounding blanks") << QByteArray("  OSS LOCALID:abc=  ") << true << QByteArray("LOCALID") << QByteArray("abc=");
        QTest::newRow("another scheme") << QByteArray("Bearer LOCALID:abc=") << false << QByteArray() << QByteArray();
        QTest::newRow("no signature") << QByteArray("OSS LOCALID:") << false << QByteArray() << QByteArray();
        QTest::newRow("no access id") << QByteArray("OSS :abc=") << false << QByteArray() << QByteArray();
        QTest::newRow("no colon") << QByteArray("OSS LOCALID") << false << QByteArray() << QByteArray();
        QTest::newRow("empty") << QByteArray() << false << QByteArray() << QByteArray();
    }

    void readsTheAuthorizationHeader()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, valid);
        QFETCH(QByteArray, accessId);
        QFETCH(QByteArray, signature);
        QByteArray gotId, gotSignature;
        QCOMPARE(KSStorageSignature::parseAuthorization(header, &gotId, &gotSignature), valid);
        if (valid) {
            QCOMPARE(gotId, accessId);
            QCOMPARE(gotSignature, signature);
        }
    }

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
};

QTEST_GUILESS_MAIN(TestStorageSignature)
#include "tst_storagesignature.moc"
