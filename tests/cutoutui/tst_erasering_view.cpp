#include "CommLang.h"
#include "KSEraserErrorView.h"
#include "KSEraseringView.h"
#include "KSHoverButton.h"
#include "KSViewSlider.h"
#include "Settle.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <thread>

Q_DECLARE_METATYPE(KSEraserFailure::Kind)

namespace {

// Jobs started by the progress screen, kept so a test can play their
// reports the way the job manager would.
struct FakeJobs
{
    struct Job
    {
        QString filePath;
        KSEraserType type;
        KSEraseringView::JobReport report;
        KSEraseringView::JobFailure failed;
    };
    QList<Job> started;
    QList<KSEraserManager::JobId> cancelled;

    // Job ids are the position in `started` plus one.
    void install()
    {
        KSEraseringView::setJobStarter(
            [this](const QString &path, KSEraserType type, KSEraseringView::JobReport report,
                   KSEraseringView::JobFailure failed) {
                started.append({path, type, std::move(report), std::move(failed)});
                return KSEraserManager::JobId(started.size());
            },
            [this](KSEraserManager::JobId job) {
                cancelled.append(job);
                return true;
            });
    }
    void report(int job, bool success, const std::optional<QString> &path, double progress)
    {
        started.at(job).report(success, path, progress);
    }
    // A failure as the job manager makes it: the cause, then the report.
    void fail(int job, KSEraserFailure::Kind kind)
    {
        started.at(job).failed({kind});
        report(job, false, std::nullopt, -1.0);
    }
};

struct Ending
{
    int calls = 0;
    bool success = false;
    std::optional<QString> path;
};

KSEraserErrorView *errorViewIn(QWidget *host)
{
    return host->findChild<KSEraserErrorView *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TestEraseringView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void labelShowsTruncatedPercent_data();
    void labelShowsTruncatedPercent();
    void successRemovesScreenBeforeTellingShell();
    void failureShowsErrorScreenAndRetryStartsNewJob();
    void backFromErrorTellsShellOnce();
    void staleReportsOfFailedJobAreIgnored();
    void jobOutlivingItsScreenIsDropped();
    void errorScreenSaysWhatHappened_data();
    void errorScreenSaysWhatHappened();
    void cancelEndsTheJobAndGoesHome_data();
    void cancelEndsTheJobAndGoesHome();

private:
    KSEraseringView *show(Ending &ending, KSEraserType type = KSEraserType::person);

    std::unique_ptr<QWidget> m_host;
    FakeJobs m_jobs;
};

void TestEraseringView::init()
{
    m_jobs = {};
    m_jobs.install();
    m_host = std::make_unique<QWidget>();
    m_host->resize(1080, 512);
    m_host->show();
}

void TestEraseringView::cleanup()
{
    m_host.reset();
    settle();
    KSEraseringView::setJobStarter({});
}

KSEraseringView *TestEraseringView::show(Ending &ending, KSEraserType type)
{
    return KSEraseringView::showEraseringView(m_host.get(), QStringLiteral("/pictures/cat.jpg"), type,
                                              [&ending](bool success, const std::optional<QString> &path) {
                                                  ++ending.calls;
                                                  ending.success = success;
                                                  ending.path = path;
                                              });
}

void TestEraseringView::labelShowsTruncatedPercent_data()
{
    QTest::addColumn<double>("progress");
    QTest::addColumn<QString>("text");

    QTest::newRow("authenticated") << 0.05 << "5%";
    QTest::newRow("upload done") << 0.70 << "70%";
    QTest::newRow("truncated, not rounded") << 0.375 << "37%";
    QTest::newRow("almost done stays below 100") << 0.999 << "99%";
    // 0.57 x 100 is 56.99999999999999 in binary; the user sees 57.
    QTest::newRow("binary fraction below the percent") << 0.57 << "57%";
    QTest::newRow("download finished") << 1.0 << "100%";
}

void TestEraseringView::labelShowsTruncatedPercent()
{
    QFETCH(double, progress);
    QFETCH(QString, text);

    Ending ending;
    QPointer<KSEraseringView> view = show(ending);
    QVERIFY(view);
    QCOMPARE(view->progressLabel()->text(), QStringLiteral("0%"));

    // Jobs report from their own threads; the screen takes reports from the
    // event loop of the GUI thread only.
    std::thread worker([this, progress] { m_jobs.report(0, false, std::nullopt, progress); });
    worker.join();
    QCOMPARE(view->progressLabel()->text(), QStringLiteral("0%"));
    settle();

    QCOMPARE(view->progressLabel()->text(), text);
    QCOMPARE(view->progressView()->progress(), progress);
    QCOMPARE(ending.calls, 0);
}

void TestEraseringView::successRemovesScreenBeforeTellingShell()
{
    QPointer<KSEraseringView> view;
    bool removedFirst = false;
    int calls = 0;
    view = KSEraseringView::showEraseringView(
        m_host.get(), QStringLiteral("/pictures/cat.jpg"), KSEraserType::object,
        [&](bool success, const std::optional<QString> &path) {
            ++calls;
            QVERIFY(success);
            QCOMPARE(path, std::optional<QString>(QStringLiteral("/cache/temp/cat.jpg")));
            removedFirst = view && view->parentWidget() == nullptr && !view->isVisible();
        });
    QCOMPARE(m_jobs.started.size(), 1);
    QCOMPARE(m_jobs.started.at(0).filePath, QStringLiteral("/pictures/cat.jpg"));
    QCOMPARE(m_jobs.started.at(0).type, KSEraserType::object);

    m_jobs.report(0, true, QStringLiteral("/cache/temp/cat.jpg"), 1.0);
    settle();

    QCOMPARE(calls, 1);
    QVERIFY(removedFirst);
    QVERIFY(!view);
}

void TestEraseringView::failureShowsErrorScreenAndRetryStartsNewJob()
{
    Ending ending;
    QPointer<KSEraseringView> view = show(ending);
    m_jobs.report(0, false, std::nullopt, 0.3);
    m_jobs.report(0, false, std::nullopt, -1.0);
    settle();

    QPointer<KSEraserErrorView> error = errorViewIn(m_host.get());
    QVERIFY(error);
    QVERIFY(error->isVisible());
    QCOMPARE(error->geometry(), m_host->rect());
    QVERIFY(!view->isVisible());
    QCOMPARE(view->parentWidget(), m_host.get());
    QCOMPARE(view->progressLabel()->text(), QStringLiteral("-100%"));

    QTest::mouseClick(error->refreshBtn(), Qt::LeftButton);
    settle();

    QVERIFY(!error);
    QVERIFY(view->isVisible());
    // The same file and type again, as a complete new job.
    QCOMPARE(m_jobs.started.size(), 2);
    QCOMPARE(m_jobs.started.at(1).filePath, QStringLiteral("/pictures/cat.jpg"));
    QCOMPARE(m_jobs.started.at(1).type, KSEraserType::person);
    // The failure's values stay until the new job reports.
    QCOMPARE(view->progressLabel()->text(), QStringLiteral("-100%"));
    QCOMPARE(ending.calls, 0);

    m_jobs.report(1, false, std::nullopt, 0.05);
    settle();
    QCOMPARE(view->progressLabel()->text(), QStringLiteral("5%"));

    m_jobs.report(1, true, QStringLiteral("/cache/temp/cat.jpg"), 1.0);
    settle();
    QCOMPARE(ending.calls, 1);
    QVERIFY(ending.success);
}

void TestEraseringView::backFromErrorTellsShellOnce()
{
    Ending ending;
    QPointer<KSEraseringView> view = show(ending);
    m_jobs.report(0, false, std::nullopt, -1.0);
    settle();
    QPointer<KSEraserErrorView> error = errorViewIn(m_host.get());
    QVERIFY(error);

    // A double click lands twice before the screen is gone.
    QTest::mouseClick(error->backToHomeBtn(), Qt::LeftButton);
    if (error)
        QTest::mouseClick(error->backToHomeBtn(), Qt::LeftButton);
    settle();

    QCOMPARE(ending.calls, 1);
    QVERIFY(!ending.success);
    QCOMPARE(ending.path, std::nullopt);
    QVERIFY(!view);
    QVERIFY(!error);
    QCOMPARE(m_jobs.started.size(), 1);
}

void TestEraseringView::staleReportsOfFailedJobAreIgnored()
{
    Ending ending;
    QPointer<KSEraseringView> view = show(ending);
    m_jobs.report(0, false, std::nullopt, -1.0);
    settle();
    errorViewIn(m_host.get())->actionForRefresh();
    settle();

    // A late progress report of the failed job, and even a late success,
    // must not move the new job's screen.
    m_jobs.report(0, false, std::nullopt, 0.6);
    m_jobs.report(0, true, QStringLiteral("/cache/temp/old.jpg"), 1.0);
    settle();
    QVERIFY(view);
    QCOMPARE(view->progressLabel()->text(), QStringLiteral("-100%"));
    QCOMPARE(ending.calls, 0);

    // A second failure of the new job brings the error screen back.
    m_jobs.report(1, false, std::nullopt, -1.0);
    settle();
    QVERIFY(errorViewIn(m_host.get()));
}

void TestEraseringView::jobOutlivingItsScreenIsDropped()
{
    Ending ending;
    QPointer<KSEraseringView> view = show(ending);
    m_jobs.report(0, false, std::nullopt, 0.2);
    // The screen goes while the report is still on its way, then the job
    // goes on reporting from a worker thread to its end.
    m_host.reset();
    settle();
    QVERIFY(!view);

    std::thread worker([report = m_jobs.started.at(0).report] {
        report(false, std::nullopt, 0.8);
        report(true, QStringLiteral("/cache/temp/cat.jpg"), 1.0);
    });
    worker.join();
    settle();

    QCOMPARE(ending.calls, 0);
}

void TestEraseringView::errorScreenSaysWhatHappened_data()
{
    using Kind = KSEraserFailure::Kind;
    QTest::addColumn<KSEraserFailure::Kind>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("retry");

    // Only an unreachable service speaks of the connection.
    QTest::newRow("service unreachable") << Kind::serviceUnreachable << "ErrorServiceUnreachable" << true;
    QTest::newRow("engine failed") << Kind::engineFailed << "ErrorEngineFailed" << true;
    QTest::newRow("signed out") << Kind::signedOut << "ErrorSignedOut" << true;
    // Trying the same file again cannot help these.
    QTest::newRow("not a picture") << Kind::notAPicture << "ErrorNotAPicture" << false;
    QTest::newRow("a damaged picture") << Kind::damagedPicture << "ErrorDamagedPicture" << false;
    QTest::newRow("gone since it was chosen") << Kind::missingFile << "ErrorMissingFile" << false;
    QTest::newRow("a folder") << Kind::folder << "ErrorFolder" << false;
    QTest::newRow("too small") << Kind::pictureTooSmall << "ErrorPictureTooSmall" << false;
    QTest::newRow("no subject in the picture") << Kind::noSubject << "ErrorNoSubject" << false;
    QTest::newRow("no cause told") << Kind::unknown << "SorryEreaserError" << true;
}

void TestEraseringView::errorScreenSaysWhatHappened()
{
    QFETCH(KSEraserFailure::Kind, kind);
    QFETCH(QString, message);
    QFETCH(bool, retry);

    Ending ending;
    show(ending);
    std::thread worker([this, kind] { m_jobs.fail(0, kind); });
    worker.join();
    settle();

    KSEraserErrorView *error = errorViewIn(m_host.get());
    QVERIFY(error);
    QCOMPARE(error->titleLabel()->text(), CommLang::GetAppLang(message));
    QCOMPARE(error->adviceLabel()->text(), KSEraserFailure{kind}.advice());
    QVERIFY(!error->adviceLabel()->text().isEmpty());
    // The screen names the photo that failed.
    QVERIFY2(error->fileLabel()->text().contains(QStringLiteral("cat.jpg")), qPrintable(error->fileLabel()->text()));
    QCOMPARE(error->refreshBtn()->isVisible(), retry);
    const bool mentionsConnection = error->titleLabel()->text().contains(QStringLiteral("connect"))
                                    || error->adviceLabel()->text().contains(QStringLiteral("connection"));
    QCOMPARE(mentionsConnection, kind == KSEraserFailure::Kind::serviceUnreachable);

    // Escape goes back home, as the button does.
    QTest::keyClick(error, Qt::Key_Escape);
    settle();
    QCOMPARE(ending.calls, 1);
    QVERIFY(!ending.success);
}

void TestEraseringView::cancelEndsTheJobAndGoesHome_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel button") << false;
    QTest::newRow("Escape") << true;
}

void TestEraseringView::cancelEndsTheJobAndGoesHome()
{
    QFETCH(bool, escape);

    Ending ending;
    QPointer<KSEraseringView> view = show(ending);
    m_jobs.report(0, false, std::nullopt, 0.4);
    settle();
    if (escape)
        QTest::keyClick(view, Qt::Key_Escape);
    else
        QTest::mouseClick(view->cancelBtn(), Qt::LeftButton);
    settle();

    QCOMPARE(m_jobs.cancelled, QList<KSEraserManager::JobId>{1});
    QCOMPARE(ending.calls, 1);
    QVERIFY(!ending.success);
    QVERIFY(!view);
    // The job's last words never reach anyone.
    m_jobs.report(0, true, QStringLiteral("/cache/temp/cat.jpg"), 1.0);
    settle();
    QCOMPARE(ending.calls, 1);
    QVERIFY(!errorViewIn(m_host.get()));
}

QTEST_MAIN(TestEraseringView)
#include "tst_erasering_view.moc"
