#include "OSSClient.h"
#include "KSStorageSignature.h"

#include "CallLog.h"
#include "ScriptedHttpServer.h"
#include "WorkQuiet.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct PutOutcome
{
    std::optional<KSNetError> error;
    OSSPutObjectResult result;
};

OSSClientConfiguration quickConfiguration(int retries)
{
    OSSClientConfiguration configuration;
    configuration.setMaxRetryCount(retries);
    configuration.setTimeoutIntervalForRequest(5);
    configuration.setTimeoutIntervalForResource(10);
    return configuration;
}

} // namespace

class TestOSSClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void objectUrlAddressing_data();
    void objectUrlAddressing();

    void putSendsASignedRequestWithCallback();
    void putRetriesOnlyServerFaults_data();
    void putRetriesOnlyServerFaults();
    void putOfAMissingFileFailsWithoutARequest();

private:
    QTemporaryDir m_dir;
    QString m_file;
    QByteArray m_content;
};

void TestOSSClient::initTestCase()
{
    m_content = QByteArray(300000, 'a');
    for (qsizetype i = 0; i < m_content.size(); ++i)
        m_content[i] = char(i * 7);
    m_file = m_dir.filePath(QStringLiteral("upload.png"));
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(m_content);
}

void TestOSSClient::objectUrlAddressing_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("url");

    QTest::newRow("IPv4 in the path") << "http://127.0.0.1:9000" << "http://127.0.0.1:9000/cut/img/a%20b.jpg";
    QTest::newRow("scheme added") << "10.1.2.3" << "http://10.1.2.3/cut/img/a%20b.jpg";
    QTest::newRow("localhost in the path") << "http://localhost:8080" << "http://localhost:8080/cut/img/a%20b.jpg";
    QTest::newRow("IPv6 in the path") << "http://[::1]:9000" << "http://[::1]:9000/cut/img/a%20b.jpg";
    QTest::newRow("host name as sub-domain") << "oss.example.com" << "http://cut.oss.example.com/img/a%20b.jpg";
    QTest::newRow("https kept") << "https://oss.example.com:8443" << "https://cut.oss.example.com:8443/img/a%20b.jpg";
}

void TestOSSClient::objectUrlAddressing()
{
    QFETCH(QString, endpoint);
    QFETCH(QString, url);
    QCOMPARE(OSSClient::objectUrl(endpoint, QStringLiteral("cut"), QStringLiteral("img/a b.jpg")), url);
}

void TestOSSClient::putSendsASignedRequestWithCallback()
{
    ScriptedHttpServer server;
    server.script("PUT", "/cut/.*", {ScriptedReply::json(R"({"status":"1","data":{"resource":{"resource_id":"r-9"}}})")});

    const QVariantMap callback{{"callbackUrl", "http://127.0.0.1/cb"}, {"callbackBody", "filename=${object}"}};
    OSSPutObjectRequest request;
    request.setBucketName(QStringLiteral("cut"));
    request.setObjectKey(QStringLiteral("uploads/0123abcd.jpg"));
    request.setUploadingFileURL(QUrl::fromLocalFile(m_file));
    request.setCallbackParam(callback);
    CallLog<QList<qint64>> bytes;
    request.setUploadProgress([&bytes](qint64 sent, qint64 total, qint64 expected) { bytes.add({sent, total, expected}); });

    const OSSClient client(server.hostAndPort(), {"id-1", "secret-1", "token-1"}, quickConfiguration(2));
    CallLog<PutOutcome> outcomes;
    client.putObject(request, [&outcomes](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
        outcomes.add({error, result});
    });
    QTRY_COMPARE(outcomes.count(), 1);

    const PutOutcome outcome = outcomes.last();
    QVERIFY2(!outcome.error, qPrintable(outcome.error ? outcome.error->localizedDescription : QString()));
    QCOMPARE(outcome.result.serverReturnJsonString,
             QStringLiteral(R"({"status":"1","data":{"resource":{"resource_id":"r-9"}}})"));

    const RecordedRequest put = server.requests().value(0);
    QCOMPARE(put.path, QByteArray("/cut/uploads/0123abcd.jpg"));
    QCOMPARE(put.body, m_content);
    QCOMPARE(put.header("Content-MD5"), QCryptographicHash::hash(m_content, QCryptographicHash::Md5).toBase64());
    QCOMPARE(put.header("x-oss-security-token"), QByteArray("token-1"));
    QVERIFY(!put.hasHeader("Expect"));
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromBase64(put.header("x-oss-callback"))).toVariant().toMap(), callback);
    QVERIFY(put.header("Authorization").startsWith("OSS id-1:"));
    QVERIFY(KSStorageSignature::verify(put.header("Authorization"), "secret-1", "PUT", put.headers, "/cut/uploads/0123abcd.jpg"));

    const auto reports = bytes.entries();
    QVERIFY(!reports.isEmpty());
    qint64 summed = 0;
    for (const auto &report : reports)
        summed += report.value.at(0);
    QCOMPARE(summed, m_content.size());
    QCOMPARE(reports.last().value.at(1), m_content.size());
    QCOMPARE(reports.last().value.at(2), m_content.size());
}

void TestOSSClient::putRetriesOnlyServerFaults_data()
{
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<int>("requests");
    QTest::addColumn<bool>("success");

    QTest::newRow("server errors then success") << QList<int>{500, 503, 200} << 3 << true;
    QTest::newRow("server errors beyond the retries") << QList<int>{500} << 3 << false;
    QTest::newRow("refused signature is not retried") << QList<int>{403} << 1 << false;
    QTest::newRow("failed callback is a failure") << QList<int>{203} << 1 << false;
}

void TestOSSClient::putRetriesOnlyServerFaults()
{
    QFETCH(QList<int>, statuses);
    QFETCH(int, requests);
    QFETCH(bool, success);

    ScriptedHttpServer server;
    QList<ScriptedReply> replies;
    for (int status : statuses)
        replies.append(ScriptedReply::json(R"({"status":"1"})", status));
    server.script("PUT", "/cut/.*", replies);

    OSSPutObjectRequest request;
    request.setBucketName(QStringLiteral("cut"));
    request.setObjectKey(QStringLiteral("k.jpg"));
    request.setUploadingFileURL(QUrl::fromLocalFile(m_file));
    CallLog<PutOutcome> outcomes;
    OSSClient(server.hostAndPort(), {"id", "secret", "token"}, quickConfiguration(2))
        .putObject(request, [&outcomes](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
            outcomes.add({error, result});
        });
    QTRY_COMPARE(outcomes.count(), 1);
    QVERIFY(waitUntilQuiet());
    QCOMPARE(outcomes.count(), 1);
    QCOMPARE(server.requests().size(), requests);
    QCOMPARE(!outcomes.last().error, success);
    if (!success)
        QCOMPARE(outcomes.last().error->code, statuses.last());
}

void TestOSSClient::putOfAMissingFileFailsWithoutARequest()
{
    ScriptedHttpServer server;
    OSSPutObjectRequest request;
    request.setBucketName(QStringLiteral("cut"));
    request.setObjectKey(QStringLiteral("k.jpg"));
    request.setUploadingFileURL(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("gone.png"))));
    CallLog<PutOutcome> outcomes;
    OSSClient(server.hostAndPort(), {"id", "secret", "token"}, quickConfiguration(2))
        .putObject(request, [&outcomes](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
            outcomes.add({error, result});
        });
    QTRY_COMPARE(outcomes.count(), 1);
    QVERIFY(outcomes.last().error);
    QVERIFY(server.requests().isEmpty());
}

QTEST_GUILESS_MAIN(TestOSSClient)
#include "tst_ossclient.moc"
