#include "KSAFNetworking.h"

#include "CallLog.h"
#include "ScriptedHttpServer.h"
#include "WorkQuiet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Reply
{
    std::optional<KSNetError> error;
    QVariant reply;
};

struct Progress
{
    float progress = 0;
    bool finished = false;
    std::optional<KSNetError> error;
};

KSAFNetworking::Completion recordInto(CallLog<Reply> &log)
{
    return [&log](const std::optional<KSNetError> &error, const QVariant &reply) { log.add({error, reply}); };
}

KSAFNetworking::ProgressBlock recordInto(CallLog<Progress> &log)
{
    return [&log](float progress, bool finished, const std::optional<KSNetError> &error) {
        log.add({progress, finished, error});
    };
}

// A port nothing listens on: bound by a server that is gone again.
int closedPort()
{
    ScriptedHttpServer server;
    return server.port();
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestKSAFNetworking : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void getPutsParametersInTheQuery();
    void postSendsAFormEncodedBody();
    void replyShapes_data();
    void replyShapes();
    void refusedRequestsCompleteOnceOnAWorker_data();
    void refusedRequestsCompleteOnceOnAWorker();
    void slowServerTimesOut();
    void selfSignedCertificateIsRefused();

    void downloadSavesWholeFileWithProgress();
    void failedDownloadLeavesNoFile_data();
    void failedDownloadLeavesNoFile();
};

void TestKSAFNetworking::init()
{
    KSAFNetworking::setTimeouts({});
}

void TestKSAFNetworking::getPutsParametersInTheQuery()
{
    ScriptedHttpServer server;
    QVERIFY(server.isListening());
    server.script("GET", "/api/echo", {ScriptedReply::json(R"({"status":"1","count":2})")});

    CallLog<Reply> calls;
    KSAFNetworking::GETtWithUrl(server.baseUrl() + QStringLiteral("/api/echo?x=1#frag"),
                                {{"q", QStringLiteral("a b+c&d=é")}, {"n", 5}},
                                {{"Authorization", "Bearer t-1"}}, recordInto(calls));
    QTRY_COMPARE(calls.count(), 1);

    const RecordedRequest request = server.requests().value(0);
    QCOMPARE(request.params.value("q"), QStringLiteral("a b+c&d=é"));
    QCOMPARE(request.params.value("n"), QStringLiteral("5"));
    QCOMPARE(request.params.value("x"), QStringLiteral("1"));
    QCOMPARE(request.header("Authorization"), QByteArray("Bearer t-1"));
    QVERIFY(request.body.isEmpty());

    const Reply reply = calls.last();
    QVERIFY(!reply.error);
    // JSON keeps its types: a text status must not turn into a number.
    QCOMPARE(reply.reply.typeId(), QMetaType::QVariantMap);
    QCOMPARE(reply.reply.toMap().value("status").typeId(), QMetaType::QString);
    QVERIFY(reply.reply.toMap().value("count").typeId() != QMetaType::QString);
    QVERIFY(calls.entries().first().thread != QThread::currentThread());
    QVERIFY(waitUntilQuiet());
    QCOMPARE(calls.count(), 1);
}

void TestKSAFNetworking::postSendsAFormEncodedBody()
{
    ScriptedHttpServer server;
    server.script("POST", "/api/resources", {ScriptedReply::json(R"({"status":"1"})")});

    CallLog<Reply> calls;
    KSAFNetworking::POSTWithUrl(server.baseUrl() + QStringLiteral("/api/resources"),
                                {{"api_token", "tok+/="}, {"resource_id", QStringLiteral("r 1")}}, {}, recordInto(calls));
    QTRY_COMPARE(calls.count(), 1);

    const RecordedRequest request = server.requests().value(0);
    QCOMPARE(request.method, QByteArray("POST"));
    QVERIFY(request.header("Content-Type").startsWith("application/x-www-form-urlencoded"));
    QVERIFY(request.query.isEmpty());
    QCOMPARE(request.params.value("api_token"), QStringLiteral("tok+/="));
    QCOMPARE(request.params.value("resource_id"), QStringLiteral("r 1"));
    QVERIFY(!calls.last().error);
}

void TestKSAFNetworking::replyShapes_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("replyType");
    QTest::addColumn<bool>("isError");

    QTest::newRow("object becomes a map") << 200 << QByteArray(R"({"a":1})") << int(QMetaType::QVariantMap) << false;
    QTest::newRow("array becomes a list") << 200 << QByteArray("[1,2]") << int(QMetaType::QVariantList) << false;
    QTest::newRow("text stays bytes") << 200 << QByteArray("hello") << int(QMetaType::QByteArray) << false;
    QTest::newRow("empty body is no reply") << 200 << QByteArray() << int(QMetaType::UnknownType) << false;
    QTest::newRow("server error keeps its body") << 500 << QByteArray(R"({"a":1})") << int(QMetaType::QVariantMap) << true;
}

void TestKSAFNetworking::replyShapes()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, replyType);
    QFETCH(bool, isError);

    ScriptedHttpServer server;
    server.script("GET", "/r", {ScriptedReply::json(body, status)});
    CallLog<Reply> calls;
    KSAFNetworking::GETtWithUrl(server.baseUrl() + QStringLiteral("/r"), {}, {}, recordInto(calls));
    QTRY_COMPARE(calls.count(), 1);

    const Reply reply = calls.last();
    QCOMPARE(reply.reply.typeId(), replyType);
    QCOMPARE(bool(reply.error), isError);
    if (isError) {
        QCOMPARE(reply.error->domain, KSNetError::httpDomain());
        QCOMPARE(reply.error->code, status);
    }
}

void TestKSAFNetworking::refusedRequestsCompleteOnceOnAWorker_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QVariantMap>("headers");

    QTest::newRow("nobody listening") << QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort()) << QVariantMap();
    QTest::newRow("not a web scheme") << QStringLiteral("file:///etc/passwd") << QVariantMap();
    QTest::newRow("no URL at all") << QStringLiteral("not a url") << QVariantMap();
    QTest::newRow("empty") << QString() << QVariantMap();
    QTest::newRow("header smuggling a line") << QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort())
                                             << QVariantMap{{"X-Test", "a\r\nX-Evil: 1"}};
}

void TestKSAFNetworking::refusedRequestsCompleteOnceOnAWorker()
{
    QFETCH(QString, url);
    QFETCH(QVariantMap, headers);

    CallLog<Reply> gets;
    CallLog<Reply> posts;
    KSAFNetworking::GETtWithUrl(url, {}, headers, recordInto(gets));
    KSAFNetworking::POSTWithUrl(url, {{"a", 1}}, headers, recordInto(posts));
    QTRY_COMPARE(gets.count(), 1);
    QTRY_COMPARE(posts.count(), 1);
    QVERIFY(waitUntilQuiet());
    QCOMPARE(gets.count(), 1);
    QCOMPARE(posts.count(), 1);
    QVERIFY(gets.last().error);
    QVERIFY(posts.last().error);
    QVERIFY(!gets.allOn(QThread::currentThread()));
    QVERIFY(!posts.allOn(QThread::currentThread()));
}

void TestKSAFNetworking::slowServerTimesOut()
{
    ScriptedHttpServer server;
    ScriptedReply slow = ScriptedReply::json("{}");
    slow.delayMs = 800;
    server.script("GET", "/slow", {slow});
    KSAFNetworking::setTimeouts({2000, 200, 200, 1});

    CallLog<Reply> calls;
    KSAFNetworking::GETtWithUrl(server.baseUrl() + QStringLiteral("/slow"), {}, {}, recordInto(calls));
    // Had the time-out not fired, the answer would be a success.
    QTRY_COMPARE(calls.count(), 1);
    QVERIFY(calls.last().error);
    QCOMPARE(calls.last().error->domain, KSNetError::transportDomain());
}

void TestKSAFNetworking::selfSignedCertificateIsRefused()
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    QVERIFY2(!openssl.isEmpty(), "openssl is missing: scripts/install-deps.sh installs it");
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    QProcess make;
    make.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                         "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
    QVERIFY(make.waitForFinished(20000));
    QCOMPARE(make.exitCode(), 0);

    ScriptedHttpServer server(cert, key);
    QVERIFY(server.isListening());
    server.script("GET", "/x", {ScriptedReply::json(R"({"a":1})")});
    CallLog<Reply> calls;
    KSAFNetworking::GETtWithUrl(server.baseUrl() + QStringLiteral("/x"), {}, {}, recordInto(calls));
    QTRY_COMPARE(calls.count(), 1);
    QVERIFY(calls.last().error);
    QCOMPARE(calls.last().error->code, 60); // the peer's certificate could not be verified
    QVERIFY(server.requests().isEmpty());
}

void TestKSAFNetworking::downloadSavesWholeFileWithProgress()
{
    ScriptedHttpServer server;
    QByteArray content(4000, 'x');
    content[3999] = 'y';
    ScriptedReply reply = ScriptedReply::bytes(content, "image/png");
    reply.splitAt = 2000;
    reply.pauseMs = 100;
    server.script("GET", "/mask.png", {reply});

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("mask.png"));
    CallLog<Progress> reports;
    KSAFNetworking::downloadFile(server.baseUrl() + QStringLiteral("/mask.png"), target, recordInto(reports));
    QTRY_VERIFY(reports.count() > 0 && (reports.last().finished || reports.last().error));
    QVERIFY(waitUntilQuiet());

    const QList<CallLog<Progress>::Entry> entries = reports.entries();
    QVERIFY(entries.last().value.finished);
    QVERIFY(!entries.last().value.error);
    QCOMPARE(entries.last().value.progress, 1.0f);
    bool sawHalf = false;
    float previous = 0;
    for (qsizetype i = 0; i + 1 < entries.size(); ++i) {
        const Progress &p = entries.at(i).value;
        QVERIFY(!p.finished && !p.error);
        QVERIFY(p.progress >= previous && p.progress <= 1.0f);
        previous = p.progress;
        sawHalf = sawHalf || p.progress == 0.5f;
    }
    QVERIFY2(sawHalf, "the pause after half the body is reported as 0.5");
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    QCOMPARE(filesIn(dir.path()), QStringList{"mask.png"});
}

void TestKSAFNetworking::failedDownloadLeavesNoFile_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("drop");
    QTest::addColumn<bool>("missingFolder");

    QTest::newRow("not found") << 404 << false << false;
    QTest::newRow("server error") << 500 << false << false;
    QTest::newRow("connection dropped half-way") << 200 << true << false;
    QTest::newRow("folder does not exist") << 200 << false << true;
}

void TestKSAFNetworking::failedDownloadLeavesNoFile()
{
    QFETCH(int, status);
    QFETCH(bool, drop);
    QFETCH(bool, missingFolder);

    ScriptedHttpServer server;
    ScriptedReply reply = ScriptedReply::bytes(QByteArray(4000, 'x'), "image/png", status);
    if (drop) {
        reply.splitAt = 2000;
        reply.dropAfterSplit = true;
    }
    server.script("GET", "/mask.png", {reply});

    QTemporaryDir dir;
    const QString target = missingFolder ? dir.filePath(QStringLiteral("gone/mask.png")) : dir.filePath(QStringLiteral("mask.png"));
    // An older file under the name survives a failed download untouched.
    if (!missingFolder) {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    CallLog<Progress> reports;
    KSAFNetworking::downloadFile(server.baseUrl() + QStringLiteral("/mask.png"), target, recordInto(reports));
    QTRY_VERIFY(reports.count() > 0 && reports.last().error);
    QVERIFY(waitUntilQuiet());

    int finals = 0;
    for (const auto &entry : reports.entries())
        finals += entry.value.finished || entry.value.error ? 1 : 0;
    QCOMPARE(finals, 1);
    QVERIFY(!reports.last().finished);
    if (missingFolder) {
        QVERIFY(!QFile::exists(target));
    } else {
        QFile old(target);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QCOMPARE(filesIn(dir.path()), QStringList{"mask.png"});
    }
}

QTEST_GUILESS_MAIN(TestKSAFNetworking)
#include "tst_ksafnetworking.moc"
