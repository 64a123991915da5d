#include "KSColorConst.h"
#include "KSOutputRender.h"

#include <QPainter>
#include <QTest>

namespace {

// Pixels compared as straight colour and alpha, with a tolerance for the
// rounding of premultiplication and of the colour's float components.
bool near(QRgb seen, QRgb expected, int tolerance = 1)
{
    const QColor a = QColor::fromRgba(qUnpremultiply(seen));
    const QColor b = QColor::fromRgba(expected);
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

QString describe(QRgb premultiplied)
{
    const QRgb c = qUnpremultiply(premultiplied);
    return QStringLiteral("(%1, %2, %3, %4)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)).arg(qAlpha(c));
}

// A subject of side-by-side vertical bands of the given colours.
QImage bands(const QSize &size, const QList<QPair<int, QColor>> &bandsFromX)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    for (qsizetype i = 0; i < bandsFromX.size(); ++i) {
        const int right = i + 1 < bandsFromX.size() ? bandsFromX.at(i + 1).first : size.width();
        painter.fillRect(QRect(bandsFromX.at(i).first, 0, right - bandsFromX.at(i).first, size.height()),
                         bandsFromX.at(i).second);
    }
    return image;
}

QImage filled(const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

KSOutputRender::Request request(const QImage &subject, const QSizeF &canvas, const QRectF &subjectRect)
{
    KSOutputRender::Request r;
    r.subject = subject;
    r.imageSize = canvas;
    r.subjectRect = subjectRect;
    return r;
}

} // namespace

// The picture a save makes from a canvas: its size, the region it shows,
// where the subject lands, the mirror, and what happens to transparency.
class TestOutputRender : public QObject
{
    Q_OBJECT

private slots:
    void outputSizeAndRegion_data();
    void outputSizeAndRegion();
    void presetShowsOnlyItsCentredRectangle();
    void subjectKeepsItsPlaceWhenScaled();
    void mirrorIsSaved_data();
    void mirrorIsSaved();
    void transparencyFollowsTheFormat_data();
    void transparencyFollowsTheFormat();
    void subjectOutsideTheCanvasIsClipped_data();
    void subjectOutsideTheCanvasIsClipped();
    void nothingToRender_data();
    void nothingToRender();
};

void TestOutputRender::outputSizeAndRegion_data()
{
    QTest::addColumn<QSizeF>("canvas");
    QTest::addColumn<QSizeF>("preset");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRectF>("region");

    QTest::newRow("no preset: fitted into the output size")
        << QSizeF(3000, 2000) << QSizeF() << 2000 << QSize(2000, 1333) << QRectF(0, 0, 3000, 2000);
    QTest::newRow("no preset: a smaller canvas is never enlarged")
        << QSizeF(1500, 1000) << QSizeF() << 2000 << QSize(1500, 1000) << QRectF(0, 0, 1500, 1000);
    QTest::newRow("no preset and no limit: the canvas itself")
        << QSizeF(6000, 4000) << QSizeF() << 0 << QSize(6000, 4000) << QRectF(0, 0, 6000, 4000);
    // The centred 714.29 x 1000 region, at exactly the preset's size.
    QTest::newRow("certificate preset on a square cut-out")
        << QSizeF(1000, 1000) << QSizeF(295, 413) << 2000 << QSize(295, 413)
        << QRectF(1000 * (1 - 295.0 / 413) / 2, 0, 1000 * 295.0 / 413, 1000);
    QTest::newRow("preset larger than the canvas is scaled up to it")
        << QSizeF(1000, 750) << QSizeF(4000, 3000) << 2000 << QSize(4000, 3000) << QRectF(0, 0, 1000, 750);
    // The result canvas: the preset fitted into the cut-out has fractional
    // pixels; the canvas has whole ones.
    QTest::newRow("result canvas of fractional size")
        << QSizeF(714.2857, 1000) << QSizeF(295, 413) << 0 << QSize(295, 413)
        << QRectF(0, (1000 - 714 * 413.0 / 295) / 2, 714, 714 * 413.0 / 295);
    QTest::newRow("one side of a preset is no preset")
        << QSizeF(800, 600) << QSizeF(500, 0) << 400 << QSize(400, 300) << QRectF(0, 0, 800, 600);
}

void TestOutputRender::outputSizeAndRegion()
{
    QFETCH(QSizeF, canvas);
    QFETCH(QSizeF, preset);
    QFETCH(int, maxSide);
    QFETCH(QSize, size);
    QFETCH(QRectF, region);
    KSOutputRender::Request r = request(filled(QSize(4, 4), Qt::red), canvas, QRectF(0, 0, 4, 4));
    r.backgroundSize = preset;
    r.maxSide = maxSide;
    QCOMPARE(KSOutputRender::outputPixelSize(r), size);
    const QRectF seen = KSOutputRender::outputRegion(r);
    QVERIFY2(std::abs(seen.x() - region.x()) < 1e-3 && std::abs(seen.y() - region.y()) < 1e-3
                 && std::abs(seen.width() - region.width()) < 1e-3 && std::abs(seen.height() - region.height()) < 1e-3,
             qPrintable(QStringLiteral("%1 %2 %3 %4").arg(seen.x()).arg(seen.y()).arg(seen.width()).arg(seen.height())));
    QCOMPARE(KSOutputRender::renderOutputImage(r).size(), size);
}

void TestOutputRender::presetShowsOnlyItsCentredRectangle()
{
    // A 1000 x 1000 cut-out covered by red, green and blue bands; the
    // 1-inch preset's centred region (x 142.86 to 857.14) lies in the green.
    const QImage subject = bands(QSize(1000, 1000), {{0, Qt::red}, {142, Qt::green}, {858, Qt::blue}});
    KSOutputRender::Request r = request(subject, QSizeF(1000, 1000), QRectF(0, 0, 1000, 1000));
    r.backgroundSize = QSizeF(295, 413);
    const QImage out = KSOutputRender::renderOutputImage(r);
    QCOMPARE(out.size(), QSize(295, 413));
    for (int y = 0; y < out.height(); y += 4) {
        for (int x : {0, 1, 147, 293, 294})
            QVERIFY2(near(out.pixel(x, y), qRgb(0, 255, 0)), qPrintable(QStringLiteral("(%1, %2): %3").arg(x).arg(y).arg(describe(out.pixel(x, y)))));
    }
}

void TestOutputRender::subjectKeepsItsPlaceWhenScaled()
{
    // The canvas is halved to fit 1000 pixels; the subject's rectangle is
    // halved with it, on whole pixels.
    KSOutputRender::Request r = request(filled(QSize(200, 100), Qt::red), QSizeF(2000, 1000), QRectF(1000, 500, 200, 100));
    r.maxSide = 1000;
    r.backgroundColor = KSRGBHexColor(0x0000FF);
    const QImage out = KSOutputRender::renderOutputImage(r);
    QCOMPARE(out.size(), QSize(1000, 500));
    const QRect subject(500, 250, 100, 50);
    for (const QPoint p : {subject.topLeft(), subject.topRight(), subject.bottomLeft(), subject.bottomRight(), subject.center()})
        QVERIFY2(near(out.pixel(p), qRgb(255, 0, 0)), qPrintable(describe(out.pixel(p))));
    for (const QPoint p : {subject.topLeft() - QPoint(1, 1), subject.bottomRight() + QPoint(1, 1), QPoint(0, 0)})
        QVERIFY2(near(out.pixel(p), qRgb(0, 0, 255)), qPrintable(describe(out.pixel(p))));
}

void TestOutputRender::mirrorIsSaved_data()
{
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<QRgb>("left");
    QTest::addColumn<QRgb>("right");
    QTest::newRow("as loaded") << false << 0 << qRgb(255, 0, 0) << qRgb(0, 0, 255);
    QTest::newRow("mirrored") << true << 0 << qRgb(0, 0, 255) << qRgb(255, 0, 0);
    QTest::newRow("mirrored and reduced") << true << 100 << qRgb(0, 0, 255) << qRgb(255, 0, 0);
}

void TestOutputRender::mirrorIsSaved()
{
    QFETCH(bool, mirrored);
    QFETCH(int, maxSide);
    QFETCH(QRgb, left);
    QFETCH(QRgb, right);
    // A subject red on its left half and blue on its right, placed in the
    // middle of a transparent canvas; the subject's own place is kept.
    const QImage subject = bands(QSize(100, 50), {{0, Qt::red}, {50, Qt::blue}});
    KSOutputRender::Request r = request(subject, QSizeF(200, 100), QRectF(50, 25, 100, 50));
    r.isMirrorImage = mirrored;
    r.maxSide = maxSide;
    const QImage out = KSOutputRender::renderOutputImage(r);
    const double s = out.width() / 200.0;
    const auto at = [&](int x, int y) { return out.pixel(int(x * s), int(y * s)); };
    QVERIFY2(near(at(60, 50), left), qPrintable(describe(at(60, 50))));
    QVERIFY2(near(at(138, 50), right), qPrintable(describe(at(138, 50))));
    QCOMPARE(qAlpha(at(20, 50)), 0);
    QCOMPARE(qAlpha(at(180, 50)), 0);
}

void TestOutputRender::transparencyFollowsTheFormat_data()
{
    QTest::addColumn<KSColor>("colour");
    QTest::addColumn<bool>("opaque");
    QTest::addColumn<QRgb>("background");
    QTest::addColumn<QRgb>("halfTransparentRed");

    QTest::newRow("PNG transparent keeps the subject's alpha")
        << KSClear_Color() << false << qRgba(0, 0, 0, 0) << qRgba(255, 0, 0, 128);
    QTest::newRow("JPEG on a colour: the edge composited onto the colour")
        << KSRGBHexColor(0x0000FF) << true << qRgb(0, 0, 255) << qRgb(128, 0, 127);
    QTest::newRow("JPEG on a half-transparent colour: the colour onto white")
        << KSRGBHexColor(0x0000FF, 0.5) << true << qRgb(128, 128, 255) << qRgb(192, 64, 127);
    QTest::newRow("PNG on a half-transparent colour keeps its alpha")
        << KSRGBHexColor(0x0000FF, 0.5) << false << qRgba(0, 0, 255, 128) << qRgba(170, 0, 85, 191);
    QTest::newRow("JPEG without a colour is on white")
        << KSClear_Color() << true << qRgb(255, 255, 255) << qRgb(255, 127, 127);
}

void TestOutputRender::transparencyFollowsTheFormat()
{
    QFETCH(KSColor, colour);
    QFETCH(bool, opaque);
    QFETCH(QRgb, background);
    QFETCH(QRgb, halfTransparentRed);
    // Left half opaque green, right half red at alpha 128 (a soft edge).
    QImage subject(20, 10, QImage::Format_ARGB32);
    subject.fill(qRgb(0, 255, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x)
            subject.setPixel(x, y, qRgba(255, 0, 0, 128));
    KSOutputRender::Request r = request(subject, QSizeF(40, 10), QRectF(0, 0, 20, 10));
    r.backgroundColor = colour;
    r.opaque = opaque;
    const QImage out = KSOutputRender::renderOutputImage(r);
    QVERIFY2(near(out.pixel(30, 5), background), qPrintable(describe(out.pixel(30, 5))));
    QVERIFY2(near(out.pixel(15, 5), halfTransparentRed), qPrintable(describe(out.pixel(15, 5))));
    QVERIFY2(near(out.pixel(5, 5), qRgb(0, 255, 0)), qPrintable(describe(out.pixel(5, 5))));
    // Nothing transparent is left for a format without alpha.
    QCOMPARE(out.hasAlphaChannel(), !opaque);
}

void TestOutputRender::subjectOutsideTheCanvasIsClipped_data()
{
    QTest::addColumn<QRectF>("subjectRect");
    QTest::addColumn<QRect>("redArea");
    QTest::newRow("dragged over the top-left corner") << QRectF(-50, -50, 100, 100) << QRect(0, 0, 50, 50);
    QTest::newRow("dragged over the right edge") << QRectF(150, 20, 100, 100) << QRect(150, 20, 50, 100);
    // A huge enlargement renders what shows, without a picture of its size.
    QTest::newRow("enlarged far beyond the canvas") << QRectF(-500000, -500000, 1000000, 1000000) << QRect(0, 0, 200, 200);
    QTest::newRow("dragged off the canvas") << QRectF(300, 300, 100, 100) << QRect();
}

void TestOutputRender::subjectOutsideTheCanvasIsClipped()
{
    QFETCH(QRectF, subjectRect);
    QFETCH(QRect, redArea);
    KSOutputRender::Request r = request(filled(QSize(100, 100), Qt::red), QSizeF(200, 200), subjectRect);
    r.backgroundColor = KSRGBHexColor(0xFFFFFF);
    const QImage out = KSOutputRender::renderOutputImage(r);
    QCOMPARE(out.size(), QSize(200, 200));
    for (int y = 0; y < 200; y += 7) {
        for (int x = 0; x < 200; x += 7) {
            const QRgb expected = redArea.contains(x, y) ? qRgb(255, 0, 0) : qRgb(255, 255, 255);
            QVERIFY2(near(out.pixel(x, y), expected), qPrintable(QStringLiteral("(%1, %2): %3").arg(x).arg(y).arg(describe(out.pixel(x, y)))));
        }
    }
}

void TestOutputRender::nothingToRender_data()
{
    QTest::addColumn<QImage>("subject");
    QTest::addColumn<QSizeF>("canvas");
    QTest::newRow("no subject picture") << QImage() << QSizeF(100, 100);
    QTest::newRow("cut-out not loaded yet") << filled(QSize(4, 4), Qt::red) << QSizeF();
    QTest::newRow("canvas under one pixel") << filled(QSize(4, 4), Qt::red) << QSizeF(0.5, 100);
}

void TestOutputRender::nothingToRender()
{
    QFETCH(QImage, subject);
    QFETCH(QSizeF, canvas);
    QVERIFY(KSOutputRender::renderOutputImage(request(subject, canvas, QRectF(0, 0, 4, 4))).isNull());
}

QTEST_GUILESS_MAIN(TestOutputRender)
#include "tst_outputrender.moc"
