#include "KSEraserManager.h"

#include "CallLog.h"
#include "CommLog.h"
#include "CommPassport.h"
#include "KSAFNetworking.h"
#include "KSFileConst.h"
#include "KSReconnect.h"
#include "KSServiceAddress.h"
#include "KSTaskFlow.h"
#include "LogWatch.h"
#include "ScriptedCutoutService.h"
#include "WorkQuiet.h"

#include <QDir>
#include <QImage>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using Cut = ScriptedReply::Cut;
using Kind = KSEraserFailure::Kind;

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(ScriptedReply)

namespace {

// Nothing listens on port 1 of this machine: a connection there is refused.
const QString kNobody = QStringLiteral("http://127.0.0.1:1");
constexpr std::chrono::milliseconds kInterval = 50ms;

// The steps of one job, by the route they use.
struct Step
{
    QByteArray method;
    QString path;
};

Step stepNamed(const QString &name)
{
    if (name == QLatin1String("credentials"))
        return {"GET", ScriptedCutoutService::kAuthPath};
    if (name == QLatin1String("upload"))
        return {"PUT", ScriptedCutoutService::kPutPath};
    if (name == QLatin1String("registration"))
        return {"POST", ScriptedCutoutService::kResourcesPath};
    if (name == QLatin1String("creation"))
        return {"POST", ScriptedCutoutService::kTaskPath};
    if (name == QLatin1String("poll"))
        return {"GET", ScriptedCutoutService::kPollPath};
    return {"GET", ScriptedCutoutService::kMaskPath};
}

// What the scripted service answers a step that goes well.
ScriptedReply goodReply(const ScriptedCutoutService &service, const QString &step)
{
    using S = ScriptedCutoutService;
    if (step == QLatin1String("credentials"))
        return ScriptedReply::json(S::envelope(service.credentials()));
    if (step == QLatin1String("upload"))
        return ScriptedReply::json(S::envelope({{"resource", QVariantMap{{"resource_id", S::kResourceId}}}}));
    if (step == QLatin1String("registration"))
        return ScriptedReply::json(S::envelope({{"resource_id", S::kResourceId}}));
    if (step == QLatin1String("creation"))
        return ScriptedReply::json(S::envelope({{"task_id", S::kTaskId}}));
    if (step == QLatin1String("poll"))
        return ScriptedReply::json(S::envelope({{"status", 2}, {"mask_file_url", service.maskUrl()}}));
    return ScriptedReply::bytes(service.maskBytes(), "image/png");
}

struct Report
{
    bool success = false;
    std::optional<QString> path;
    double progress = 0;
};

bool isFinal(const Report &report)
{
    return report.success || report.progress < 0;
}

// A job under way, its reports and the cause of a failure.
struct Job
{
    CallLog<Report> reports;
    std::shared_ptr<QList<KSEraserFailure>> failures = std::make_shared<QList<KSEraserFailure>>();
    KSEraserManager::JobId id = 0;

    void start(const QString &photo)
    {
        id = KSEraserManager::startEraser(
            photo, KSEraserType::person,
            [this](bool success, const std::optional<QString> &path, double progress) {
                reports.add({success, path, progress});
            },
            [failures = failures](const KSEraserFailure &failure) { failures->append(failure); });
    }
    [[nodiscard]] bool ended() const { return reports.count() > 0 && isFinal(reports.last()); }
};

QSet<QString> tempFiles()
{
    const QStringList names = QDir(KSTempAppPathDirector()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    return {names.cbegin(), names.cend()};
}

} // namespace

class TestServiceLost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aLostConnectionIsSentAgain_data();
    void aLostConnectionIsSentAgain();
    void whatIsNoLostConnectionIsNotSentAgain_data();
    void whatIsNoLostConnectionIsNotSentAgain();
    void aServiceThatStaysAwayEndsTheJob();
    void cancelEndsTheWait_data();
    void cancelEndsTheWait();

private:
    QString m_photo;
    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedCutoutService> m_service;
};

void TestServiceLost::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("cutora.protocol.debug=false"));
    QVERIFY(CommPassport::signIn(QStringLiteral("user-token"), QStringLiteral("Tester"), QString()));
    KSTaskFlow::setPollInterval(kInterval);
    QImage photo(60, 40, QImage::Format_RGB32);
    photo.fill(QColor(30, 90, 160));
    m_photo = m_dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(photo.save(m_photo));
}

void TestServiceLost::init()
{
    KSReconnect::setPolicy({kInterval, 2s});
    m_service = std::make_unique<ScriptedCutoutService>();
    QVERIFY(m_service->server.isListening());
    KSServiceAddress::setDefaultServiceURL(m_service->baseUrl());
}

void TestServiceLost::cleanup()
{
    QVERIFY(waitUntilQuiet());
    m_service.reset();
}

void TestServiceLost::aLostConnectionIsSentAgain_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("cut");
    // "refused": the connection closes, and the service is then away for a
    // few intervals, as while another program takes it over.
    QTest::addColumn<bool>("awayAfter");
    for (const char *step : {"credentials", "upload", "registration", "creation", "poll", "mask"}) {
        QTest::addRow("%s, empty reply", step) << step << int(Cut::close) << false;
        QTest::addRow("%s, reset", step) << step << int(Cut::reset) << false;
        QTest::addRow("%s, then refused", step) << step << int(Cut::close) << true;
    }
}

void TestServiceLost::aLostConnectionIsSentAgain()
{
    QFETCH(QString, step);
    QFETCH(int, cut);
    QFETCH(bool, awayAfter);
    const Step route = stepNamed(step);
    const QString home = m_service->baseUrl();
    auto calls = std::make_shared<std::atomic<int>>(0);
    m_service->server.script(route.method, route.path, [=, reply = goodReply(*m_service, step)](const RecordedRequest &) {
        if (++*calls > 1)
            return reply;
        if (awayAfter) {
            KSServiceAddress::setDefaultServiceURL(kNobody);
            std::thread([home] {
                std::this_thread::sleep_for(4 * kInterval);
                KSServiceAddress::setDefaultServiceURL(home);
            }).detach();
        }
        return ScriptedReply::cutOff(Cut(cut));
    });

    Job job;
    job.start(m_photo);
    QTRY_VERIFY_WITH_TIMEOUT(job.ended(), 15000);
    QVERIFY2(job.reports.last().success, qPrintable(step));
    QFile::remove(*job.reports.last().path);
    QCOMPARE(calls->load(), 2);
    // A creation sent again is answered with the task already made: one
    // task is polled, once, and nothing else is asked twice.
    const ScriptedHttpServer &server = m_service->server;
    const bool pollAgain = step == QLatin1String("poll") || step == QLatin1String("mask");
    QCOMPARE(server.requests("GET", ScriptedCutoutService::kPollPath).size(), pollAgain ? 2 : 1);
    QCOMPARE(server.requests("GET", ScriptedCutoutService::kAuthPath).size(), step == QLatin1String("credentials") ? 2 : 1);
    for (const QString &other : {QStringLiteral("registration"), QStringLiteral("creation")})
        if (other != step)
            QCOMPARE(server.requests(stepNamed(other).method, stepNamed(other).path).size(), 1);
}

void TestServiceLost::whatIsNoLostConnectionIsNotSentAgain_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<Kind>("kind");

    QTest::newRow("credentials refused (401)")
        << "credentials" << ScriptedReply::json(R"({"status":"0","message":"unknown account token"})", 401)
        << Kind::serviceError;
    QTest::newRow("an unknown resource (404)")
        << "creation" << ScriptedReply::json(R"({"status":"0","message":"unknown file"})", 404) << Kind::serviceError;
    QTest::newRow("a registration that is no JSON")
        << "registration" << ScriptedReply::bytes("<html>busy</html>", "text/html") << Kind::serviceError;
    QTest::newRow("a poll that is no JSON") << "poll" << ScriptedReply::bytes("oops", "text/plain") << Kind::serviceError;
    // A service that takes the connection and says nothing is hung, not gone.
    ScriptedReply silent = ScriptedReply::json(ScriptedCutoutService::envelope({{"status", 1}}));
    silent.delayMs = 1500;
    QTest::newRow("a poll that times out") << "poll" << silent << Kind::serviceUnreachable;
}

void TestServiceLost::whatIsNoLostConnectionIsNotSentAgain()
{
    QFETCH(QString, step);
    QFETCH(ScriptedReply, reply);
    QFETCH(Kind, kind);
    const Step route = stepNamed(step);
    m_service->server.script(route.method, route.path, {reply});
    const KSAFNetworking::Timeouts before = KSAFNetworking::timeouts();
    KSAFNetworking::Timeouts quick = before;
    quick.requestMs = 500;
    KSAFNetworking::setTimeouts(quick);

    Job job;
    job.start(m_photo);
    QTRY_VERIFY_WITH_TIMEOUT(job.ended(), 15000);
    KSAFNetworking::setTimeouts(before);
    QVERIFY(!job.reports.last().success);
    QCOMPARE(*job.failures, QList<KSEraserFailure>{{kind}});
    // A request is recorded once answered.
    QTRY_COMPARE(m_service->server.requests(route.method, route.path).size(), 1);
    QTest::qWait(int(4 * kInterval.count()));
    QCOMPARE(m_service->server.requests(route.method, route.path).size(), 1);
}

void TestServiceLost::aServiceThatStaysAwayEndsTheJob()
{
    KSReconnect::setPolicy({kInterval, 5 * kInterval});
    KSServiceAddress::setDefaultServiceURL(kNobody);
    LogWatch log(CommLog::logFilePath());
    Job job;
    job.start(m_photo);
    QTRY_VERIFY_WITH_TIMEOUT(job.ended(), 15000);
    QVERIFY(!job.reports.last().success);
    QCOMPARE(*job.failures, QList<KSEraserFailure>{{Kind::serviceUnreachable}});
    // Asked once, then again until the bound: five intervals.
    QCOMPARE(log.newText().count(QStringLiteral("getting storage credentials: the service cannot be reached")), 5);
}

void TestServiceLost::cancelEndsTheWait_data()
{
    QTest::addColumn<QString>("step");
    for (const char *step : {"credentials", "upload", "registration", "creation", "poll"})
        QTest::newRow(step) << step;
}

void TestServiceLost::cancelEndsTheWait()
{
    QFETCH(QString, step);
    const Step route = stepNamed(step);
    // The service goes for good with the step's first request, whose
    // connection it drops; the storage with it.
    m_service->server.script(route.method, route.path, [](const RecordedRequest &) {
        KSServiceAddress::setDefaultServiceURL(kNobody);
        return ScriptedReply::cutOff(Cut::close);
    });
    const QSet<QString> filesBefore = tempFiles();
    LogWatch log(CommLog::logFilePath());
    Job job;
    job.start(m_photo);
    QTRY_VERIFY(log.newText().contains(QStringLiteral(": the service cannot be reached")));
    QVERIFY(KSEraserManager::cancelEraser(job.id));
    const int requestsAtCancel = int(m_service->server.requests().size());
    // Back at once: a step still sent after the cancel would reach it.
    KSServiceAddress::setDefaultServiceURL(m_service->baseUrl());
    QTest::qWait(int(6 * kInterval.count()));
    QVERIFY(waitUntilQuiet());

    for (const auto &entry : job.reports.entries())
        QVERIFY(!isFinal(entry.value));
    QCOMPARE(tempFiles() - filesBefore, QSet<QString>());
    // Only the cancelled task's own cancel may follow.
    const QString cancelPath = ScriptedCutoutService::kPollPath + QStringLiteral("/cancel");
    QCOMPARE(int(m_service->server.requests().size() - m_service->server.requests("POST", cancelPath).size()),
             requestsAtCancel);
}

QTEST_GUILESS_MAIN(TestServiceLost)
#include "tst_servicelost.moc"
