#include "KSStorageSignature.h"

#include <QTest>
#include <QTimeZone>

// The one storage signature that the client signs with and the service
// checks with, against values computed independently.
class TestStorageSignature : public QObject
{
    Q_OBJECT

private slots:
    void signsTheCanonicalText()
    {
        // Mixed-case names, untrimmed values, unsorted and repeated storage
        // headers; Host and other headers are not signed.
        const KSStorageSignature::Headers headers{
            {"Date", "Wed, 28 Dec 2022 10:27:41 GMT"},
            {"x-oss-security-token", "tok"},
            {"Content-Type", "image/jpeg"},
            {"X-OSS-Callback", " e30= "},
            {"Host", "127.0.0.1:8790"},
            {"x-oss-meta-b", "2"},
            {"content-md5", "eB5eJF1ptWaXm4bijSPyxw=="},
            {"x-oss-meta-a", "1"},
            {"X-Oss-Meta-A", "3"},
        };
        const QByteArray text = KSStorageSignature::stringToSign(
            "PUT", headers, KSStorageSignature::canonicalResource("bucket", "images/a b.jpg"));
        QCOMPARE(text, QByteArray("PUT\neB5eJF1ptWaXm4bijSPyxw==\nimage/jpeg\nWed, 28 Dec 2022 10:27:41 GMT\n"
                                  "x-oss-callback:e30=\nx-oss-meta-a:1,3\nx-oss-meta-b:2\nx-oss-security-token:tok\n"
                                  "/bucket/images/a b.jpg"));
        // Absent fields stay as empty lines.
        const QByteArray bare = KSStorageSignature::stringToSign("GET", {{"Date", "Thu, 17 Nov 2005 18:49:58 GMT"}}, "/b/k");
        QCOMPARE(bare, QByteArray("GET\n\n\nThu, 17 Nov 2005 18:49:58 GMT\n/b/k"));
        QCOMPARE(KSStorageSignature::signature("OtxrzxIsfpFjA7SwPzILwy8Bw21TLhquhboDYROV", bare),
                 QByteArray("fs7oSaym19FAERbfyja/6ZItowY="));
        QCOMPARE(KSStorageSignature::signature("key", "The quick brown fox jumps over the lazy dog"),
                 QByteArray("3nybhbi3iqa8ino29wqQcBydtNk="));
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
        const auto parsed = KSStorageSignature::parseAuthorization(header);
        QCOMPARE(parsed.has_value(), valid);
        if (valid) {
            QCOMPARE(parsed->first, accessId);
            QCOMPARE(parsed->second, signature);
        }
    }

    void verifyRejectsAnyChange_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QByteArray>("resource");
        QTest::addColumn<bool>("valid");

        QTest::newRow("same request") << QByteArray("s3cret") << QByteArray("PUT") << QByteArray("tok") << QByteArray("/b/k.jpg") << true;
        QTest::newRow("other secret") << QByteArray("secret") << QByteArray("PUT") << QByteArray("tok") << QByteArray("/b/k.jpg") << false;
        QTest::newRow("other verb") << QByteArray("s3cret") << QByteArray("GET") << QByteArray("tok") << QByteArray("/b/k.jpg") << false;
        QTest::newRow("other token") << QByteArray("s3cret") << QByteArray("PUT") << QByteArray("tok2") << QByteArray("/b/k.jpg") << false;
        QTest::newRow("other key") << QByteArray("s3cret") << QByteArray("PUT") << QByteArray("tok") << QByteArray("/b/../k.jpg") << false;
    }

    void verifyRejectsAnyChange()
    {
        QFETCH(QByteArray, secret);
        QFETCH(QByteArray, verb);
        QFETCH(QByteArray, token);
        QFETCH(QByteArray, resource);
        QFETCH(bool, valid);

        const KSStorageSignature::Headers signedHeaders{{"Date", "d"}, {"x-oss-security-token", "tok"}};
        const QByteArray value = KSStorageSignature::authorization("id", "s3cret", "PUT", signedHeaders, "/b/k.jpg");
        QVERIFY(value.startsWith("OSS id:"));
        const KSStorageSignature::Headers received{{"Date", "d"}, {"x-oss-security-token", token}};
        QCOMPARE(KSStorageSignature::verify(value, secret, verb, received, resource), valid);
        QVERIFY(!KSStorageSignature::verify("Bearer x", "s3cret", "PUT", signedHeaders, "/b/k.jpg"));
        QVERIFY(!KSStorageSignature::verify("OSS id:", "s3cret", "PUT", signedHeaders, "/b/k.jpg"));
    }

    void httpDatesBothWays()
    {
        const QDateTime time(QDate(1994, 11, 6), QTime(9, 49, 37), QTimeZone(3600));
        QCOMPARE(KSStorageSignature::httpDate(time), QByteArray("Sun, 06 Nov 1994 08:49:37 GMT"));
        QCOMPARE(KSStorageSignature::parseHttpDate(QStringLiteral("Sun, 06 Nov 1994 08:49:37 GMT")), time);
        QCOMPARE(KSStorageSignature::parseHttpDate(QStringLiteral("Sun, 06 Nov 1994 09:49:37 +0100")), time);
        QVERIFY(!KSStorageSignature::parseHttpDate(QStringLiteral("yesterday")).isValid());
    }
};

QTEST_GUILESS_MAIN(TestStorageSignature)
#include "tst_storagesignature.moc"
