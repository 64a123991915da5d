#include "KSColorConst.h"
#include "KSOutputRender.h"

#include <QPainter>

#include <cstring>
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
    void outputSize_data();
    void outputSize();
    void presetShowsOnlyItsCentredRectangle();
    void subjectLandsWhereTheUserSeesIt_data();
    void subjectLandsWhereTheUserSeesIt();
    void transparencyFollowsTheFormat_data();
    void transparencyFollowsTheFormat();
    void bandsMakeTheSamePicture_data();
    void bandsMakeTheSamePicture();
};

void TestOutputRender::outputSize_data()
{
    QTest::addColumn<QSizeF>("canvas");
    QTest::addColumn<QSizeF>("preset");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<QSize>("size");

    QTest::newRow("no preset: fitted into the output size") << QSizeF(3000, 2000) << QSizeF() << 2000 << QSize(2000, 1333);
    QTest::newRow("no preset: a smaller canvas is never enlarged") << QSizeF(1500, 1000) << QSizeF() << 2000 << QSize(1500, 1000);
    // Exactly the preset, not a pixel less from widening the crop.
    QTest::newRow("certificate preset on a square cut-out") << QSizeF(1000, 1000) << QSizeF(295, 413) << 2000 << QSize(295, 413);
    QTest::newRow("preset larger than the canvas is scaled up to it") << QSizeF(1000, 750) << QSizeF(4000, 3000) << 2000 << QSize(4000, 3000);
    // The "Original" output size (0) keeps the photo's own pixels.
    QTest::newRow("Original keeps a 24-megapixel canvas whole") << QSizeF(6000, 4000) << QSizeF() << 0 << QSize(6000, 4000);
    QTest::newRow("result canvas of fractional size") << QSizeF(714.2857, 1000) << QSizeF(295, 413) << 0 << QSize(295, 413);
}

void TestOutputRender::outputSize()
{
    QFETCH(QSizeF, canvas);
    QFETCH(QSizeF, preset);
    QFETCH(int, maxSide);
    QFETCH(QSize, size);
    KSOutputRender::Request r = request(filled(QSize(4, 4), Qt::red), canvas, QRectF(0, 0, 4, 4));
    r.backgroundSize = preset;
    r.maxSide = maxSide;
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
            QVERIFY2(near(out.pixel(x, y), qRgb(0, 255, 0)), qPrintable(describe(out.pixel(x, y))));
    }
}

void TestOutputRender::subjectLandsWhereTheUserSeesIt_data()
{
    // A subject red on its left half and blue on its right, on a white
    // 200 x 100 canvas; points are canvas pixels (-1, -1 for none).
    QTest::addColumn<QRectF>("subjectRect");
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<QPoint>("redAt");
    QTest::addColumn<QPoint>("blueAt");
    QTest::addColumn<QPoint>("whiteAt");
    const QRectF middle(50, 25, 100, 50);
    QTest::newRow("as placed") << middle << false << 0 << QPoint(51, 26) << QPoint(149, 74) << QPoint(49, 50);
    // Placed on whole pixels, not blurred across a fraction of one.
    QTest::newRow("about its own size at a fractional place")
        << QRectF(50.3, 25.4, 100.2, 50.1) << false << 0 << QPoint(50, 25) << QPoint(149, 74) << QPoint(49, 24);
    QTest::newRow("mirrored") << middle << true << 0 << QPoint(149, 74) << QPoint(51, 26) << QPoint(150, 50);
    QTest::newRow("mirrored and reduced") << middle << true << 100 << QPoint(140, 50) << QPoint(60, 50) << QPoint(20, 50);
    QTest::newRow("dragged over the top-left corner: clipped")
        << QRectF(-50, -25, 100, 50) << false << 0 << QPoint(-1, -1) << QPoint(0, 0) << QPoint(50, 10);
    // A huge enlargement renders what shows, without a picture of its size.
    QTest::newRow("enlarged far beyond the canvas")
        << QRectF(-400000, -500000, 2000000, 1000000) << false << 0 << QPoint(199, 99) << QPoint(-1, -1) << QPoint(-1, -1);
}

void TestOutputRender::subjectLandsWhereTheUserSeesIt()
{
    QFETCH(QRectF, subjectRect);
    QFETCH(bool, mirrored);
    QFETCH(int, maxSide);
    QFETCH(QPoint, redAt);
    QFETCH(QPoint, blueAt);
    QFETCH(QPoint, whiteAt);
    KSOutputRender::Request r = request(bands(QSize(100, 50), {{0, Qt::red}, {50, Qt::blue}}), QSizeF(200, 100), subjectRect);
    r.backgroundColor = KSRGBHexColor(0xFFFFFF);
    r.isMirrorImage = mirrored;
    r.maxSide = maxSide;
    const QImage out = KSOutputRender::renderOutputImage(r);
    const double s = out.width() / 200.0;
    for (const auto &[point, colour] : {std::pair{redAt, qRgb(255, 0, 0)}, {blueAt, qRgb(0, 0, 255)}, {whiteAt, qRgb(255, 255, 255)}}) {
        if (point.x() < 0)
            continue;
        const QRgb seen = out.pixel(int(point.x() * s), int(point.y() * s));
        QVERIFY2(near(seen, colour), qPrintable(QStringLiteral("(%1, %2): %3").arg(point.x()).arg(point.y()).arg(describe(seen))));
    }
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

void TestOutputRender::bandsMakeTheSamePicture_data()
{
    QTest::addColumn<QRectF>("subjectRect"); // on a 60 x 50 canvas; the subject is 30 x 20
    QTest::addColumn<KSColor>("colour");
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<bool>("inBands");

    QTest::newRow("in place, transparent") << QRectF(10, 12, 30, 20) << KSClear_Color() << false << true;
    QTest::newRow("in place, on a colour, mirrored") << QRectF(10, 12, 30, 20) << KSRGBHexColor(0x336699) << true << true;
    QTest::newRow("half off the canvas's top left") << QRectF(-15, -8, 30, 20) << KSClear_Color() << false << true;
    QTest::newRow("half off its bottom right, half-transparent colour")
        << QRectF(45, 40, 30, 20) << KSRGBHexColor(0x336699, 0.5) << false << true;
    // A resampled subject needs all of its rows for every output row.
    QTest::newRow("reduced") << QRectF(10, 12, 15, 10) << KSClear_Color() << false << false;
    QTest::newRow("enlarged") << QRectF(0, 0, 60, 40) << KSClear_Color() << false << false;
}

void TestOutputRender::bandsMakeTheSamePicture()
{
    QFETCH(QRectF, subjectRect);
    QFETCH(KSColor, colour);
    QFETCH(bool, mirrored);
    QFETCH(bool, inBands);
    // Every pixel its own colour and alpha, so that a row or column out of
    // place shows.
    QImage subject(30, 20, QImage::Format_ARGB32);
    for (int y = 0; y < subject.height(); ++y)
        for (int x = 0; x < subject.width(); ++x)
            subject.setPixel(x, y, qRgba(x * 8, y * 12, (x * y) % 256, (x * 7 + y * 11) % 256));
    KSOutputRender::Request r = request(subject, QSizeF(60, 50), subjectRect);
    r.backgroundColor = colour;
    r.isMirrorImage = mirrored;
    const QImage whole = KSOutputRender::renderOutputImage(r);
    QCOMPARE(KSOutputRender::rendersInBands(r, subject.size()), inBands);
    QCOMPARE(KSOutputRender::hasAlpha(r), whole.hasAlphaChannel());

    // The band renderer reads the subject's rows only; it is told nothing else.
    KSOutputRender::Request banded = r;
    banded.subject = QImage();
    const QImage premultiplied = subject.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QList<QRect> asked;
    const KSOutputRender::SubjectRegion region = [&](const QRect &rect) {
        asked << rect;
        return premultiplied.copy(rect);
    };
    const int bandRows = 7; // bands that start and end inside the subject
    QImage joined(whole.size(), whole.format());
    for (int top = 0; top < whole.height(); top += bandRows) {
        const int rows = std::min(bandRows, whole.height() - top);
        const QImage band = KSOutputRender::renderOutputBand(banded, subject.size(), region, top, rows);
        if (!inBands) {
            QVERIFY(band.isNull());
            return;
        }
        QCOMPARE(band.format(), whole.format());
        QCOMPARE(band.size(), QSize(whole.width(), rows));
        for (int y = 0; y < rows; ++y)
            std::memcpy(joined.scanLine(top + y), band.constScanLine(y), size_t(band.bytesPerLine()));
    }
    QCOMPARE(joined, whole);
    for (const QRect &rect : std::as_const(asked))
        QVERIFY2(rect.height() <= bandRows, "a band read more rows of the subject than it shows");
}

QTEST_GUILESS_MAIN(TestOutputRender)
#include "tst_outputrender.moc"
