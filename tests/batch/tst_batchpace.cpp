#include "KSBatchPace.h"

#include <QTest>

// The batch's time left, from how its recent jobs ended.
class TestBatchPace : public QObject
{
    Q_OBJECT

private slots:
    void timeLeft_data()
    {
        QTest::addColumn<QList<qint64>>("ends");
        QTest::addColumn<QList<qint64>>("durations");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("concurrent");
        QTest::addColumn<qint64>("expected"); // -1: not known

        QTest::newRow("nothing ended yet: not known") << QList<qint64>{} << QList<qint64>{} << 5 << 1 << qint64(-1);
        QTest::newRow("nothing left: none, even before any ending") << QList<qint64>{} << QList<qint64>{} << 0 << 1 << qint64(0);
        QTest::newRow("one ended: its length, shared by the jobs at once")
            << QList<qint64>{4000} << QList<qint64>{4000} << 6 << 2 << qint64(12000);
        // Two at once end 2 s apart though each lasts 4 s: the spacing counts.
        QTest::newRow("several ended: how far apart they ended")
            << QList<qint64>{4000, 6000, 8000, 10000} << QList<qint64>{4000, 4000, 4000, 4000} << 3 << 2 << qint64(6000);
        QTest::newRow("two ended together: their lengths")
            << QList<qint64>{5000, 5000} << QList<qint64>{3000, 5000} << 4 << 2 << qint64(8000);
        // Only the last kRecent endings count: a slow start is forgotten.
        QList<qint64> ends{0};
        QList<qint64> durations{60000};
        for (int i = 1; i <= KSBatchPace::kRecent; ++i) {
            ends.append(60000 + i * 1000);
            durations.append(1000);
        }
        QTest::newRow("an old slow job is forgotten") << ends << durations << 10 << 1 << qint64(10000);
    }

    void timeLeft()
    {
        QFETCH(QList<qint64>, ends);
        QFETCH(QList<qint64>, durations);
        QFETCH(int, remaining);
        QFETCH(int, concurrent);
        QFETCH(qint64, expected);
        KSBatchPace pace;
        for (qsizetype i = 0; i < ends.size(); ++i)
            pace.jobEnded(ends[i], durations[i]);
        QCOMPARE(pace.msLeft(remaining, concurrent).value_or(-1), expected);
    }
};

QTEST_GUILESS_MAIN(TestBatchPace)
#include "tst_batchpace.moc"
