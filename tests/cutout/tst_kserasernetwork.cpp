#include "KSEraserNetwork.h"
#include "KSJobProgress.h"

#include "CallLog.h"
#include "CommLog.h"
#include "CommPassport.h"
#include "KSFileConst.h"
#include "KSProtocolDebug.h"
#include "KSReconnect.h"
#include "KSServiceAddress.h"
#include "KSTaskFlow.h"
#include "KSUploadFlow.h"
#include "KSUserDefaultKit.h"
#include "LogWatch.h"
#include "ScriptedCutoutService.h"

#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cmath>

namespace {

struct TaskReport
{
    bool success = false;
    std::optional<QString> path;
    double progress = 0;
};

KSEraserNetwork::TaskReport recordInto(CallLog<TaskReport> &log)
{
    return [&log](bool success, const std::optional<QString> &path, double progress) { log.add({success, path, progress}); };
}

bool isFinal(const TaskReport &report)
{
    return report.success || report.progress < 0;
}

using namespace std::chrono_literals;

// Polls and retries this far apart keep the chains short; the pacing test
// sets a longer interval of its own.
constexpr std::chrono::milliseconds kShortInterval = 100ms;

double seconds(std::chrono::milliseconds interval)
{
    return std::chrono::duration<double>(interval).count();
}

} // namespace

class TestKSEraserNetwork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void objectKeysAreFreshHex();
    void debugTextMasksSecrets();

    void serviceAddressPrecedence();
    void unsafeServiceAddressIsRefused_data();
    void unsafeServiceAddressIsRefused();

    void taskPathFollowsType_data();
    void taskPathFollowsType();
    void pollsArePacedFromSendToSend();
    void maskDownloadReportsItsShare();
    void pollsAndDownloadsTryAgainWhileNoServiceAnswers_data();
    void pollsAndDownloadsTryAgainWhileNoServiceAnswers();
    void taskProgressIsReadWithCare_data();
    void taskProgressIsReadWithCare();
};

void TestKSEraserNetwork::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("cutora.protocol.debug=false"));
    QVERIFY(CommPassport::signIn(QStringLiteral("user-token"), QStringLiteral("Tester"), QString()));
}

void TestKSEraserNetwork::init()
{
    KSServiceAddress::setDefaultServiceURL(QString());
    KSUserDefaultKit::removeObjectForKey(KSServiceAddress::kServiceURLKey);
    qunsetenv(KSServiceAddress::kServiceURLEnvironment);
    KSTaskFlow::setPollInterval(kShortInterval);
    KSReconnect::setPolicy({kShortInterval, 15 * kShortInterval});
}

void TestKSEraserNetwork::objectKeysAreFreshHex()
{
    const QString first = KSUploadFlow::newObjectKey(QStringLiteral("images/2024/"));
    const QString second = KSUploadFlow::newObjectKey(QStringLiteral("images/2024/"));
    const QRegularExpression shape(QStringLiteral("^images/2024/[0-9a-f]{32}\\.jpg$"));
    QVERIFY2(shape.match(first).hasMatch(), qPrintable(first));
    QVERIFY(shape.match(second).hasMatch());
    QVERIFY(first != second);
}

void TestKSEraserNetwork::debugTextMasksSecrets()
{
    ScriptedCutoutService service;
    const QString text = KSProtocolDebug::describe(QVariantMap{{"status", "1"}, {"data", service.credentials()}});
    QVERIFY(!text.contains(QString::fromLatin1(ScriptedCutoutService::kAccessSecret)));
    QVERIFY(!text.contains(QString::fromLatin1(ScriptedCutoutService::kSecurityToken)));
    QVERIFY(text.contains(QString::fromLatin1(ScriptedCutoutService::kAccessId)));
    QVERIFY(text.contains(QStringLiteral("cutora")));
}

void TestKSEraserNetwork::serviceAddressPrecedence()
{
    QCOMPARE(KSServiceAddress::serviceURL(), QString());
    KSServiceAddress::setDefaultServiceURL(QStringLiteral("http://127.0.0.1:1"));
    QCOMPARE(KSServiceAddress::serviceURL(), QStringLiteral("http://127.0.0.1:1"));
    QCOMPARE(KSServiceAddress::configuredServiceURL(), QString());

    KSUserDefaultKit::saveToUserDefaultsForKey(KSServiceAddress::kServiceURLKey, QStringLiteral("https://setting.example"));
    QCOMPARE(KSServiceAddress::serviceURL(), QStringLiteral("https://setting.example"));

    qputenv(KSServiceAddress::kServiceURLEnvironment, "https://env.example");
    QCOMPARE(KSServiceAddress::serviceURL(), QStringLiteral("https://env.example"));
    QCOMPARE(KSServiceAddress::configuredServiceURL(), QStringLiteral("https://env.example"));
}

void TestKSEraserNetwork::unsafeServiceAddressIsRefused_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("plain http to another machine") << QStringLiteral("http://cutout.example.com");
    QTest::newRow("not a web address") << QStringLiteral("ftp://127.0.0.1");
    QTest::newRow("none") << QString();
}

void TestKSEraserNetwork::unsafeServiceAddressIsRefused()
{
    QFETCH(QString, url);
    KSServiceAddress::setDefaultServiceURL(url);
    LogWatch log(CommLog::logFilePath());
    CallLog<bool> completions;
    KSEraserNetwork::getAuthentications([&completions](bool success, const std::optional<QVariantMap> &payload) {
        completions.add(success || payload);
    });
    QTRY_COMPARE(completions.count(), 1);
    QCOMPARE(completions.last(), false);
    QVERIFY(log.newText().contains(QStringLiteral("invalid service address")));
}

void TestKSEraserNetwork::taskPathFollowsType_data()
{
    QTest::addColumn<KSEraserType>("type");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("person") << KSEraserType::person << QByteArray("/api/tasks/person");
    QTest::newRow("object") << KSEraserType::object << QByteArray("/api/tasks/object");
}

void TestKSEraserNetwork::taskPathFollowsType()
{
    QFETCH(KSEraserType, type);
    QFETCH(QByteArray, path);

    ScriptedCutoutService service;
    KSServiceAddress::setDefaultServiceURL(service.baseUrl());
    CallLog<TaskReport> reports;
    KSEraserNetwork::createTask(QStringLiteral("file 7"), type, recordInto(reports));
    QTRY_VERIFY(reports.count() > 0 && isFinal(reports.last()));

    const RecordedRequest create = service.server.requests("POST", ScriptedCutoutService::kTaskPath).value(0);
    QCOMPARE(create.path, path);
    QCOMPARE(create.params.value("file_id"), QStringLiteral("file 7"));
    QCOMPARE(create.header("Authorization"), QByteArray("Bearer user-token"));
    const RecordedRequest poll = service.server.requests("GET", ScriptedCutoutService::kPollPath).value(0);
    QCOMPARE(poll.header("Authorization"), QByteArray("Bearer user-token"));
    QVERIFY(poll.params.isEmpty());

    const TaskReport last = reports.last();
    QVERIFY(last.success);
    QCOMPARE(last.progress, 1.0);
    QVERIFY(last.path && last.path->startsWith(KSTempAppPathDirector() + u'/'));
    QFile mask(*last.path);
    QVERIFY(mask.open(QIODevice::ReadOnly));
    QCOMPARE(mask.readAll(), service.maskBytes());
    mask.remove();
}

void TestKSEraserNetwork::pollsArePacedFromSendToSend()
{
    // Long enough that a timer firing late on a busy machine stays clear of
    // the bounds below.
    constexpr std::chrono::milliseconds interval = 500ms;
    KSTaskFlow::setPollInterval(interval);
    const double i = seconds(interval);
    ScriptedCutoutService service;
    KSServiceAddress::setDefaultServiceURL(service.baseUrl());
    // Answered after half an interval, then after one and a half, both
    // pending; then failed.
    ScriptedReply quick = ScriptedReply::json(ScriptedCutoutService::envelope({{"status", 1}}));
    quick.delayMs = int(interval.count() / 2);
    ScriptedReply slow = ScriptedReply::json(ScriptedCutoutService::envelope({{"status", 0}}));
    slow.delayMs = int(interval.count() * 3 / 2);
    const ScriptedReply failed = ScriptedReply::json(ScriptedCutoutService::envelope({{"status", -1}}));
    service.server.script("GET", ScriptedCutoutService::kPollPath, {quick, slow, failed});

    LogWatch log(CommLog::logFilePath());
    CallLog<TaskReport> reports;
    KSEraserNetwork::getTaskResult(ScriptedCutoutService::kTaskId, recordInto(reports));
    QTRY_COMPARE_WITH_TIMEOUT(reports.count(), 1, 20000);
    QCOMPARE(reports.last().progress, -1.0);
    QVERIFY(log.newText().contains(QStringLiteral("cut-out failed: polling the task failed: status -1")));

    const QList<RecordedRequest> polls = service.server.requests("GET", ScriptedCutoutService::kPollPath);
    QCOMPARE(polls.size(), 3);
    // One poll at a time: each goes out after the previous answer.
    QVERIFY(polls[1].receivedAt >= polls[0].repliedAt);
    QVERIFY(polls[2].receivedAt >= polls[1].repliedAt);
    // Answered after half an interval: the next poll waits the rest of the
    // interval, not a whole one after the answer.
    const double afterQuick = polls[1].receivedAt - polls[0].repliedAt;
    QVERIFY2(afterQuick > 0.3 * i && afterQuick < 0.8 * i, qPrintable(QString::number(afterQuick)));
    QVERIFY(polls[1].receivedAt - polls[0].receivedAt >= 0.95 * i);
    // Answered after more than an interval: the next poll goes out at once.
    const double afterSlow = polls[2].receivedAt - polls[1].repliedAt;
    QVERIFY2(afterSlow < 0.5 * i, qPrintable(QString::number(afterSlow)));
}

void TestKSEraserNetwork::maskDownloadReportsItsShare()
{
    ScriptedCutoutService service;
    KSServiceAddress::setDefaultServiceURL(service.baseUrl());
    // Half the bytes, a pause, then the rest.
    ScriptedReply split = ScriptedReply::bytes(QByteArray(4000, 'm'), "image/png");
    split.splitAt = 2000;
    split.pauseMs = 150;
    service.server.script("GET", ScriptedCutoutService::kMaskPath, {split});

    CallLog<TaskReport> reports;
    KSEraserNetwork::getTaskResult(ScriptedCutoutService::kTaskId, recordInto(reports));
    QTRY_VERIFY(reports.count() > 0 && isFinal(reports.last()));

    bool sawHalf = false;
    const auto entries = reports.entries();
    for (qsizetype i = 0; i + 1 < entries.size(); ++i) {
        const TaskReport &report = entries[i].value;
        QVERIFY(!report.success && !report.path);
        QVERIFY(report.progress >= KSJobProgress::kTaskDone && report.progress <= KSJobProgress::kDownloaded);
        sawHalf = sawHalf || qAbs(report.progress - KSJobProgress::download(0.5)) < 1e-9;
    }
    QVERIFY2(sawHalf, "half the mask is reported as half the download's share");
    QVERIFY(reports.last().success);
    QFile::remove(*reports.last().path);
}

namespace {
// A port on this machine where nothing listens now: bound for a moment
// without listening, then let go.
int freePort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

// A server that starts listening on a given port only when asked.
struct LateServer
{
    httplib::Server server;
    std::thread thread;

    bool listenOn(int port)
    {
        if (!server.bind_to_port("127.0.0.1", port))
            return false;
        thread = std::thread([this] { server.listen_after_bind(); });
        return true;
    }
    ~LateServer()
    {
        server.stop();
        if (thread.joinable())
            thread.join();
    }
};
} // namespace

void TestKSEraserNetwork::pollsAndDownloadsTryAgainWhileNoServiceAnswers_data()
{
    QTest::addColumn<QString>("missing"); // "poll" or "mask": what finds no service at first
    QTest::addColumn<int>("comesBackAfterMs"); // -1: never
    // The program that ran the built-in service may end while a job polls;
    // the next program's service takes its place on the same address. Both
    // come back well within the bound (15 intervals).
    const int comesBack = int(kShortInterval.count() * 3);
    QTest::newRow("a poll, for a few intervals") << "poll" << comesBack;
    QTest::newRow("the mask download, for a few intervals") << "mask" << comesBack;
    QTest::newRow("a poll, for good") << "poll" << -1;
}

void TestKSEraserNetwork::pollsAndDownloadsTryAgainWhileNoServiceAnswers()
{
    QFETCH(QString, missing);
    QFETCH(int, comesBackAfterMs);
    ScriptedCutoutService service;
    const int port = freePort();
    const QString away = QStringLiteral("http://127.0.0.1:%1").arg(port);
    LateServer later;
    if (missing == QLatin1String("poll")) {
        KSServiceAddress::setDefaultServiceURL(away);
        if (comesBackAfterMs >= 0)
            QTimer::singleShot(comesBackAfterMs, [&] { KSServiceAddress::setDefaultServiceURL(service.baseUrl()); });
    } else {
        KSServiceAddress::setDefaultServiceURL(service.baseUrl());
        service.server.script("GET", ScriptedCutoutService::kPollPath,
                              {ScriptedReply::json(ScriptedCutoutService::envelope(
                                  {{"status", 2}, {"mask_file_url", away + ScriptedCutoutService::kMaskPath}}))});
        later.server.Get(ScriptedCutoutService::kMaskPath.toStdString(),
                         [&](const httplib::Request &, httplib::Response &res) {
                             res.set_content(service.maskBytes().toStdString(), "image/png");
                         });
        QTimer::singleShot(comesBackAfterMs, [&] { later.listenOn(port); });
    }
    LogWatch log(CommLog::logFilePath());
    CallLog<TaskReport> reports;
    KSEraserNetwork::getTaskResult(ScriptedCutoutService::kTaskId, recordInto(reports));
    QTRY_VERIFY_WITH_TIMEOUT(reports.count() > 0 && isFinal(reports.last()), 30000);
    const bool cameBack = comesBackAfterMs >= 0;
    QCOMPARE(reports.last().success, cameBack);
    QVERIFY(log.newText().contains(QStringLiteral(": the service cannot be reached, trying again in %1 s").arg(seconds(kShortInterval))));
    if (cameBack)
        QFile::remove(*reports.last().path);
}

void TestKSEraserNetwork::taskProgressIsReadWithCare_data()
{
    QTest::addColumn<QVariant>("progress");
    QTest::addColumn<double>("overall"); // -1: nothing reported

    const double start = KSJobProgress::kUploaded, end = KSJobProgress::kTaskDone;
    QTest::newRow("half way") << QVariant(0.5) << (start + end) / 2;
    QTest::newRow("a whole number") << QVariant(1) << end;
    // A service that overshoots or goes negative never moves the bar out of its span.
    QTest::newRow("above one") << QVariant(3.5) << end;
    QTest::newRow("negative") << QVariant(-0.2) << start;
    QTest::newRow("text is no number") << QVariant(QStringLiteral("0.5")) << -1.0;
    QTest::newRow("absent") << QVariant() << -1.0;
    QTest::newRow("not a number") << QVariant(std::nan("")) << -1.0;
}

void TestKSEraserNetwork::taskProgressIsReadWithCare()
{
    QFETCH(QVariant, progress);
    QFETCH(double, overall);
    const std::optional<double> read = KSTaskFlow::taskProgress(progress);
    if (overall < 0)
        QVERIFY(!read);
    else
        QCOMPARE(read.value_or(-1), overall);
}

QTEST_GUILESS_MAIN(TestKSEraserNetwork)
#include "tst_kserasernetwork.moc"
