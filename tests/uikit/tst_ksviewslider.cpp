#include "KSViewSlider.h"

#include <QTest>
#include <limits>

class TestKSViewSlider : public QObject
{
    Q_OBJECT

private slots:
    void progressIsClamped_data();
    void progressIsClamped();
    void failureReportDrawsAnEmptyBar();
};

void TestKSViewSlider::progressIsClamped_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("shown");
    QTest::newRow("a job's progress") << 0.375 << 0.375;
    QTest::newRow("start") << 0.0 << 0.0;
    QTest::newRow("done") << 1.0 << 1.0;
    QTest::newRow("failure report -1.0") << -1.0 << 0.0;
    QTest::newRow("rounding above one") << 1.0000001 << 1.0;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0.0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 1.0;
}

void TestKSViewSlider::progressIsClamped()
{
    QFETCH(double, value);
    QFETCH(double, shown);
    KSViewSlider slider;
    slider.setProgress(0.5);
    slider.setProgress(value);
    QCOMPARE(slider.progress(), shown);
}

void TestKSViewSlider::failureReportDrawsAnEmptyBar()
{
    const QColor accent = QColor::fromRgb(0x00CC8Fu);
    KSViewSlider slider;
    slider.resize(200, 20);
    slider.setBackgroundColor(Qt::white);
    slider.setProgressColor(accent);
    slider.setRound(true);
    slider.setLineWith(10);

    slider.setProgress(0.5);
    QImage half = slider.grab().toImage();
    QCOMPARE(half.pixelColor(40, 10), accent);
    QCOMPARE(half.pixelColor(160, 10), QColor(Qt::white));

    slider.setProgress(-1.0);
    QImage failed = slider.grab().toImage();
    QCOMPARE(failed.pixelColor(40, 10), QColor(Qt::white));
}

QTEST_MAIN(TestKSViewSlider)
#include "tst_ksviewslider.moc"
