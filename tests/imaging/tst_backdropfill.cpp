#include "KSBackdropFill.h"

#include <QPainter>
#include <QTest>

#include <cmath>

namespace {

// A green photo with a red disc, and the disc's mask with a soft edge.
struct Scene
{
    QImage colours;
    QImage mask;
};

Scene discOnGreen(const QSize &size, const QPointF &centre, double radius)
{
    Scene scene{QImage(size, QImage::Format_RGB32), QImage(size, QImage::Format_Grayscale8)};
    for (int y = 0; y < size.height(); ++y) {
        auto *colour = reinterpret_cast<QRgb *>(scene.colours.scanLine(y));
        uchar *mask = scene.mask.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            const double d = std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y());
            // The photo's red reaches a little beyond the mask's edge, as a
            // cut-out's edge does.
            colour[x] = d < radius + 2 ? qRgb(230, 20, 20) : qRgb(20, 160, 40);
            mask[x] = uchar(std::lround(std::clamp(radius - d + 0.5, 0.0, 1.0) * 255));
        }
    }
    return scene;
}

int reddestExcess(const QImage &image)
{
    int worst = -255;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            worst = std::max(worst, qRed(row[x]) - qGreen(row[x]));
    }
    return worst;
}

} // namespace

// The backdrop's pixel work: the subject's area filled from round it
// without a trace of the subject, the blur, and the warp that mirrors
// beyond the edges.
class TestBackdropFill : public QObject
{
    Q_OBJECT

private slots:
    void fillLeavesNoSubjectColour_data();
    void fillLeavesNoSubjectColour();
    void fillKeepsThePhotoOutsideTheSubject();
    void aMaskOverEverythingGivesTheMeanColour();
    void refusesWhatItCannotFill();
    void blurKeepsFlatPicturesFlat();
    void warpMirrorsBeyondTheEdges();
};

void TestBackdropFill::fillLeavesNoSubjectColour_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("reducedTo");
    QTest::newRow("full size") << QSize(200, 150) << QSize(200, 150);
    QTest::newRow("reduced by area") << QSize(400, 300) << QSize(97, 73);
    QTest::newRow("odd sizes") << QSize(301, 199) << QSize(151, 100);
}

void TestBackdropFill::fillLeavesNoSubjectColour()
{
    QFETCH(QSize, size);
    QFETCH(QSize, reducedTo);
    const Scene scene = discOnGreen(size, QPointF(size.width() * 0.4, size.height() * 0.5), size.height() * 0.3);
    const QImage filled = KSBackdropFill::filled(scene.colours, scene.mask, reducedTo);
    QCOMPARE(filled.size(), reducedTo);
    QCOMPARE(filled.format(), QImage::Format_RGB32);
    // The red that reached beyond the mask is under the widened hole too.
    QVERIFY2(reddestExcess(filled) < -100, qPrintable(QString::number(reddestExcess(filled))));
    // And a strong blur of it stays green.
    QVERIFY(reddestExcess(KSBackdropFill::blurred(filled, 12)) < -100);
}

void TestBackdropFill::fillKeepsThePhotoOutsideTheSubject()
{
    Scene scene = discOnGreen(QSize(120, 90), QPointF(60, 45), 15);
    // A patterned photo far from the subject stays pixel for pixel.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 120; ++x)
            scene.colours.setPixel(x, y, qRgb(x * 2, y * 20, 255 - x));
    const QImage filled = KSBackdropFill::filled(scene.colours, scene.mask, scene.colours.size());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 120; ++x)
            QCOMPARE(filled.pixel(x, y), scene.colours.pixel(x, y));
}

void TestBackdropFill::aMaskOverEverythingGivesTheMeanColour()
{
    QImage colours(20, 10, QImage::Format_RGB32);
    colours.fill(qRgb(100, 50, 200));
    QImage mask(20, 10, QImage::Format_Grayscale8);
    mask.fill(255);
    const QImage filled = KSBackdropFill::filled(colours, mask, QSize(20, 10));
    QCOMPARE(QColor(filled.pixel(10, 5)), QColor(100, 50, 200));
}

void TestBackdropFill::refusesWhatItCannotFill()
{
    QImage colours(20, 10, QImage::Format_RGB32);
    colours.fill(Qt::gray);
    QImage mask(20, 10, QImage::Format_Grayscale8);
    mask.fill(0);
    QVERIFY(KSBackdropFill::filled(QImage(), mask, QSize(10, 5)).isNull());
    QVERIFY(KSBackdropFill::filled(colours, mask.copy(0, 0, 10, 10), QSize(10, 5)).isNull());
    QVERIFY(KSBackdropFill::filled(colours, mask, QSize()).isNull());
    QVERIFY(KSBackdropFill::warped(colours, QTransform(0, 0, 0, 0, 0, 0), QSize(5, 5)).isNull());
    // 1 x 1 works.
    QCOMPARE(KSBackdropFill::filled(colours.copy(0, 0, 1, 1), mask.copy(0, 0, 1, 1), QSize(1, 1)).size(), QSize(1, 1));
}

void TestBackdropFill::blurKeepsFlatPicturesFlat()
{
    QImage flat(64, 48, QImage::Format_RGB32);
    flat.fill(qRgb(10, 120, 240));
    const QImage blurred = KSBackdropFill::blurred(flat, 9);
    for (const QPoint p : {QPoint(0, 0), QPoint(63, 47), QPoint(30, 20)})
        QCOMPARE(blurred.pixel(p), flat.pixel(p));
    // Below a third of a pixel nothing is done.
    QCOMPARE(KSBackdropFill::blurred(flat, 0.2).cacheKey(), flat.cacheKey());
}

void TestBackdropFill::warpMirrorsBeyondTheEdges()
{
    // Left half black, right half white.
    QImage source(40, 20, QImage::Format_RGB32);
    source.fill(Qt::black);
    QPainter(&source).fillRect(20, 0, 20, 20, Qt::white);
    // The identity is a copy.
    QCOMPARE(KSBackdropFill::warped(source, QTransform(), source.size()), source);
    // Moved 20 pixels right: the first 20 columns mirror the left edge
    // (black), the rest is the black half, the white half beyond the view.
    const QImage moved = KSBackdropFill::warped(source, QTransform::fromTranslate(20, 0), QSize(40, 20));
    QCOMPARE(QColor(moved.pixel(2, 10)), QColor(Qt::black));
    QCOMPARE(QColor(moved.pixel(37, 10)), QColor(Qt::black));
    // Mirrored left to right: white on the left.
    const QImage mirrored = KSBackdropFill::warped(source, QTransform(-1, 0, 0, 1, 40, 0), QSize(40, 20));
    QCOMPARE(QColor(mirrored.pixel(2, 10)), QColor(Qt::white));
    QCOMPARE(QColor(mirrored.pixel(37, 10)), QColor(Qt::black));
    // Shrunk to a tenth: averaged by area, so the middle is grey, not a
    // sampled black or white.
    QImage stripes(400, 20, QImage::Format_RGB32);
    for (int x = 0; x < 400; ++x)
        QPainter(&stripes).fillRect(x, 0, 1, 20, x % 2 ? Qt::white : Qt::black);
    const QImage shrunk = KSBackdropFill::warped(stripes, QTransform::fromScale(0.1, 1), QSize(40, 20));
    QVERIFY(std::abs(qGray(shrunk.pixel(20, 10)) - 128) < 20);
}

QTEST_GUILESS_MAIN(TestBackdropFill)
#include "tst_backdropfill.moc"
