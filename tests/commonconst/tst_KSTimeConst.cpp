#include "KSTimeConst.h"

#include <QTest>
#include <QTimeZone>

class tst_KSTimeConst : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stampUsesWeekBasedYear_data();
    void stampUsesWeekBasedYear();
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
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("expected");
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime newYearsEve(QDate(2024, 12, 31), QTime(13, 5, 9), berlin);
    const QDateTime june(QDate(2024, 6, 15), QTime(8, 0, 0), berlin);
    // 31 Dec 2024, a Tuesday, lies in week 1 of 2025 where weeks start on
    // Sunday (en_US) and under the ISO rules of Monday locales alike.
    QTest::newRow("sunday weeks, year end") << "en_US" << newYearsEve << "2025-12-31_13:05:09";
    QTest::newRow("monday weeks, year end") << "de_DE" << newYearsEve << "2025-12-31_13:05:09";
    QTest::newRow("mid year") << "en_US" << june << "2024-06-15_08:00:00";
    QTest::newRow("24-hour clock") << "en_US" << june.addSecs(15 * 3600) << "2024-06-15_23:00:00";
    // Other calendars and digit systems would leak into file names.
    QTest::newRow("buddhist calendar locale") << "th_TH" << june << "2024-06-15_08:00:00";
    QTest::newRow("arabic digits locale") << "ar_EG" << june << "2024-06-15_08:00:00";
}

void tst_KSTimeConst::stampUsesWeekBasedYear()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, moment);
    QFETCH(QString, expected);
    QCOMPARE(KSDateToString(moment, QStringLiteral("YYYY-MM-dd_HH:mm:ss"), locale,
                            QString::fromLatin1(moment.timeZone().id())),
             expected);
}

void tst_KSTimeConst::timeStampUsesCalendarYear()
{
    // 2024-12-30 12:00:00 UTC in the system zone: "yyyy" is the calendar year.
    QCOMPARE(timeStampToString(1735560000.0), QStringLiteral("2024-12-30"));
    QCOMPARE(timeStampToString(1735560000.0, QStringLiteral("YYYY")), QStringLiteral("2025"));
}

QTEST_GUILESS_MAIN(tst_KSTimeConst)
#include "tst_KSTimeConst.moc"
