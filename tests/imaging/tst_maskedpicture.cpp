#include "KSMaskBrush.h"
#include "KSMaskedPicture.h"

#include <QPainter>
#include <QTest>

namespace {

// 8 x 6: opaque red in the left half, half-transparent green at (5, 1),
// clear elsewhere with a colour of its own that must never show.
QImage cutout()
{
    QImage image(8, 6, QImage::Format_ARGB32);
    image.fill(qRgba(9, 9, 9, 0));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, y, qRgba(255, 0, 0, 255));
    image.setPixel(5, 1, qRgba(0, 200, 0, 128));
    // Nearly clear: its colour, as a premultiplied decode left it, is noise.
    image.setPixel(6, 4, qRgba(255, 0, 255, 3));
    return image;
}

QImage photo(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    return image;
}

QImage drawn(KSMaskedPicture &picture, QSize size, const QRectF &source, KSMaskedPicture::Layer layer)
{
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    const QRectF whole(QPointF(0, 0), QSizeF(size));
    picture.draw(painter, whole, source, whole, layer);
    painter.end();
    return out;
}

} // namespace

// The cut-out taken apart into colours and mask, put together again for a
// save and for the screen at any zoom.
class TestMaskedPicture : public QObject
{
    Q_OBJECT

private slots:
    void cutoutSplitsIntoColoursAndMask();
    void photoFillsOnlyWhereTheCutoutWasClear_data();
    void photoFillsOnlyWhereTheCutoutWasClear();
    void subjectImageIsTheCutoutForAnUneditedMask();
    void visibleBoundsFollowTheMask_data();
    void visibleBoundsFollowTheMask();
    void drawingAtFullSizeAndUpClose();
    void reducedCopiesFollowMaskEdits();
    void drawingPaintsOnlyTheExposedPart();
    void reducedColoursHaveAtLeastTheScaleAsked_data();
    void reducedColoursHaveAtLeastTheScaleAsked();
    void nullCutoutGivesNullPicture();
};

void TestMaskedPicture::cutoutSplitsIntoColoursAndMask()
{
    KSMaskedPicture picture(cutout());
    QCOMPARE(picture.size(), QSize(8, 6));
    QCOMPARE(picture.colours().format(), QImage::Format_RGB32);
    QCOMPARE(picture.colours().pixel(0, 0), qRgb(255, 0, 0));
    // The refined edge's own colour is kept, not the photo's.
    QCOMPARE(picture.colours().pixel(5, 1), qRgb(0, 200, 0));
    QCOMPARE(int(picture.mask().constScanLine(1)[5]), 128);
    QCOMPARE(int(picture.mask().constScanLine(0)[0]), 255);
    QCOMPARE(int(picture.mask().constScanLine(0)[7]), 0);
}

void TestMaskedPicture::photoFillsOnlyWhereTheCutoutWasClear_data()
{
    QTest::addColumn<QSize>("photoSize");
    QTest::newRow("the photo the cut-out was made of") << QSize(8, 6);
    QTest::newRow("a photo of another size is stretched") << QSize(16, 12);
}

void TestMaskedPicture::photoFillsOnlyWhereTheCutoutWasClear()
{
    QFETCH(QSize, photoSize);
    KSMaskedPicture picture(cutout());
    const QImage colours = KSMaskedPicture::withPhotoColours(picture.colours(), picture.mask(), photo(photoSize));
    QCOMPARE(colours.pixel(7, 0), qRgb(10, 20, 30));
    QCOMPARE(colours.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(colours.pixel(5, 1), qRgb(0, 200, 0));
    QCOMPARE(colours.pixel(6, 4), qRgb(10, 20, 30));
    picture.setColours(colours);
    QCOMPARE(picture.colours().pixel(7, 5), qRgb(10, 20, 30));
}

void TestMaskedPicture::subjectImageIsTheCutoutForAnUneditedMask()
{
    KSMaskedPicture picture(cutout());
    const QRect bounds = picture.visibleBounds();
    QCOMPARE(bounds, QRect(0, 0, 6, 6));
    const QImage subject = KSMaskedPicture::subjectImage(picture.colours(), picture.mask(), bounds);
    const QImage expected = cutout().copy(bounds);
    QCOMPARE(subject.size(), expected.size());
    for (int y = 0; y < subject.height(); ++y) {
        for (int x = 0; x < subject.width(); ++x) {
            const QRgb a = subject.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            QCOMPARE(qAlpha(a), qAlpha(b));
            if (qAlpha(b) > 0)
                QCOMPARE(a, b);
        }
    }
}

void TestMaskedPicture::visibleBoundsFollowTheMask_data()
{
    QTest::addColumn<QPointF>("eraseAt");
    QTest::addColumn<QPointF>("keepAt");
    QTest::addColumn<QRect>("bounds");

    QTest::newRow("keeping a pixel beyond the subject grows the bounds")
        << QPointF(-10, -10) << QPointF(7.5, 5.5) << QRect(0, 0, 8, 6);
    QTest::newRow("erasing the half-transparent pixels shrinks them")
        << QPointF(5.5, 1.5) << QPointF(-10, -10) << QRect(0, 0, 4, 6);
}

void TestMaskedPicture::visibleBoundsFollowTheMask()
{
    QFETCH(QPointF, eraseAt);
    QFETCH(QPointF, keepAt);
    QFETCH(QRect, bounds);

    KSMaskedPicture picture(cutout());
    for (const auto &[at, mode] : {std::pair{eraseAt, KSMaskBrush::Mode::erase}, {keepAt, KSMaskBrush::Mode::keep}}) {
        KSMaskBrush brush(picture.store(), mode, 1.5, 0.0);
        brush.strokeTo(at);
        picture.maskChanged({brush.finish().bounds()});
    }
    QCOMPARE(picture.visibleBounds(), bounds);
}

void TestMaskedPicture::drawingAtFullSizeAndUpClose()
{
    KSMaskedPicture picture(cutout());
    const QImage same = drawn(picture, QSize(8, 6), QRectF(0, 0, 8, 6), KSMaskedPicture::Layer::subject);
    QCOMPARE(same, KSMaskedPicture::composeRegion(picture.colours(), picture.mask(), picture.rect()));

    // Four screen pixels per picture pixel: sharp squares, no blending.
    const QImage close = drawn(picture, QSize(16, 12), QRectF(2, 0, 4, 3), KSMaskedPicture::Layer::subject);
    QCOMPARE(close.pixel(7, 7), qRgba(255, 0, 0, 255));
    QCOMPARE(close.pixel(8, 7), 0u);
    QCOMPARE(close.pixel(15, 4), qPremultiply(qRgba(0, 200, 0, 128)));

    const QImage photoLayer = drawn(picture, QSize(8, 6), QRectF(0, 0, 8, 6), KSMaskedPicture::Layer::photo);
    QCOMPARE(qAlpha(photoLayer.pixel(7, 0)), 255);
}

void TestMaskedPicture::reducedCopiesFollowMaskEdits()
{
    QImage big(400, 200, QImage::Format_ARGB32);
    big.fill(qRgba(0, 0, 255, 255));
    KSMaskedPicture picture(big);
    // A picture only rendered or saved (the command line's) holds no copies.
    QCOMPARE(picture.levelCount(), 0);

    // Drawn at an eighth: from a reduced copy, made now.
    const QImage before = drawn(picture, QSize(50, 25), QRectF(0, 0, 400, 200), KSMaskedPicture::Layer::subject);
    QVERIFY(picture.levelCount() >= 3);
    QCOMPARE(qAlpha(before.pixel(10, 10)), 255);

    KSMaskBrush brush(picture.store(), KSMaskBrush::Mode::erase, 60, 0.0);
    brush.strokeTo(QPointF(100, 100));
    picture.maskChanged(brush.finish().rects());
    const QImage after = drawn(picture, QSize(50, 25), QRectF(0, 0, 400, 200), KSMaskedPicture::Layer::subject);
    QCOMPARE(qAlpha(after.pixel(12, 12)), 0);
    QCOMPARE(qAlpha(after.pixel(45, 12)), 255);
    // The photo layer does not follow the mask.
    const QImage photoLayer = drawn(picture, QSize(50, 25), QRectF(0, 0, 400, 200), KSMaskedPicture::Layer::photo);
    QCOMPARE(qAlpha(photoLayer.pixel(12, 12)), 255);
}

void TestMaskedPicture::drawingPaintsOnlyTheExposedPart()
{
    KSMaskedPicture picture(cutout());
    QImage out(QSize(8, 6), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    picture.draw(painter, QRectF(0, 0, 8, 6), QRectF(0, 0, 8, 6), QRectF(0, 0, 2, 2));
    painter.end();
    QCOMPARE(out.pixel(1, 1), qRgba(255, 0, 0, 255));
    QCOMPARE(out.pixel(2, 2), 0u);
    QCOMPARE(out.pixel(0, 3), 0u);
}

void TestMaskedPicture::reducedColoursHaveAtLeastTheScaleAsked_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("size");

    QTest::newRow("exactly a half") << 0.5 << QSize(200, 100);
    QTest::newRow("a third: the half, a quarter is too small") << 0.3 << QSize(200, 100);
    QTest::newRow("a tenth: an eighth") << 0.1 << QSize(50, 25);
    QTest::newRow("more than a half: only the full size has it") << 0.9 << QSize(0, 0);
}

void TestMaskedPicture::reducedColoursHaveAtLeastTheScaleAsked()
{
    QFETCH(double, scale);
    QFETCH(QSize, size);
    QImage big(400, 200, QImage::Format_ARGB32);
    big.fill(qRgba(10, 20, 30, 0));
    KSMaskedPicture picture(big);
    const QImage reduced = picture.reducedColours(scale);
    QCOMPARE(reduced.size(), size);
    // The colours, opaque, whatever the mask.
    if (!reduced.isNull())
        QCOMPARE(reduced.pixel(3, 3), qRgb(10, 20, 30));
}

void TestMaskedPicture::nullCutoutGivesNullPicture()
{
    KSMaskedPicture picture{QImage()};
    QVERIFY(picture.isNull());
    QImage out(4, 4, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    picture.draw(painter, QRectF(0, 0, 4, 4), QRectF(0, 0, 4, 4), QRectF(0, 0, 4, 4));
    painter.end();
    QCOMPARE(out.pixel(0, 0), 0u);
    QVERIFY(KSMaskedPicture::subjectImage(QImage(), QImage(), QRect(0, 0, 2, 2)).isNull());
}

QTEST_MAIN(TestMaskedPicture)
#include "tst_maskedpicture.moc"
