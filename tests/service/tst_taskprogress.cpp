#include "KSCutoutEngine.h"
#include "KSTaskProgress.h"
#include "ServiceTestClient.h"

#include <QDir>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// An engine that holds every picture until the test lets it go, so that a
// task can be seen, and cancelled, while it runs.
struct EngineGate
{
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> running = 0;
    bool open = false;

    void release()
    {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

class GatedEngine : public KSCutoutEngine
{
public:
    explicit GatedEngine(std::shared_ptr<EngineGate> gate) : m_gate(std::move(gate)) {}

    cv::Mat mask(const cv::Mat &bgr, KSEraserType, std::string *) override
    {
        std::unique_lock lock(m_gate->mutex);
        ++m_gate->running;
        m_gate->changed.notify_all();
        m_gate->changed.wait(lock, [this] { return m_gate->open; });
        return cv::Mat(bgr.rows, bgr.cols, CV_8UC1, cv::Scalar(255));
    }
    std::string name() const override { return "gated"; }

private:
    std::shared_ptr<EngineGate> m_gate;
};

} // namespace

// The poll's progress field and the cancel of a task, over real HTTP.
class TestTaskProgress : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void engineShareGrowsButNeverReachesTheEnd_data();
    void engineShareGrowsButNeverReachesTheEnd();
    void aTasksProgressNeverFallsBack();
    void aRunningTaskReportsItsProgress();
    void aWaitingTaskIsCancelledAndNeverRuns();
    void aRunningTaskIsCancelledAndItsMaskDropped();
    void onlyTheOwnerCancels();

private:
    std::string taskPath(const QString &taskId) const { return "/api/tasks/" + taskId.toStdString(); }
    QJsonObject poll(const QString &taskId) const { return ServiceTestClient::data(m_client->get(taskPath(taskId), m_token)); }
    httplib::Result cancel(const QString &taskId, const QString &token) const
    {
        return m_client->post(taskPath(taskId) + "/cancel", {}, token);
    }
    bool start(int workers);
    // A data folder of each test's own.
    QString dataDir() const { return m_dir.filePath(QLatin1String(QTest::currentTestFunction())); }
    int maskFileCount() const
    {
        return int(QDir(m_client->service.dataDir() + QStringLiteral("/masks")).entryList(QDir::Files).size());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ServiceTestClient> m_client;
    std::shared_ptr<EngineGate> m_gate;
    QString m_token;
};

bool TestTaskProgress::start(int workers)
{
    m_gate = std::make_shared<EngineGate>();
    m_client = std::make_unique<ServiceTestClient>();
    KSLocalService::Options options = m_client->options(dataDir(), workers);
    // Polls answer at once: these tests look at tasks that do not end.
    options.pollHoldMs = 0;
    options.engineFactory = [gate = m_gate] { return std::make_unique<GatedEngine>(gate); };
    if (!m_client->service.start(options))
        return false;
    m_token = m_client->service.localToken();
    return true;
}

void TestTaskProgress::init()
{
    QVERIFY(m_dir.isValid());
}

void TestTaskProgress::cleanup()
{
    if (m_gate)
        m_gate->release();
    if (m_client)
        m_client->service.stop();
    m_client.reset();
}

void TestTaskProgress::engineShareGrowsButNeverReachesTheEnd_data()
{
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");

    QTest::newRow("just begun: where decoding ended") << qint64(0) << 0.10 << 0.10;
    QTest::newRow("half the expected time") << qint64(1000) << 0.41 << 0.43;
    QTest::newRow("the expected time: 80 % of the engine's span") << qint64(2000) << 0.73 << 0.75;
    QTest::newRow("far slower than expected: still below the end") << qint64(60000) << 0.89 << 0.8999;
}

void TestTaskProgress::engineShareGrowsButNeverReachesTheEnd()
{
    QFETCH(qint64, elapsedMs);
    QFETCH(double, low);
    QFETCH(double, high);
    const double share = KSTaskProgress::engineShare(elapsedMs, 2000);
    QVERIFY2(share >= low && share <= high, qPrintable(QString::number(share)));
    QVERIFY(KSTaskProgress::engineShare(elapsedMs + 100, 2000) >= share);
}

void TestTaskProgress::aTasksProgressNeverFallsBack()
{
    const QString a = QStringLiteral("a"), b = QStringLiteral("b");
    const auto told = [](KSTaskProgress &progress, const QString &task, qint64 nowMs) {
        return progress.progress(task, nowMs).value_or(-1.0);
    };
    {
        // Two workers: b's engine, far slower than expected, ends while a's runs.
        KSTaskProgress progress;
        progress.claimed(a, 0);
        progress.claimed(b, 0);
        progress.engineStarted(a, 0);
        progress.engineStarted(b, 0);
        const double before = told(progress, a, 1700);
        progress.engineFinished(b, 20000);
        QVERIFY2(told(progress, a, 1800) >= before, qPrintable(QString::number(told(progress, a, 1800))));
    }
    {
        // The service's clock steps back between two polls.
        KSTaskProgress progress;
        progress.claimed(a, 0);
        progress.engineStarted(a, 10000);
        const double before = told(progress, a, 11000);
        QCOMPARE(told(progress, a, 10500), before);
    }
    {
        // A poll read the task as running just before the runner let go of it.
        KSTaskProgress progress;
        progress.claimed(a, 0);
        progress.engineStarted(a, 0);
        progress.engineFinished(a, 1000);
        progress.ended(a, 1000);
        QCOMPARE(told(progress, a, 1001), KSTaskProgress::kEngineDone);
        // Long after, the task is forgotten once another is claimed.
        progress.claimed(b, 1000 + 2 * 60'000);
        QCOMPARE(told(progress, a, 1000 + 2 * 60'000), -1.0);
    }
}

void TestTaskProgress::aRunningTaskReportsItsProgress()
{
    QVERIFY(start(1));
    const QString taskId = m_client->createTask(m_token, studioPicture(64, 48));
    QVERIFY(!taskId.isEmpty());
    QTRY_COMPARE(m_gate->running, 1);

    const QJsonObject running = poll(taskId);
    QCOMPARE(running.value(QStringLiteral("status")).toInt(), 1);
    const double first = running.value(QStringLiteral("progress")).toDouble(-1);
    QVERIFY2(first >= KSTaskProgress::kDecoded && first < KSTaskProgress::kEngineDone, qPrintable(QString::number(first)));
    // The engine tells nothing, yet the share moves with its time.
    QTRY_VERIFY(poll(taskId).value(QStringLiteral("progress")).toDouble() > first);

    m_gate->release();
    const QJsonObject done = m_client->waitForTask(m_token, taskId);
    QCOMPARE(done.value(QStringLiteral("status")).toInt(), 2);
    QCOMPARE(done.value(QStringLiteral("progress")).toDouble(), 1.0);
}

void TestTaskProgress::aWaitingTaskIsCancelledAndNeverRuns()
{
    // No workers: the task can only wait.
    QVERIFY(start(0));
    const QString taskId = m_client->createTask(m_token, studioPicture(64, 48));
    QVERIFY(!taskId.isEmpty());
    QCOMPARE(poll(taskId).value(QStringLiteral("progress")).toDouble(-1), 0.0);

    const httplib::Result cancelled = cancel(taskId, m_token);
    QVERIFY(cancelled);
    QCOMPARE(cancelled->status, 200);
    QCOMPARE(ServiceTestClient::data(cancelled).value(QStringLiteral("status")).toInt(), -1);
    const QJsonObject task = poll(taskId);
    QCOMPARE(task.value(QStringLiteral("status")).toInt(), -1);
    QVERIFY(task.value(QStringLiteral("error")).toString().contains(QStringLiteral("cancelled")));
    QVERIFY(!task.contains(QStringLiteral("progress")));

    // Not even a restart with workers brings it back.
    m_client->service.stop();
    KSLocalService::Options options = m_client->options(dataDir(), 1);
    options.engineFactory = [gate = m_gate] { return std::make_unique<GatedEngine>(gate); };
    QVERIFY(m_client->service.start(options));
    QCOMPARE(poll(taskId).value(QStringLiteral("status")).toInt(), -1);
    QCOMPARE(m_gate->running, 0);
}

void TestTaskProgress::aRunningTaskIsCancelledAndItsMaskDropped()
{
    QVERIFY(start(1));
    const QString taskId = m_client->createTask(m_token, studioPicture(64, 48));
    QTRY_COMPARE(m_gate->running, 1);

    QCOMPARE(cancel(taskId, m_token)->status, 200);
    QCOMPARE(poll(taskId).value(QStringLiteral("status")).toInt(), -1);
    // The engine finishes into nothing: the task stays cancelled, no mask stays.
    m_gate->release();
    m_client->service.stop();
    QVERIFY(m_client->service.start(m_client->options(dataDir(), 0)));
    const QJsonObject task = poll(taskId);
    QCOMPARE(task.value(QStringLiteral("status")).toInt(), -1);
    QVERIFY(!task.contains(QStringLiteral("mask_file_url")));
    QCOMPARE(maskFileCount(), 0);
    // A second cancel changes nothing and is no error.
    QCOMPARE(cancel(taskId, m_token)->status, 200);
}

void TestTaskProgress::onlyTheOwnerCancels()
{
    QVERIFY(start(0));
    const QString taskId = m_client->createTask(m_token, studioPicture(64, 48));
    // The data folder's one account owns every task: another token is unknown.
    QCOMPARE(cancel(taskId, QStringLiteral("fedcba9876543210fedcba9876543210"))->status, 401);
    QCOMPARE(cancel(taskId, QString())->status, 401);
    QCOMPARE(poll(taskId).value(QStringLiteral("status")).toInt(), 0);
}

QTEST_MAIN(TestTaskProgress)
#include "tst_taskprogress.moc"
