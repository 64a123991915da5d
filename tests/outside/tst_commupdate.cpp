#include "CommUpdate.h"
#include "ScriptedHttpServer.h"
#include "WorkQuiet.h"

#include <QTemporaryDir>
#include <QTest>

class TestCommUpdate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void compareFeedWithRunningVersion_data();
    void compareFeedWithRunningVersion();

    void withoutFeedNothingIsShownSilently();
    void silentCheckShowsOnlyAnUpdate();
    void webFeedThroughTheHttpWrapper();

private:
    struct Presented
    {
        CommUpdateResult result;
        bool userAsked = false;
    };
    QList<Presented> presented;
};

void TestCommUpdate::init()
{
    presented.clear();
    CommUpdate::setFeedUrl({});
    CommUpdate::setPresenter([this](const CommUpdateResult &result, bool userAsked) {
        presented.append({result, userAsked});
    });
}

void TestCommUpdate::cleanup()
{
    CommUpdate::setPresenter({});
}

void TestCommUpdate::compareFeedWithRunningVersion_data()
{
    QTest::addColumn<QByteArray>("feed");
    QTest::addColumn<QString>("running");
    QTest::addColumn<int>("state");

    const int upToDate = int(CommUpdateResult::State::UpToDate);
    const int available = int(CommUpdateResult::State::UpdateAvailable);
    const int failed = int(CommUpdateResult::State::Failed);
    QTest::newRow("newer") << QByteArray(R"({"version":"1.2.1"})") << "1.2.0" << available;
    QTest::newRow("same") << QByteArray(R"({"version":"1.2.0"})") << "1.2.0" << upToDate;
    QTest::newRow("older") << QByteArray(R"({"version":"1.1.9"})") << "1.2.0" << upToDate;
    QTest::newRow("numeric, not textual: 1.10 > 1.9")
        << QByteArray(R"({"version":"1.10.0"})") << "1.9.0" << available;
    QTest::newRow("build suffix of the running version")
        << QByteArray(R"({"version":"1.2.0"})") << "1.2.0(Build 21/05/2021)" << upToDate;
    QTest::newRow("not JSON") << QByteArray("<html>") << "1.2.0" << failed;
    QTest::newRow("version as a number") << QByteArray(R"({"version":2})") << "1.2.0" << failed;
}

void TestCommUpdate::compareFeedWithRunningVersion()
{
    QFETCH(QByteArray, feed);
    QFETCH(QString, running);
    QFETCH(int, state);
    QCOMPARE(int(CommUpdate::evaluateFeed(feed, running).state), state);
}

void TestCommUpdate::withoutFeedNothingIsShownSilently()
{
    CommUpdate::checkSilent();
    CommUpdate::check();
    QTRY_COMPARE(presented.size(), 1);
    QVERIFY(presented.at(0).userAsked);
    // Nothing was checked: that is no "latest version".
    QCOMPARE(presented.at(0).result.state, CommUpdateResult::State::Failed);
}

void TestCommUpdate::silentCheckShowsOnlyAnUpdate()
{
    QTemporaryDir dir;
    const QString feedPath = dir.filePath(QStringLiteral("feed.json"));
    const auto writeFeed = [&](const QByteArray &version) {
        QFile file(feedPath);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(R"({"version":")" + version + R"(","url":"https://example.org/get"})");
    };
    CommUpdate::setFeedUrl(QUrl::fromLocalFile(feedPath));

    writeFeed(CUTORA_VERSION_STRING);
    CommUpdate::checkSilent();
    QVERIFY(waitUntilQuiet());
    QVERIFY(presented.isEmpty());
    CommUpdate::check();
    QTRY_COMPARE(presented.size(), 1);
    QVERIFY(presented.at(0).userAsked);
    QCOMPARE(presented.at(0).result.state, CommUpdateResult::State::UpToDate);

    writeFeed("999.0.0");
    CommUpdate::checkSilent();
    QTRY_COMPARE(presented.size(), 2);
    QVERIFY(!presented.at(1).userAsked);
    QCOMPARE(presented.at(1).result.state, CommUpdateResult::State::UpdateAvailable);
    QCOMPARE(presented.at(1).result.downloadUrl, QUrl(QStringLiteral("https://example.org/get")));
}

void TestCommUpdate::webFeedThroughTheHttpWrapper()
{
    ScriptedHttpServer server;
    QVERIFY(server.isListening());
    server.script("GET", QStringLiteral("/feed.json"),
                  {ScriptedReply::json(R"({"version":"999.1","url":"https://example.org/get"})")});
    server.script("GET", QStringLiteral("/missing.json"), {ScriptedReply::json("{}", 404)});

    CommUpdate::setFeedUrl(QUrl(server.baseUrl() + QStringLiteral("/feed.json")));
    CommUpdate::checkSilent();
    QTRY_COMPARE(presented.size(), 1);
    QCOMPARE(presented.at(0).result.state, CommUpdateResult::State::UpdateAvailable);
    QCOMPARE(presented.at(0).result.latestVersion, QStringLiteral("999.1"));

    // A feed that cannot be fetched is reported when asked, never silently.
    CommUpdate::setFeedUrl(QUrl(server.baseUrl() + QStringLiteral("/missing.json")));
    CommUpdate::checkSilent();
    CommUpdate::check();
    QTRY_COMPARE(presented.size(), 2);
    QVERIFY(presented.at(1).userAsked);
    QCOMPARE(presented.at(1).result.state, CommUpdateResult::State::Failed);

    // No network: nothing answers on port 1 of this machine.
    CommUpdate::setFeedUrl(QUrl(QStringLiteral("http://127.0.0.1:1/feed.json")));
    CommUpdate::check();
    QTRY_COMPARE(presented.size(), 3);
    QCOMPARE(presented.at(2).result.state, CommUpdateResult::State::Failed);
    QVERIFY(!presented.at(2).result.error.isEmpty());
}

QTEST_GUILESS_MAIN(TestCommUpdate)
#include "tst_commupdate.moc"
