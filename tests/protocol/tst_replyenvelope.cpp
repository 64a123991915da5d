#include "KSReplyEnvelope.h"

#include <QJsonDocument>
#include <QTest>

// The reply envelope as the client reads it: only the exact shapes count.
class TestReplyEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void successStatus_data()
    {
        QTest::addColumn<QVariant>("status");
        QTest::addColumn<bool>("success");

        QTest::newRow("\"1\"") << QVariant(QStringLiteral("1")) << true;
        QTest::newRow("leading zeros") << QVariant(QStringLiteral("01")) << true;
        QTest::newRow("plus sign") << QVariant(QStringLiteral("+1")) << true;
        QTest::newRow("\"0\"") << QVariant(QStringLiteral("0")) << false;
        QTest::newRow("\"-1\"") << QVariant(QStringLiteral("-1")) << false;
        QTest::newRow("trailing letter") << QVariant(QStringLiteral("01x")) << false;
        QTest::newRow("trailing blank") << QVariant(QStringLiteral("1 ")) << false;
        QTest::newRow("leading blank") << QVariant(QStringLiteral(" 1")) << false;
        QTest::newRow("empty") << QVariant(QString()) << false;
        QTest::newRow("sign only") << QVariant(QStringLiteral("+")) << false;
        QTest::newRow("11") << QVariant(QStringLiteral("11")) << false;
        QTest::newRow("number 1 is not text") << QVariant(1) << false;
        QTest::newRow("true is not text") << QVariant(true) << false;
        QTest::newRow("missing") << QVariant() << false;
    }

    void successStatus()
    {
        QFETCH(QVariant, status);
        QFETCH(bool, success);
        QCOMPARE(KSReplyEnvelope::isSuccessStatus(status), success);
    }

    // data.status of a poll as JSON brings it: integers only.
    void integersFromJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("integer");
        QTest::addColumn<qint64>("value");
        QTest::newRow("two") << QByteArray(R"({"v":2})") << true << qint64(2);
        QTest::newRow("minus one") << QByteArray(R"({"v":-1})") << true << qint64(-1);
        QTest::newRow("written with a fraction of zero") << QByteArray(R"({"v":2.0})") << true << qint64(2);
        QTest::newRow("a fraction") << QByteArray(R"({"v":1.5})") << false << qint64(0);
        QTest::newRow("beyond any exact integer") << QByteArray(R"({"v":1e300})") << false << qint64(0);
        QTest::newRow("text") << QByteArray(R"({"v":"2"})") << false << qint64(0);
        QTest::newRow("boolean") << QByteArray(R"({"v":true})") << false << qint64(0);
        QTest::newRow("null") << QByteArray(R"({"v":null})") << false << qint64(0);
        QTest::newRow("missing") << QByteArray(R"({})") << false << qint64(0);
    }

    void integersFromJson()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, integer);
        QFETCH(qint64, value);
        const QVariantMap map = QJsonDocument::fromJson(json).toVariant().toMap();
        const std::optional<qint64> got = KSReplyEnvelope::integerAt(map, QStringLiteral("v"));
        QCOMPARE(got.has_value(), integer);
        if (integer)
            QCOMPARE(*got, value);
    }

    void fieldsOfTheWrongTypeAreAbsent()
    {
        const QVariantMap map = QJsonDocument::fromJson(R"({"o":{"a":1},"t":"x","n":3})").toVariant().toMap();
        QVERIFY(KSReplyEnvelope::objectAt(map, QStringLiteral("o")));
        QVERIFY(!KSReplyEnvelope::objectAt(map, QStringLiteral("t")));
        QCOMPARE(KSReplyEnvelope::textAt(map, QStringLiteral("t")), std::optional<QString>(QStringLiteral("x")));
        QVERIFY(!KSReplyEnvelope::textAt(map, QStringLiteral("n")));
    }
};

QTEST_GUILESS_MAIN(TestReplyEnvelope)
#include "tst_replyenvelope.moc"
