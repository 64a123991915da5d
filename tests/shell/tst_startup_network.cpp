#include "CommUpdate.h"
#include "KSAppSetting.h"
#include "KSMainWindow.h"
#include "KSUserDefaultKit.h"

#include <QTest>
#include <QUrl>

// The window's start contacts no one unless the user allowed an update
// check at start: every feed the update check would fetch is counted here.
class TestStartupNetwork : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fetched.clear();
        CommUpdate::setFeedFetcher([this](const QUrl &feed, const CommUpdate::FeedReply &reply) {
            m_fetched << feed;
            reply({}, QStringLiteral("not fetched in tests"));
        });
    }

    void cleanup()
    {
        CommUpdate::setFeedFetcher({});
        KSUserDefaultKit::removeObjectForKey(KSAppSetting::kCheckUpdatesAtStart);
    }

    void startChecksForUpdatesOnlyWhenAllowed_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<int>("fetches");
        QTest::newRow("never set: nothing goes out") << QVariant() << 0;
        QTest::newRow("turned off") << QVariant(false) << 0;
        QTest::newRow("turned on by the user") << QVariant(true) << 1;
    }

    void startChecksForUpdatesOnlyWhenAllowed()
    {
        QFETCH(QVariant, setting);
        QFETCH(int, fetches);
        if (setting.isValid())
            KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kCheckUpdatesAtStart, setting.toBool());
        KSMainWindow window;
        window.awakeFromNib();
        QTest::qWait(50); // a check at start is sent from the start itself, not later
        QCOMPARE(m_fetched.size(), fetches);
    }

private:
    QList<QUrl> m_fetched;
};

QTEST_MAIN(TestStartupNetwork)
#include "tst_startup_network.moc"
