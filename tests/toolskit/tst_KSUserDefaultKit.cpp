#include "KSUserDefaultKit.h"

#include <QFile>
#include <QTest>

class tst_KSUserDefaultKit : public QObject
{
    Q_OBJECT

private slots:
    void init() { KSUserDefaultKit::openStore()->clear(); }
    void readsUseTextForm_data();
    void readsUseTextForm();
    void absentKeyGivesDefault();
    void pathKeysAreFlat();
};

void tst_KSUserDefaultKit::readsUseTextForm_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("integer");
    QTest::addColumn<bool>("boolean");
    QTest::addColumn<double>("real");
    // After a restart every scalar comes back from the file as text, so the
    // text rows are what a second run sees.
    QTest::newRow("number 0") << QVariant(0) << 0 << false << 0.0;
    QTest::newRow("text 1") << QVariant(QStringLiteral("1")) << 1 << true << 1.0;
    QTest::newRow("bool true") << QVariant(true) << 1 << true << 1.0;
    QTest::newRow("bool false from file") << QVariant(QStringLiteral("false")) << 0 << false << 0.0;
    QTest::newRow("bool true from file") << QVariant(QStringLiteral("true")) << 1 << true << 1.0;
    QTest::newRow("leading number") << QVariant(QStringLiteral(" 2.5kg")) << 2 << true << 2.5;
    QTest::newRow("yes word") << QVariant(QStringLiteral("YES")) << 0 << true << 0.0;
    QTest::newRow("zeros then digit") << QVariant(QStringLiteral("-007")) << -7 << true << -7.0;
    QTest::newRow("no number") << QVariant(QStringLiteral("jpg")) << 0 << false << 0.0;
    QTest::newRow("too large saturates") << QVariant(QStringLiteral("99999999999")) << 2147483647 << true
                                         << 99999999999.0;
}

void tst_KSUserDefaultKit::readsUseTextForm()
{
    QFETCH(QVariant, stored);
    QFETCH(int, integer);
    QFETCH(bool, boolean);
    QFETCH(double, real);
    const QString key = QStringLiteral("value");
    KSUserDefaultKit::saveToUserDefaultsForKey(key, stored);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(key, -1), integer);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key, !boolean), boolean);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Double(key, -1.0), real);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(key), integer);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key), boolean);
}

void tst_KSUserDefaultKit::absentKeyGivesDefault()
{
    const QString key = QStringLiteral("kOutputFormat");
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key, true), true);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(key, QStringLiteral("jpg")), QStringLiteral("jpg"));
    QVERIFY(KSUserDefaultKit::getFromUserDefaults_NSString(key).isNull());

    KSUserDefaultKit::saveToUserDefaultsForKey(key, false);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key, true), false);
    // A literal is text, not the truth value its pointer would convert to.
    KSUserDefaultKit::saveToUserDefaultsForKey(key, "png");
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(key, QStringLiteral("jpg")), QStringLiteral("png"));
    // Flushed at once.
    QFile file(KSUserDefaultKit::openStore()->fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("kOutputFormat=png"));
}

void tst_KSUserDefaultKit::pathKeysAreFlat()
{
    const QString folder = QStringLiteral("/data/out");
    const QString file = QStringLiteral("/data/out/a.png");
    KSUserDefaultKit::saveToUserDefaultsForKey(folder, QStringLiteral("folder"));
    KSUserDefaultKit::saveToUserDefaultsForKey(file, QStringLiteral("file"));
    // A root-level path must not land on a plain key of the same name.
    KSUserDefaultKit::saveToUserDefaultsForKey(QStringLiteral("/kOutputDir"), QStringLiteral("path"));
    KSUserDefaultKit::saveToUserDefaultsForKey(QStringLiteral("kOutputDir"), QStringLiteral("plain"));

    QVERIFY(KSUserDefaultKit::removeObjectForKey(folder));
    QVERIFY(!KSUserDefaultKit::removeObjectForKey(folder));
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(file), QStringLiteral("file"));
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(QStringLiteral("/kOutputDir")), QStringLiteral("path"));
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(QStringLiteral("kOutputDir")), QStringLiteral("plain"));
}

QTEST_GUILESS_MAIN(tst_KSUserDefaultKit)
#include "tst_KSUserDefaultKit.moc"
