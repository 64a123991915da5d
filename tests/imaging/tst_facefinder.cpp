#include "FaceFixtures.h"
#include "KSFaceFinder.h"

#include <QPainter>
#include <QTest>

using FaceFixtures::Head;

// The face finder on drawn heads of known size and place, in cut-outs of
// photo sizes (reduced before the search) and small ones.
class TestFaceFinder : public QObject
{
    Q_OBJECT

private slots:
    void measuresOneHead_data();
    void measuresOneHead();
    void countsTheFaces_data();
    void countsTheFaces();
    void opaquePictureEstimatesTheCrown();
    void nullPictureIsAnError();
};

void TestFaceFinder::measuresOneHead_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Head>("head");
    QTest::newRow("ID-photo framing") << QSize(900, 1200) << Head{{450, 520}, 180};
    QTest::newRow("head off centre, landscape") << QSize(1600, 1000) << Head{{500, 420}, 160};
    // Reduced to 960 px for the search, measured back in full pixels.
    QTest::newRow("24-megapixel-like, reduced for the search") << QSize(4000, 6000) << Head{{2100, 2300}, 900};
}

void TestFaceFinder::measuresOneHead()
{
    QFETCH(QSize, size);
    QFETCH(Head, head);
    const KSFaceFinder::Result result = KSFaceFinder::find(FaceFixtures::cutoutWithHeads(size, {head}));
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.heads.size(), 1);
    const KSHeadMeasures &found = result.heads.first();
    const double h = 2 * head.halfHeight;
    // The crown comes from the alpha; eyes and chin from the face box.
    QVERIFY2(qAbs(found.crownY - head.crownY()) < 0.03 * h, qPrintable(QString::number(found.crownY)));
    QVERIFY2(qAbs(found.eyeLineY - head.eyeLineY()) < 0.06 * h, qPrintable(QString::number(found.eyeLineY)));
    QVERIFY2(qAbs(found.chinY - head.chinY()) < 0.06 * h, qPrintable(QString::number(found.chinY)));
    QVERIFY2(qAbs(found.centreX - head.centre.x()) < 0.05 * h, qPrintable(QString::number(found.centreX)));
}

void TestFaceFinder::countsTheFaces_data()
{
    QTest::addColumn<QList<Head>>("heads");
    QTest::addColumn<int>("count");
    QTest::newRow("no face: a product") << QList<Head>{} << 0;
    QTest::newRow("two people side by side") << QList<Head>{{{330, 520}, 170}, {{870, 540}, 165}} << 2;
}

void TestFaceFinder::countsTheFaces()
{
    QFETCH(QList<Head>, heads);
    QFETCH(int, count);
    QImage cutout = FaceFixtures::cutoutWithHeads(QSize(1200, 1000), heads);
    if (heads.isEmpty()) {
        QPainter painter(&cutout);
        painter.fillRect(QRect(400, 300, 400, 500), QColor(200, 120, 40));
    }
    const KSFaceFinder::Result result = KSFaceFinder::find(cutout);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.heads.size(), count);
}

void TestFaceFinder::opaquePictureEstimatesTheCrown()
{
    // The same head on an opaque white photo: no alpha shows the hair's top.
    const Head head{{450, 520}, 180};
    QImage photo(900, 1200, QImage::Format_RGB32);
    photo.fill(Qt::white);
    QPainter(&photo).drawImage(0, 0, FaceFixtures::cutoutWithHeads(photo.size(), {head}));
    const KSFaceFinder::Result result = KSFaceFinder::find(photo);
    QCOMPARE(result.heads.size(), 1);
    QVERIFY2(qAbs(result.heads.first().crownY - head.crownY()) < 0.1 * 2 * head.halfHeight,
             qPrintable(QString::number(result.heads.first().crownY)));
}

void TestFaceFinder::nullPictureIsAnError()
{
    const KSFaceFinder::Result result = KSFaceFinder::find(QImage());
    QVERIFY(!result.ok());
    QVERIFY(result.heads.isEmpty());
}

QTEST_GUILESS_MAIN(TestFaceFinder)
#include "tst_facefinder.moc"
