#include "KSTimeConst.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

class tst_KSTimeConst : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stampUsesWeekBasedYear_data();
    void stampUsesWeekBasedYear();
    void zoneDecidesTheLocalTime();
    void currentTimeHasTheStampShape();
    void timeStampUsesCalendarYear();
};

void tst_KSTimeConst::initTestCase()
{
    // The system zone is read once, on first use: fix it before that.
    qputenv("TZ", "UTC");
}

void tst_KSTimeConst::stampUsesWeekBasedYear_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");
    const QDate newYearsEve(2024, 12, 31);
    // 31 Dec 2024 is a Tuesday: its week belongs to 2025 both where weeks
    // start on Sunday (en_US) and in the ISO rules of Monday locales.
    QTest::newRow("sunday week, year end") << "en_US" << newYearsEve << QTime(13, 5, 9)
                                           << "2025-12-31_13:05:09";
    QTest::newRow("monday week, year end") << "de_DE" << newYearsEve << QTime(13, 5, 9)
                                           << "2025-12-31_13:05:09";
    QTest::newRow("mid year, 24-hour clock") << "en_US" << QDate(2024, 6, 15) << QTime(8, 0, 0)
                                             << "2024-06-15_08:00:00";
    QTest::newRow("afternoon not 12-hour") << "en_US" << QDate(2024, 6, 15) << QTime(23, 59, 59)
                                           << "2024-06-15_23:59:59";
    // Other calendars and digits would leak into file names.
    QTest::newRow("buddhist calendar locale") << "th_TH" << QDate(2024, 6, 15) << QTime(8, 0, 0)
                                              << "2024-06-15_08:00:00";
    QTest::newRow("arabic digits locale") << "ar_EG" << QDate(2024, 6, 15) << QTime(8, 0, 0)
                                          << "2024-06-15_08:00:00";
}

void tst_KSTimeConst::stampUsesWeekBasedYear()
{
    QFETCH(QString, locale);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(QString, expected);
    const QTimeZone zone("Europe/Berlin");
    QCOMPARE(KSDateToString(QDateTime(date, time, zone), QStringLiteral("YYYY-MM-dd_HH:mm:ss"),
                            locale, QString::fromLatin1(zone.id())),
             expected);
}

void tst_KSTimeConst::zoneDecidesTheLocalTime()
{
    const QDateTime moment(QDate(2024, 6, 15), QTime(0, 30), QTimeZone::utc());
    const QString pattern = QStringLiteral("yyyy-MM-dd_HH:mm");
    QCOMPARE(KSDateToString(moment, pattern, QStringLiteral("en_US"), QStringLiteral("Asia/Shanghai")),
             QStringLiteral("2024-06-15_08:30"));
    QCOMPARE(KSDateToString(moment, pattern, QStringLiteral("en_US"), QStringLiteral("America/New_York")),
             QStringLiteral("2024-06-14_20:30"));
}

void tst_KSTimeConst::currentTimeHasTheStampShape()
{
    static const QRegularExpression shape(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d{4}-\\d\\d-\\d\\d_\\d\\d:\\d\\d:\\d\\d")));
    QVERIFY2(shape.match(KSCurrentTimeToString()).hasMatch(), qPrintable(KSCurrentTimeToString()));
}

void tst_KSTimeConst::timeStampUsesCalendarYear()
{
    // 2024-12-30 12:00:00 UTC: "yyyy" is the calendar year, unlike the stamp.
    QCOMPARE(timeStampToString(1735560000.0), QStringLiteral("2024-12-30"));
    QCOMPARE(timeStampToString(1735560000.0, QStringLiteral("YYYY")), QStringLiteral("2025"));
}

QTEST_GUILESS_MAIN(tst_KSTimeConst)
#include "tst_KSTimeConst.moc"
