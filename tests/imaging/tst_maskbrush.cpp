#include "KSBrushStamp.h"
#include "KSMaskBrush.h"
#include "KSMaskEditStore.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

namespace {

QImage filledMask(QSize size, int value)
{
    QImage mask(size, QImage::Format_Grayscale8);
    mask.fill(value);
    return mask;
}

QImage noise(QSize size, quint32 seed)
{
    QImage mask(size, QImage::Format_Grayscale8);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            mask.scanLine(y)[x] = uchar(random.bounded(256));
    return mask;
}

double centreDistance(int x, int y, QPointF centre)
{
    return std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y());
}

} // namespace

// The mask edits behind the brushes: which pixels a brush changes and by how
// much, and how an edit is kept as changed tiles and swapped back and forth.
class TestMaskBrush : public QObject
{
    Q_OBJECT

private slots:
    void coverageAcrossTheEdge_data();
    void coverageAcrossTheEdge();
    void dabChangesExactlyThePixelsUnderTheBrush_data();
    void dabChangesExactlyThePixelsUnderTheBrush();
    void strokeSweepsTheLineBetweenPoints();
    void goingOverTheSamePlaceDoesNotBuildUp();
    void softBrushMovesPartWayToItsTarget();
    void editKeepsOnlyChangedTiles_data();
    void editKeepsOnlyChangedTiles();
    void undoAndRedoRestoreByteForByte_data();
    void undoAndRedoRestoreByteForByte();
    void cancelledStrokeLeavesTheMaskAlone();
    void packedTilesAreSmallForMaskLikeContent();
};

void TestMaskBrush::coverageAcrossTheEdge_data()
{
    QTest::addColumn<double>("distance");
    QTest::addColumn<double>("radius");
    QTest::addColumn<double>("softness");
    QTest::addColumn<double>("expected");

    QTest::newRow("hard brush: full one pixel inside the edge") << 9.0 << 10.0 << 0.0 << 1.0;
    QTest::newRow("hard brush: half way across its one-pixel edge") << 9.5 << 10.0 << 0.0 << 0.5;
    QTest::newRow("nothing at the radius") << 10.0 << 10.0 << 0.0 << 0.0;
    QTest::newRow("nothing beyond the radius") << 12.0 << 10.0 << 1.0 << 0.0;
    QTest::newRow("soft brush: full only at the very centre") << 0.0 << 10.0 << 1.0 << 1.0;
    QTest::newRow("soft brush: half way out, half covered") << 5.0 << 10.0 << 1.0 << 0.5;
    QTest::newRow("half soft: full inside the soft band") << 4.0 << 10.0 << 0.5 << 1.0;
    QTest::newRow("no radius covers nothing") << 0.0 << 0.0 << 0.0 << 0.0;
}

void TestMaskBrush::coverageAcrossTheEdge()
{
    QFETCH(double, distance);
    QFETCH(double, radius);
    QFETCH(double, softness);
    QFETCH(double, expected);
    QVERIFY(std::abs(KSBrushStamp::coverage(distance, radius, softness) - expected) < 1e-9);
}

void TestMaskBrush::dabChangesExactlyThePixelsUnderTheBrush_data()
{
    QTest::addColumn<KSMaskBrush::Mode>("mode");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("target");
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<double>("radius");

    QTest::newRow("keep on a clear mask") << KSMaskBrush::Mode::keep << 0 << 255 << QPointF(100.3, 80.7) << 12.5;
    QTest::newRow("erase on an opaque mask") << KSMaskBrush::Mode::erase << 255 << 0 << QPointF(100, 80) << 30.0;
    // Tiles are 128 pixels: a dab across a corner writes into four of them.
    QTest::newRow("across four tiles") << KSMaskBrush::Mode::keep << 0 << 255 << QPointF(128, 128) << 20.0;
    QTest::newRow("clipped at the picture's corner") << KSMaskBrush::Mode::erase << 255 << 0 << QPointF(2, 1) << 9.0;
    QTest::newRow("a one-pixel brush") << KSMaskBrush::Mode::keep << 0 << 255 << QPointF(50.5, 50.5) << 0.6;
}

void TestMaskBrush::dabChangesExactlyThePixelsUnderTheBrush()
{
    QFETCH(KSMaskBrush::Mode, mode);
    QFETCH(int, before);
    QFETCH(int, target);
    QFETCH(QPointF, centre);
    QFETCH(double, radius);

    KSMaskEditStore store(filledMask(QSize(300, 200), before));
    KSMaskBrush brush(store, mode, radius, 0.0);
    brush.strokeTo(centre);
    const KSMaskEdit edit = brush.finish();
    QVERIFY(!edit.isEmpty());

    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300; ++x) {
            const double d = centreDistance(x, y, centre);
            const int value = store.mask().constScanLine(y)[x];
            if (d >= radius)
                QVERIFY2(value == before, qPrintable(QStringLiteral("outside at %1,%2").arg(x).arg(y)));
            else if (d <= radius - 1)
                QVERIFY2(value == target, qPrintable(QStringLiteral("inside at %1,%2").arg(x).arg(y)));
            else
                QVERIFY(value != before || d > radius - 0.05);
        }
    }
}

void TestMaskBrush::strokeSweepsTheLineBetweenPoints()
{
    KSMaskEditStore store(filledMask(QSize(400, 100), 255));
    KSMaskBrush brush(store, KSMaskBrush::Mode::erase, 5.0, 0.0);
    // Two pointer positions 300 pixels apart: no gaps between them.
    brush.strokeTo(QPointF(50, 50));
    brush.strokeTo(QPointF(350, 50));
    (void)brush.finish();
    for (int x = 46; x < 354; ++x)
        QCOMPARE(int(store.mask().constScanLine(50)[x]), 0);
    for (int x = 50; x < 350; ++x)
        QCOMPARE(int(store.mask().constScanLine(47)[x]), 0);
    QCOMPARE(int(store.mask().constScanLine(56)[200]), 255);
    QCOMPARE(int(store.mask().constScanLine(50)[356]), 255);
}

void TestMaskBrush::goingOverTheSamePlaceDoesNotBuildUp()
{
    KSMaskEditStore once(filledMask(QSize(64, 64), 0));
    KSMaskBrush single(once, KSMaskBrush::Mode::keep, 20, 1.0);
    single.strokeTo(QPointF(32, 32));
    single.strokeTo(QPointF(33, 32));
    (void)single.finish();

    KSMaskEditStore often(filledMask(QSize(64, 64), 0));
    KSMaskBrush repeated(often, KSMaskBrush::Mode::keep, 20, 1.0);
    for (int i = 0; i < 5; ++i) {
        repeated.strokeTo(QPointF(32, 32));
        repeated.strokeTo(QPointF(33, 32));
    }
    (void)repeated.finish();
    // Within the soft edge: the same as going over it once.
    QCOMPARE(int(often.mask().constScanLine(32)[46]), int(once.mask().constScanLine(32)[46]));
    QVERIFY(once.mask().constScanLine(32)[46] > 0 && once.mask().constScanLine(32)[46] < 255);
}

void TestMaskBrush::softBrushMovesPartWayToItsTarget()
{
    KSMaskEditStore store(filledMask(QSize(64, 64), 100));
    KSMaskBrush brush(store, KSMaskBrush::Mode::keep, 20, 1.0);
    brush.strokeTo(QPointF(32.5, 32.5));
    (void)brush.finish();
    // Half way out a fully soft brush covers half: half way from 100 to 255.
    const double cover = KSBrushStamp::coverage(10.0, 20.0, 1.0);
    const int expected = int(std::lround(100 + (255 - 100) * std::lround(255 * cover) / 255.0));
    QVERIFY(std::abs(int(store.mask().constScanLine(32)[42]) - expected) <= 1);
    QCOMPARE(int(store.mask().constScanLine(32)[32]), 255);
}

void TestMaskBrush::editKeepsOnlyChangedTiles_data()
{
    QTest::addColumn<QRect>("prepared");
    QTest::addColumn<QRect>("written");
    QTest::addColumn<int>("tiles");

    QTest::newRow("one tile written of four prepared") << QRect(100, 100, 60, 60) << QRect(10, 10, 5, 5) << 1;
    QTest::newRow("prepared but unchanged: nothing kept") << QRect(0, 0, 300, 200) << QRect() << 0;
    // 300 x 200 has a column of 44-pixel tiles and a row of 72-pixel ones.
    QTest::newRow("the short tile at the corner") << QRect(290, 190, 10, 10) << QRect(299, 199, 1, 1) << 1;
}

void TestMaskBrush::editKeepsOnlyChangedTiles()
{
    QFETCH(QRect, prepared);
    QFETCH(QRect, written);
    QFETCH(int, tiles);

    KSMaskEditStore store(filledMask(QSize(300, 200), 7));
    store.beginEdit();
    store.prepare(prepared);
    store.prepare(written);
    for (int y = written.top(); y <= written.bottom() && !written.isEmpty(); ++y)
        for (int x = written.left(); x <= written.right(); ++x)
            store.row(y)[x] = 200;
    const KSMaskEdit edit = store.commitEdit();
    QCOMPARE(edit.tiles.size(), tiles);
    if (tiles)
        QVERIFY(edit.bounds().contains(written));
}

void TestMaskBrush::undoAndRedoRestoreByteForByte_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QSize>("size");

    QTest::newRow("noise that packs badly") << 1u << QSize(300, 200);
    QTest::newRow("a mask smaller than a tile") << 2u << QSize(50, 30);
}

void TestMaskBrush::undoAndRedoRestoreByteForByte()
{
    QFETCH(quint32, seed);
    QFETCH(QSize, size);

    KSMaskEditStore store(noise(size, seed));
    const QImage before = store.mask().copy();
    KSMaskBrush brush(store, KSMaskBrush::Mode::keep, 15, 0.5);
    brush.strokeTo(QPointF(10, 10));
    brush.strokeTo(QPointF(size.width() - 5, size.height() - 5));
    KSMaskEdit edit = brush.finish();
    const QImage after = store.mask().copy();
    QVERIFY(after != before);

    QVERIFY(!store.apply(edit).isEmpty());
    QCOMPARE(store.mask(), before);
    store.apply(edit);
    QCOMPARE(store.mask(), after);
    store.apply(edit);
    QCOMPARE(store.mask(), before);
}

void TestMaskBrush::cancelledStrokeLeavesTheMaskAlone()
{
    KSMaskEditStore store(noise(QSize(200, 200), 3));
    const QImage before = store.mask().copy();
    KSMaskBrush brush(store, KSMaskBrush::Mode::erase, 40, 0.0);
    brush.strokeTo(QPointF(100, 100));
    brush.cancel();
    QCOMPARE(store.mask(), before);
    QVERIFY(!store.isEditing());
}

void TestMaskBrush::packedTilesAreSmallForMaskLikeContent()
{
    // A cut-out's mask: clear, opaque, and a soft edge between.
    QImage mask(QSize(1024, 1024), QImage::Format_Grayscale8);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            mask.scanLine(y)[x] = uchar(std::clamp((x - 500) * 32, 0, 255));
    KSMaskEditStore store(mask);
    KSMaskBrush brush(store, KSMaskBrush::Mode::erase, 60, 0.3);
    brush.strokeTo(QPointF(100, 500));
    brush.strokeTo(QPointF(900, 500));
    const KSMaskEdit edit = brush.finish();
    const qsizetype raw = qsizetype(edit.tiles.size()) * KSMaskEditStore::kTileSide * KSMaskEditStore::kTileSide;
    QVERIFY(edit.tiles.size() >= 7);
    QVERIFY2(edit.byteSize() * 10 < raw, qPrintable(QStringLiteral("%1 of %2").arg(edit.byteSize()).arg(raw)));
}

QTEST_GUILESS_MAIN(TestMaskBrush)
#include "tst_maskbrush.moc"
