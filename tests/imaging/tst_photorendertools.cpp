#include "KSImageConvert.h"
#include "KSPhotoRenderTools.h"

#include <QTest>

#include <cstring>

namespace {

QImage uniform(QSize size, QImage::Format format, QColor colour)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

QImage greyMask(QSize size, int level, QImage::Format format = QImage::Format_Grayscale8)
{
    return uniform(size, format, QColor(level, level, level));
}

// A picture of `width` columns filled row by row from `colours`.
QImage fromColours(QImage::Format format, int width, const QList<QColor> &colours)
{
    QImage image(width, int(colours.size()) / width, format);
    for (int i = 0; i < colours.size(); ++i)
        image.setPixelColor(i % width, i / width, colours[i]);
    return image;
}

QImage fromLevels(int width, const QList<int> &levels)
{
    QList<QColor> greys;
    for (int level : levels)
        greys.append(QColor(level, level, level));
    return fromColours(QImage::Format_Grayscale8, width, greys);
}

// Bytes of one pixel of an RGBA8888 cut-out, in memory order.
QList<int> bytesAt(const QImage &image, int x, int y)
{
    const uchar *p = image.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

} // namespace

class TestKSPhotoRenderTools : public QObject
{
    Q_OBJECT

private slots:
    void sizeLimit_data();
    void sizeLimit();
    void pictureWithinLimitIsTheSamePicture();

    void alphaFollowsMask_data();
    void alphaFollowsMask();
    void colourBytesOfAnOpaquePhotoAreKept_data();
    void colourBytesOfAnOpaquePhotoAreKept();
    void widePhotosMatchPixelByPixel_data();
    void widePhotosMatchPixelByPixel();
    void transparentMaskPixels_data();
    void transparentMaskPixels();
    void maskIsStretchedToThePhoto_data();
    void maskIsStretchedToThePhoto();
    void stretchedEdgeRisesSteadily();
    void photoWithItsOwnAlpha_data();
    void photoWithItsOwnAlpha();
    void callersPhotoIsLeftAlone();
    void tiffDataHoldsTheStraightCutout();
    void tallCutoutSpansSeveralStrips();
    void missingPicturesGiveNothing();

    void canvasLayoutFollowsThePicture_data();
    void canvasLayoutFollowsThePicture();
    void placementCountsFromTheBottomLeft();
    void placementOutsideIsClipped();
    void translucentBackgroundIsEvenToTheEdges();
    void emptyCanvasGivesNothing();

    void bitmapIsPremultipliedRgbaInMemoryOrder();
    void bitmapCompletionOrder();
};

void TestKSPhotoRenderTools::sizeLimit_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<QSizeF>("max");
    QTest::addColumn<QSizeF>("zipped");
    QTest::addColumn<QSize>("pixels");

    const QSizeF upload(2000, 2000);
    QTest::newRow("wide picture: width becomes the maximum") << QSizeF(4000, 1000) << upload << QSizeF(2000, 500) << QSize(2000, 500);
    QTest::newRow("tall picture: height becomes the maximum") << QSizeF(1000, 4000) << upload << QSizeF(500, 2000) << QSize(500, 2000);
    QTest::newRow("4:3 photo for upload") << QSizeF(4000, 3000) << upload << QSizeF(2000, 1500) << QSize(2000, 1500);
    QTest::newRow("the side exceeding most wins") << QSizeF(2500, 3000) << QSizeF(2000, 1000) << QSizeF(833.3333333333334, 1000) << QSize(833, 1000);
    QTest::newRow("no rounding of the size, pixels rounded to nearest") << QSizeF(4001, 3000) << upload << QSizeF(2000, 3000 / (4001 / 2000.0)) << QSize(2000, 1500);
    QTest::newRow("exactly the maximum is kept") << QSizeF(2000, 2000) << upload << QSizeF(2000, 2000) << QSize(2000, 2000);
    QTest::newRow("smaller is never enlarged") << QSizeF(1200, 800) << upload << QSizeF(1200, 800) << QSize(1200, 800);
}

void TestKSPhotoRenderTools::sizeLimit()
{
    QFETCH(QSizeF, size);
    QFETCH(QSizeF, max);
    QFETCH(QSizeF, zipped);
    QFETCH(QSize, pixels);

    const QSizeF got = KSPhotoRenderTools::zipSize(size, max);
    QCOMPARE(got.width(), zipped.width());
    QCOMPARE(got.height(), zipped.height());
    const QImage image = uniform(size.toSize(), QImage::Format_RGB32, Qt::gray);
    QCOMPARE(KSPhotoRenderTools::zipInputImage(image, max).size(), pixels);
}

void TestKSPhotoRenderTools::pictureWithinLimitIsTheSamePicture()
{
    const QImage image = uniform(QSize(2000, 1999), QImage::Format_RGB32, Qt::gray);
    QCOMPARE(KSPhotoRenderTools::zipInputImage(image, QSizeF(2000, 2000)).cacheKey(), image.cacheKey());
}

void TestKSPhotoRenderTools::alphaFollowsMask_data()
{
    QTest::addColumn<QImage::Format>("maskFormat");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("snap");
    QTest::addColumn<int>("alpha");

    QTest::newRow("black mask: fully transparent") << QImage::Format_Grayscale8 << 0 << false << 0;
    QTest::newRow("white mask: fully opaque") << QImage::Format_Grayscale8 << 255 << false << 255;
    QTest::newRow("grey level becomes alpha") << QImage::Format_Grayscale8 << 90 << false << 90;
    QTest::newRow("grey in a colour mask") << QImage::Format_RGB32 << 37 << false << 37;
    QTest::newRow("grey in an opaque alpha mask") << QImage::Format_ARGB32 << 201 << false << 201;
    QTest::newRow("no snapping keeps low levels") << QImage::Format_Grayscale8 << 127 << false << 127;
    QTest::newRow("snap: 127 drops to 0") << QImage::Format_Grayscale8 << 127 << true << 0;
    QTest::newRow("snap: 128 is kept") << QImage::Format_Grayscale8 << 128 << true << 128;
    QTest::newRow("snap: 200 is kept") << QImage::Format_RGB32 << 200 << true << 200;
    QTest::newRow("snap: 201 rises to 255") << QImage::Format_Grayscale8 << 201 << true << 255;
}

void TestKSPhotoRenderTools::alphaFollowsMask()
{
    QFETCH(QImage::Format, maskFormat);
    QFETCH(int, level);
    QFETCH(bool, snap);
    QFETCH(int, alpha);

    const QImage photo = uniform(QSize(5, 3), QImage::Format_RGB32, QColor(10, 20, 30));
    const QImage cutout = KSPhotoRenderTools::cutoutImage(photo, greyMask(photo.size(), level, maskFormat), snap);
    QCOMPARE(cutout.format(), QImage::Format_RGBA8888);
    QCOMPARE(cutout.size(), photo.size());
    for (int y = 0; y < cutout.height(); ++y)
        for (int x = 0; x < cutout.width(); ++x)
            QCOMPARE(bytesAt(cutout, x, y), (QList<int>{10, 20, 30, alpha}));
}

void TestKSPhotoRenderTools::colourBytesOfAnOpaquePhotoAreKept_data()
{
    QTest::addColumn<QImage::Format>("photoFormat");
    QTest::newRow("JPEG-like RGB32") << QImage::Format_RGB32;
    QTest::newRow("RGB888") << QImage::Format_RGB888;
    QTest::newRow("RGBX8888 (HEIC)") << QImage::Format_RGBX8888;
    QTest::newRow("opaque premultiplied") << QImage::Format_ARGB32_Premultiplied;
}

void TestKSPhotoRenderTools::colourBytesOfAnOpaquePhotoAreKept()
{
    QFETCH(QImage::Format, photoFormat);
    const QImage photo = fromColours(photoFormat, 2, {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(1, 2, 3)});
    const QImage mask = fromLevels(2, {0, 64, 128, 255});

    const QImage cutout = KSPhotoRenderTools::cutoutImage(photo, mask);
    QCOMPARE(bytesAt(cutout, 0, 0), (QList<int>{255, 0, 0, 0}));
    QCOMPARE(bytesAt(cutout, 1, 0), (QList<int>{0, 255, 0, 64}));
    QCOMPARE(bytesAt(cutout, 0, 1), (QList<int>{0, 0, 255, 128}));
    QCOMPARE(bytesAt(cutout, 1, 1), (QList<int>{1, 2, 3, 255}));
}

void TestKSPhotoRenderTools::widePhotosMatchPixelByPixel_data()
{
    QTest::addColumn<QSize>("maskSize");
    QTest::newRow("mask of the photo's size") << QSize(37, 3);
    QTest::newRow("stretched mask") << QSize(11, 2);
}

// Rows long enough for the wide fast path of opaque photos, checked against
// the byte-by-byte path that RGBX8888 photos take.
void TestKSPhotoRenderTools::widePhotosMatchPixelByPixel()
{
    QFETCH(QSize, maskSize);
    QImage photo(37, 3, QImage::Format_RGB32);
    QImage mask(maskSize, QImage::Format_Grayscale8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 37; ++x)
            photo.setPixel(x, y, qRgb(x * 7, 255 - x * 5, y * 80 + x));
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            mask.scanLine(y)[x] = uchar((x * 53 + y * 101) & 0xFF);

    const QImage fast = KSPhotoRenderTools::cutoutImage(photo, mask);
    const QImage reference =
        KSPhotoRenderTools::cutoutImage(photo.convertToFormat(QImage::Format_RGBX8888), mask);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 37; ++x) {
            const QRgb p = photo.pixel(x, y);
            const int alpha = bytesAt(reference, x, y)[3];
            QCOMPARE(bytesAt(fast, x, y), (QList<int>{qRed(p), qGreen(p), qBlue(p), alpha}));
            if (maskSize == photo.size())
                QCOMPARE(alpha, int(mask.constScanLine(y)[x]));
        }
    }
}

void TestKSPhotoRenderTools::transparentMaskPixels_data()
{
    QTest::addColumn<QRgb>("maskPixel"); // straight ARGB
    QTest::addColumn<int>("alpha");

    // The grey level is read back from the premultiplied pixel:
    // red 100 at alpha 128 is stored as 50 and 50 x 255 / 128 truncates to 99.
    QTest::newRow("half transparent grey: un-premultiplied, truncated") << qRgba(100, 100, 100, 128) << 99;
    QTest::newRow("opaque grey") << qRgba(100, 100, 100, 255) << 100;
    QTest::newRow("fully transparent white counts as level 0") << qRgba(255, 255, 255, 0) << 0;
}

void TestKSPhotoRenderTools::transparentMaskPixels()
{
    QFETCH(QRgb, maskPixel);
    QFETCH(int, alpha);
    QImage mask(1, 1, QImage::Format_ARGB32);
    mask.setPixel(0, 0, maskPixel);
    const QImage photo = uniform(QSize(1, 1), QImage::Format_RGB32, QColor(7, 8, 9));
    QCOMPARE(bytesAt(KSPhotoRenderTools::cutoutImage(photo, mask), 0, 0), (QList<int>{7, 8, 9, alpha}));
}

void TestKSPhotoRenderTools::maskIsStretchedToThePhoto_data()
{
    QTest::addColumn<QSize>("maskSize");
    QTest::newRow("reduced upload size") << QSize(3, 2);
    QTest::newRow("single pixel") << QSize(1, 1);
    QTest::newRow("only narrower") << QSize(4, 7);
    QTest::newRow("only lower") << QSize(12, 2);
    QTest::newRow("larger than the photo") << QSize(40, 30);
}

void TestKSPhotoRenderTools::maskIsStretchedToThePhoto()
{
    QFETCH(QSize, maskSize);
    const QImage photo = uniform(QSize(12, 7), QImage::Format_RGB32, QColor(1, 2, 3));
    const QImage cutout = KSPhotoRenderTools::cutoutImage(photo, greyMask(maskSize, 150));
    QCOMPARE(cutout.size(), photo.size());
    for (int y = 0; y < cutout.height(); ++y)
        for (int x = 0; x < cutout.width(); ++x)
            QCOMPARE(bytesAt(cutout, x, y)[3], 150);
}

void TestKSPhotoRenderTools::stretchedEdgeRisesSteadily()
{
    // A 2 x 1 mask, black on the left and white on the right, over 8 x 4.
    const QImage mask = fromLevels(2, {0, 255});
    const QImage photo = uniform(QSize(8, 4), QImage::Format_RGB32, Qt::white);
    const QImage cutout = KSPhotoRenderTools::cutoutImage(photo, mask);

    for (int y = 0; y < 4; ++y) {
        QCOMPARE(bytesAt(cutout, 0, y)[3], 0);
        QCOMPARE(bytesAt(cutout, 1, y)[3], 0);
        QCOMPARE(bytesAt(cutout, 6, y)[3], 255);
        QCOMPARE(bytesAt(cutout, 7, y)[3], 255);
        for (int x = 1; x < 8; ++x)
            QVERIFY(bytesAt(cutout, x, y)[3] >= bytesAt(cutout, x - 1, y)[3]);
        // Symmetric about the middle, as the two mask pixels are.
        QCOMPARE(bytesAt(cutout, 3, y)[3] + bytesAt(cutout, 4, y)[3], 255);
    }
}

void TestKSPhotoRenderTools::photoWithItsOwnAlpha_data()
{
    QTest::addColumn<QImage::Format>("photoFormat");
    QTest::addColumn<QRgb>("photoPixel"); // straight ARGB
    QTest::addColumn<int>("level");
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<int>("tolerance");

    QTest::newRow("half transparent under white keeps its alpha and colour") << QImage::Format_ARGB32 << qRgba(200, 100, 50, 128) << 255 << QList<int>{200, 100, 50, 128} << 0;
    QTest::newRow("mask and own alpha multiply") << QImage::Format_ARGB32 << qRgba(200, 100, 50, 128) << 128 << QList<int>{200, 100, 50, 64} << 0;
    QTest::newRow("transparent stays transparent") << QImage::Format_ARGB32 << qRgba(0, 0, 0, 0) << 255 << QList<int>{0, 0, 0, 0} << 0;
    QTest::newRow("RGBA8888 input") << QImage::Format_RGBA8888 << qRgba(200, 100, 50, 51) << 255 << QList<int>{200, 100, 50, 51} << 0;
    // Premultiplied storage loses a little colour precision at low alpha.
    QTest::newRow("premultiplied input gets its straight colours back") << QImage::Format_ARGB32_Premultiplied << qRgba(200, 100, 50, 128) << 255 << QList<int>{200, 100, 50, 128} << 1;
}

void TestKSPhotoRenderTools::photoWithItsOwnAlpha()
{
    QFETCH(QImage::Format, photoFormat);
    QFETCH(QRgb, photoPixel);
    QFETCH(int, level);
    QFETCH(QList<int>, bytes);
    QFETCH(int, tolerance);

    QImage photo(1, 1, photoFormat);
    photo.setPixelColor(0, 0, QColor::fromRgba(photoPixel));
    const QList<int> got = bytesAt(KSPhotoRenderTools::cutoutImage(photo, greyMask(QSize(1, 1), level)), 0, 0);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(qAbs(got[i] - bytes[i]) <= tolerance,
                 qPrintable(QStringLiteral("byte %1: got %2, expected %3").arg(i).arg(got[i]).arg(bytes[i])));
}

void TestKSPhotoRenderTools::callersPhotoIsLeftAlone()
{
    const QImage photo = uniform(QSize(4, 4), QImage::Format_RGB32, QColor(9, 9, 9));
    const QImage copy = photo.copy();
    const QImage cutout = KSPhotoRenderTools::cutoutImage(photo, greyMask(photo.size(), 0));
    QCOMPARE(bytesAt(cutout, 0, 0)[3], 0);
    QCOMPARE(photo, copy);
}

void TestKSPhotoRenderTools::tiffDataHoldsTheStraightCutout()
{
    const QImage photo = fromColours(QImage::Format_RGB32, 3, {QColor(200, 100, 50), QColor(10, 250, 90), Qt::white});
    const QImage mask = fromLevels(3, {64, 255, 0});

    const QByteArray data = KSPhotoRenderTools::originalImage(photo, mask);
    QVERIFY(data.startsWith("II*") || data.startsWith("MM"));
    const QImage decoded = QImage::fromData(data, "tiff").convertToFormat(QImage::Format_RGBA8888);
    QCOMPARE(decoded.size(), photo.size());
    // Colour under partial alpha is stored unmultiplied (premultiplied data
    // would read back as 50, 25, 12); Qt's reader premultiplies on the way
    // in, which costs up to 255 / alpha (here 4) of precision.
    const QList<int> partial = bytesAt(decoded, 0, 0);
    QVERIFY(qAbs(partial[0] - 200) <= 4 && qAbs(partial[1] - 100) <= 4 && qAbs(partial[2] - 50) <= 4);
    QCOMPARE(partial[3], 64);
    QCOMPARE(bytesAt(decoded, 1, 0), (QList<int>{10, 250, 90, 255}));
    QCOMPARE(bytesAt(decoded, 2, 0)[3], 0);
}

void TestKSPhotoRenderTools::tallCutoutSpansSeveralStrips()
{
    // 300 x 2000 makes three strips of about 1 MB, the last one short.
    QImage photo(300, 2000, QImage::Format_RGB32);
    QImage mask(300, 2000, QImage::Format_Grayscale8);
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF));
        std::memset(mask.scanLine(y), y % 3 ? 255 : 0, size_t(mask.width()));
    }
    const QImage decoded = QImage::fromData(KSPhotoRenderTools::originalImage(photo, mask), "tiff")
                               .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(decoded.size(), photo.size());
    for (int y = 0; y < photo.height(); y += 7)
        for (int x = 0; x < photo.width(); x += 13)
            QCOMPARE(decoded.pixel(x, y), y % 3 ? photo.pixel(x, y) : qRgba(0, 0, 0, 0));
}

void TestKSPhotoRenderTools::missingPicturesGiveNothing()
{
    const QImage photo = uniform(QSize(2, 2), QImage::Format_RGB32, Qt::red);
    QVERIFY(KSPhotoRenderTools::originalImage(photo, QImage()).isEmpty());
    QVERIFY(KSPhotoRenderTools::originalImage(QImage(), greyMask(QSize(2, 2), 255), true).isEmpty());
    QVERIFY(KSPhotoRenderTools::cutoutImage(QImage(), QImage()).isNull());
}

void TestKSPhotoRenderTools::canvasLayoutFollowsThePicture_data()
{
    QTest::addColumn<QImage::Format>("pictureFormat");
    QTest::addColumn<QImage::Format>("canvasFormat");
    // ARGB32_Premultiplied is bytes B, G, R, A in memory; RGB32 skips the first byte.
    QTest::newRow("cut-out with straight alpha") << QImage::Format_RGBA8888 << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("premultiplied picture") << QImage::Format_ARGB32_Premultiplied << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("opaque photo") << QImage::Format_RGB32 << QImage::Format_RGB32;
    QTest::newRow("grey photo") << QImage::Format_Grayscale8 << QImage::Format_RGB32;
    QTest::newRow("alpha only") << QImage::Format_Alpha8 << QImage::Format_RGB32;
}

void TestKSPhotoRenderTools::canvasLayoutFollowsThePicture()
{
    QFETCH(QImage::Format, pictureFormat);
    QFETCH(QImage::Format, canvasFormat);
    const QImage picture = uniform(QSize(2, 2), pictureFormat, Qt::white);
    const QImage canvas = KSPhotoRenderTools::inputImage(picture, Qt::white, QSizeF(4.9, 3.2), QRectF(0, 0, 2, 2));
    QCOMPARE(canvas.format(), canvasFormat);
    QCOMPARE(canvas.size(), QSize(4, 3)); // truncated, not rounded
}

void TestKSPhotoRenderTools::placementCountsFromTheBottomLeft()
{
    const QImage subject = uniform(QSize(5, 5), QImage::Format_ARGB32, Qt::red);
    const QImage canvas =
        KSPhotoRenderTools::inputImage(subject, Qt::transparent, QSizeF(10, 10), QRectF(0, 0, 5, 5));
    QVERIFY(!canvas.isNull());
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x < 5 && y >= 5;
            QCOMPARE(canvas.pixel(x, y), inside ? qRgba(255, 0, 0, 255) : qRgba(0, 0, 0, 0));
        }
    }
}

void TestKSPhotoRenderTools::placementOutsideIsClipped()
{
    const QImage subject = uniform(QSize(4, 4), QImage::Format_ARGB32, Qt::blue);
    const QColor green(0x00, 0xCC, 0x8F);
    // Half of the subject hangs over the right edge, half over the top.
    const QImage canvas = KSPhotoRenderTools::inputImage(subject, green, QSizeF(6, 6), QRectF(4, 4, 4, 4));
    QCOMPARE(canvas.size(), QSize(6, 6));
    QCOMPARE(canvas.pixelColor(5, 0), QColor(Qt::blue));
    QCOMPARE(canvas.pixelColor(4, 1), QColor(Qt::blue));
    QCOMPARE(canvas.pixelColor(3, 1), green);
    QCOMPARE(canvas.pixelColor(5, 2), green);
}

void TestKSPhotoRenderTools::translucentBackgroundIsEvenToTheEdges()
{
    const QImage subject = uniform(QSize(1, 1), QImage::Format_ARGB32, Qt::transparent);
    const QImage canvas =
        KSPhotoRenderTools::inputImage(subject, QColor(255, 0, 0, 128), QSizeF(8, 8), QRectF(0, 0, 1, 1));
    const QRgb middle = canvas.pixel(4, 4);
    QCOMPARE(qAlpha(middle), 128);
    for (const QPoint corner : {QPoint(0, 0), QPoint(7, 0), QPoint(0, 7), QPoint(7, 7), QPoint(3, 0)})
        QCOMPARE(canvas.pixel(corner), middle);
}

void TestKSPhotoRenderTools::emptyCanvasGivesNothing()
{
    const QImage subject = uniform(QSize(2, 2), QImage::Format_ARGB32, Qt::red);
    QVERIFY(KSPhotoRenderTools::inputImage(subject, Qt::white, QSizeF(0, 0), QRectF(0, 0, 2, 2)).isNull());
    QVERIFY(KSPhotoRenderTools::inputImage(subject, Qt::white, QSizeF(10, 0.5), QRectF(0, 0, 2, 2)).isNull());
}

void TestKSPhotoRenderTools::bitmapIsPremultipliedRgbaInMemoryOrder()
{
    const QImage picture = fromColours(QImage::Format_ARGB32, 2, {QColor(200, 100, 50, 128), QColor(1, 2, 3)});
    const QImage bitmap = KSImageConvert::convertImageToBitmapRGBA8(picture);
    QCOMPARE(bitmap.bytesPerLine(), 8);
    const uchar *p = bitmap.constBits();
    QCOMPARE((QList<int>{p[0], p[1], p[2], p[3]}), (QList<int>{100, 50, 25, 128}));
    QCOMPARE((QList<int>{p[4], p[5], p[6], p[7]}), (QList<int>{1, 2, 3, 255}));
}

void TestKSPhotoRenderTools::bitmapCompletionOrder()
{
    QList<std::size_t> received;
    const QImage bitmap = KSImageConvert::convertImageToBitmapRGBA8(
        uniform(QSize(7, 3), QImage::Format_RGB32, Qt::black),
        [&](std::size_t bytesPerRow, std::size_t height, std::size_t width) { received = {bytesPerRow, height, width}; });
    QCOMPARE(received, (QList<std::size_t>{28, 3, 7}));
    QCOMPARE(bitmap.size(), QSize(7, 3));

    bool called = false;
    QVERIFY(KSImageConvert::convertImageToBitmapRGBA8(QImage(), [&](auto, auto, auto) { called = true; }).isNull());
    QVERIFY(!called);
}

QTEST_GUILESS_MAIN(TestKSPhotoRenderTools)
#include "tst_photorendertools.moc"
