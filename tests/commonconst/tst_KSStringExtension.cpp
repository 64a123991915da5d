#include "KSStringExtension.h"

#include <QTest>

class tst_KSStringExtension : public QObject
{
    Q_OBJECT

private slots:
    void jsonObjectsOnly_data();
    void jsonObjectsOnly();
    void jsonKeepsTypes();
    void emailWholeStringMatch_data();
    void emailWholeStringMatch();
};

void tst_KSStringExtension::jsonObjectsOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("members"); // -1: none
    QTest::newRow("one member") << R"({"status":"200"})" << 1;
    QTest::newRow("empty object") << "{}" << 0;
    QTest::newRow("array") << "[1,2]" << -1;
    QTest::newRow("scalar") << "\"text\"" << -1;
    QTest::newRow("not json") << "status=200" << -1;
    QTest::newRow("truncated") << R"({"a":)" << -1;
    QTest::newRow("empty") << "" << -1;
}

void tst_KSStringExtension::jsonObjectsOnly()
{
    QFETCH(QString, text);
    QFETCH(int, members);
    const std::optional<QVariantMap> map = dictionaryWithJsonString(text);
    QCOMPARE(map.has_value(), members >= 0);
    if (map)
        QCOMPARE(map->size(), members);
}

void tst_KSStringExtension::jsonKeepsTypes()
{
    // Callers tell a status sent as text from one sent as a number.
    const auto map = dictionaryWithJsonString(
        QStringLiteral(R"({"text":"200","number":200,"real":0.5,"nested":{"k":"中文"}})"));
    QVERIFY(map);
    QCOMPARE(map->value(QStringLiteral("text")).typeId(), QMetaType::QString);
    QVERIFY(map->value(QStringLiteral("number")).typeId() != QMetaType::QString);
    QCOMPARE(map->value(QStringLiteral("number")).toInt(), 200);
    QCOMPARE(map->value(QStringLiteral("real")).toDouble(), 0.5);
    QCOMPARE(map->value(QStringLiteral("nested")).toMap().value(QStringLiteral("k")).toString(),
             QStringLiteral("中文"));
}

void tst_KSStringExtension::emailWholeStringMatch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "ann.lee+tag@mail.example.com" << true;
    QTest::newRow("four letter suffix") << "a@b.info" << true;
    QTest::newRow("no dot in domain") << "a@localhost" << false;
    QTest::newRow("one letter suffix") << "a@b.c" << false;
    QTest::newRow("five letter suffix") << "a@b.abcde" << false;
    QTest::newRow("no local part") << "@b.com" << false;
    QTest::newRow("text around") << "mail me: a@b.com" << false;
    QTest::newRow("trailing newline") << "a@b.com\n" << false;
}

void tst_KSStringExtension::emailWholeStringMatch()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(isValidateEmail(text), valid);
}

QTEST_GUILESS_MAIN(tst_KSStringExtension)
#include "tst_KSStringExtension.moc"
