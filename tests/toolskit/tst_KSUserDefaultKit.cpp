#include "KSUserDefaultKit.h"

#include <QFile>
#include <QTest>

class tst_KSUserDefaultKit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readsWithDefaultUseTextForm_data();
    void readsWithDefaultUseTextForm();
    void absentKeyGivesDefault();
    void writesReachTheDisk();
    void pathKeysAreFlat();
    void archivedArrayOrDefault();
    void stringLiteralIsNotABool();
};

void tst_KSUserDefaultKit::init()
{
    KSUserDefaultKit::openStore()->clear();
}

void tst_KSUserDefaultKit::readsWithDefaultUseTextForm_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("integer");
    QTest::addColumn<bool>("boolean");
    QTest::addColumn<double>("real");
    QTest::addColumn<QString>("text");
    // After a restart every scalar comes back from the file as text, so the
    // text rows are what a second run sees.
    QTest::newRow("number 0") << QVariant(0) << 0 << false << 0.0 << "0";
    QTest::newRow("text 1") << QVariant(QStringLiteral("1")) << 1 << true << 1.0 << "1";
    QTest::newRow("bool true") << QVariant(true) << 1 << true << 1.0 << "true";
    QTest::newRow("bool false from file") << QVariant(QStringLiteral("false")) << 0 << false << 0.0 << "false";
    QTest::newRow("bool true from file") << QVariant(QStringLiteral("true")) << 1 << true << 1.0 << "true";
    QTest::newRow("size from file") << QVariant(QStringLiteral("4000")) << 4000 << true << 4000.0 << "4000";
    QTest::newRow("leading number") << QVariant(QStringLiteral(" 2.5kg")) << 2 << true << 2.5 << " 2.5kg";
    QTest::newRow("negative") << QVariant(QStringLiteral("-7")) << -7 << true << -7.0 << "-7";
    QTest::newRow("yes word") << QVariant(QStringLiteral("YES")) << 0 << true << 0.0 << "YES";
    QTest::newRow("zeros then digit") << QVariant(QStringLiteral("007")) << 7 << true << 7.0 << "007";
    QTest::newRow("no number") << QVariant(QStringLiteral("jpg")) << 0 << false << 0.0 << "jpg";
    QTest::newRow("too large saturates") << QVariant(QStringLiteral("99999999999")) << 2147483647 << true
                                         << 99999999999.0 << "99999999999";
    QTest::newRow("double") << QVariant(0.25) << 0 << true << 0.25 << "0.25";
}

void tst_KSUserDefaultKit::readsWithDefaultUseTextForm()
{
    QFETCH(QVariant, stored);
    QFETCH(int, integer);
    QFETCH(bool, boolean);
    QFETCH(double, real);
    QFETCH(QString, text);
    const QString key = QStringLiteral("value");
    KSUserDefaultKit::saveToUserDefaultsForKey(key, stored);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(key, -1), integer);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key, !boolean), boolean);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Double(key, -1.0), real);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(key), integer);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key), boolean);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(key, QStringLiteral("default")), text);
}

void tst_KSUserDefaultKit::absentKeyGivesDefault()
{
    const QString key = QStringLiteral("absent");
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key, true), true);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(key, 2000), 2000);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(key, QStringLiteral("jpg")), QStringLiteral("jpg"));
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Integer(key), 0);
    QVERIFY(KSUserDefaultKit::getFromUserDefaults_NSString(key).isNull());
    QVERIFY(!KSUserDefaultKit::getFromUserDefaults_Object(key).isValid());

    KSUserDefaultKit::saveToUserDefaultsForKey(key, false);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(key, true), false);
}

void tst_KSUserDefaultKit::writesReachTheDisk()
{
    KSUserDefaultKit::saveToUserDefaultsForKey(QStringLiteral("kOutputFormat"), QStringLiteral("png"));
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

void tst_KSUserDefaultKit::archivedArrayOrDefault()
{
    const QVariantList list{1, QStringLiteral("two"), 3.5};
    const QVariantList fallback{QStringLiteral("default")};
    QVERIFY(KSUserDefaultKit::saveToUserDefaultsForKey(QStringLiteral("list"), list));
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Array(QStringLiteral("list"), fallback), list);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Array(QStringLiteral("missing"), fallback), fallback);
    KSUserDefaultKit::saveToUserDefaultsForKey(QStringLiteral("garbage"), QVariant(QByteArray("\x01\x02")));
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_Array(QStringLiteral("garbage"), fallback), fallback);
}

void tst_KSUserDefaultKit::stringLiteralIsNotABool()
{
    KSUserDefaultKit::saveToUserDefaultsForKey(QStringLiteral("kOutputFormat"), "jpg");
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(QStringLiteral("kOutputFormat")), QStringLiteral("jpg"));
}

QTEST_GUILESS_MAIN(tst_KSUserDefaultKit)
#include "tst_KSUserDefaultKit.moc"
