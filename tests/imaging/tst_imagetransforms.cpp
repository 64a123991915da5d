#include "KSCutImageAlpha.h"
#include "KSImageExtension.h"

#include <QTest>

namespace {

// A transparent picture with an opaque block of `colour` over `block`.
QImage subjectOn(QSize size, QRect block, QColor colour, QImage::Format format = QImage::Format_ARGB32_Premultiplied)
{
    QImage image(size, format);
    image.fill(Qt::transparent);
    for (int y = block.top(); y <= block.bottom(); ++y)
        for (int x = block.left(); x <= block.right(); ++x)
            image.setPixelColor(x, y, colour);
    return image;
}

// Every pixel a different colour, so that moved pixels show.
QImage numbered(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x, y, 7));
    return image;
}

} // namespace

class TestImageTransforms : public QObject
{
    Q_OBJECT

private slots:
    void boundsHoldTheVisibleSubject_data();
    void boundsHoldTheVisibleSubject();
    void boundsOfNothingVisibleAreTheWholePicture_data();
    void boundsOfNothingVisibleAreTheWholePicture();
    void boundsScanRefusesMalformedBitmaps_data();
    void boundsScanRefusesMalformedBitmaps();
    void croppingToTheBoundsKeepsEveryVisiblePixel();

    void crop_data();
    void crop();
    void flipMirrorsLeftToRight();
    void scale_data();
    void scale();
    void resize_data();
    void resize();
};

void TestImageTransforms::boundsHoldTheVisibleSubject_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QRectF>("bounds");

    const QSize size(40, 30);
    const QRect block(10, 5, 11, 4); // columns 10 to 20, rows 5 to 8
    QTest::newRow("outermost column and row included") << subjectOn(size, block, Qt::white) << QRectF(block);
    // Red is 0 in these: a scan of the red byte would lose them.
    QTest::newRow("black subject") << subjectOn(size, block, Qt::black) << QRectF(block);
    QTest::newRow("blue subject") << subjectOn(size, block, Qt::blue) << QRectF(block);
    QTest::newRow("dark green, half transparent") << subjectOn(size, block, QColor(0, 40, 0, 128)) << QRectF(block);
    QTest::newRow("alpha 6 is visible") << subjectOn(size, block, QColor(255, 255, 255, 6)) << QRectF(block);
    QTest::newRow("single visible pixel") << subjectOn(size, QRect(3, 4, 1, 1), Qt::black) << QRectF(3, 4, 1, 1);
    QTest::newRow("subject touching every edge") << subjectOn(size, QRect(QPoint(0, 0), size), Qt::red) << QRectF(0, 0, 40, 30);
    QTest::newRow("RGBA8888 cut-out") << subjectOn(size, block, Qt::blue, QImage::Format_RGBA8888) << QRectF(block);
    QTest::newRow("layout that needs converting") << subjectOn(size, block, Qt::blue, QImage::Format_ARGB4444_Premultiplied) << QRectF(block);

    // Faint pixels around the subject (alpha 5) do not count.
    QImage faint = subjectOn(size, block, Qt::white);
    faint.setPixelColor(0, 0, QColor(255, 255, 255, 5));
    faint.setPixelColor(39, 29, QColor(255, 255, 255, 5));
    QTest::newRow("alpha 5 is not visible") << faint << QRectF(block);

    // Two separate parts: the bounds hold both.
    QImage parts = subjectOn(size, QRect(2, 20, 3, 3), Qt::black);
    parts.setPixelColor(35, 1, Qt::black);
    QTest::newRow("two parts far apart") << parts << QRectF(2, 1, 34, 22);
}

void TestImageTransforms::boundsHoldTheVisibleSubject()
{
    QFETCH(QImage, picture);
    QFETCH(QRectF, bounds);
    QCOMPARE(KSCutImageAlpha::getProperImage(picture), bounds);
}

void TestImageTransforms::boundsOfNothingVisibleAreTheWholePicture_data()
{
    QTest::addColumn<QImage>("picture");
    QImage transparent(12, 9, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    QTest::newRow("fully transparent") << transparent;
    QImage faint(12, 9, QImage::Format_ARGB32);
    faint.fill(QColor(0, 0, 0, 5));
    QTest::newRow("only faint pixels") << faint;
    QImage opaque(12, 9, QImage::Format_RGB32);
    opaque.fill(Qt::black);
    QTest::newRow("no alpha channel") << opaque;
}

void TestImageTransforms::boundsOfNothingVisibleAreTheWholePicture()
{
    QFETCH(QImage, picture);
    QCOMPARE(KSCutImageAlpha::getProperImage(picture), QRectF(0, 0, 12, 9));
}

void TestImageTransforms::boundsScanRefusesMalformedBitmaps_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bytesPerPixel");
    QTest::addColumn<int>("bytesPerRow");
    QTest::addColumn<bool>("bitmap");

    QTest::newRow("no bitmap") << 2 << 2 << 4 << 8 << false;
    QTest::newRow("zero height") << 2 << 0 << 4 << 8 << true;
    QTest::newRow("two bytes per pixel") << 2 << 2 << 2 << 8 << true;
    QTest::newRow("rows shorter than their pixels") << 3 << 2 << 4 << 8 << true;
}

void TestImageTransforms::boundsScanRefusesMalformedBitmaps()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bytesPerPixel);
    QFETCH(int, bytesPerRow);
    QFETCH(bool, bitmap);

    const QByteArray pixels(64, char(0xFF));
    int rect[4] = {-7, -7, -7, -7};
    const auto *data = bitmap ? reinterpret_cast<const unsigned char *>(pixels.constData()) : nullptr;
    QCOMPARE(KSCutImageAlpha::visibleBounds(data, width, height, bytesPerPixel, bytesPerRow, rect), -1);
    QCOMPARE((QList<int>{rect[0], rect[1], rect[2], rect[3]}), (QList<int>{-7, -7, -7, -7}));
}

void TestImageTransforms::croppingToTheBoundsKeepsEveryVisiblePixel()
{
    const QImage picture = subjectOn(QSize(50, 40), QRect(10, 5, 11, 4), Qt::black);
    const QImage subject = KSImageExtension::cropImageWithRect(picture, KSCutImageAlpha::getProperImage(picture));
    QCOMPARE(subject.size(), QSize(11, 4));
    for (int y = 0; y < subject.height(); ++y)
        for (int x = 0; x < subject.width(); ++x)
            QCOMPARE(subject.pixel(x, y), qRgba(0, 0, 0, 255));
}

void TestImageTransforms::crop_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<QRect>("pixels"); // expected, in the picture's coordinates

    QTest::newRow("whole pixels") << QRectF(2, 3, 4, 5) << QRect(2, 3, 4, 5);
    QTest::newRow("fractions take every pixel touched") << QRectF(1.5, 2.2, 3.1, 1.1) << QRect(1, 2, 4, 2);
    QTest::newRow("partly outside is clipped") << QRectF(-3, -3, 5, 5) << QRect(0, 0, 2, 2);
    QTest::newRow("negative size counts from the other corner") << QRectF(6, 5, -2, -3) << QRect(4, 2, 2, 3);
    QTest::newRow("entirely outside gives nothing") << QRectF(20, 20, 3, 3) << QRect();
    QTest::newRow("huge numbers give the whole picture") << QRectF(-1e12, -1e12, 2e12, 2e12) << QRect(0, 0, 10, 8);
}

void TestImageTransforms::crop()
{
    QFETCH(QRectF, rect);
    QFETCH(QRect, pixels);
    const QImage picture = numbered(QSize(10, 8));
    const QImage cropped = KSImageExtension::cropImageWithRect(picture, rect);
    if (pixels.isNull()) {
        QVERIFY(cropped.isNull());
        return;
    }
    QCOMPARE(cropped.size(), pixels.size());
    QCOMPARE(cropped, picture.copy(pixels));
}

void TestImageTransforms::flipMirrorsLeftToRight()
{
    const QImage picture = numbered(QSize(5, 3));
    const QImage mirrored = KSImageExtension::flipImage(picture);
    QCOMPARE(mirrored.size(), picture.size());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            QCOMPARE(mirrored.pixel(x, y), picture.pixel(4 - x, y));
    QCOMPARE(KSImageExtension::flipImage(mirrored), picture);
    QVERIFY(KSImageExtension::flipImage(QImage()).isNull());
}

void TestImageTransforms::scale_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<QSize>("size");

    QTest::newRow("1 keeps the pixel size") << 1.0 << QSize(10, 6);
    QTest::newRow("0.5 halves both sides") << 0.5 << QSize(5, 3);
    QTest::newRow("fractions round to nearest") << 0.25 << QSize(3, 2);
    QTest::newRow("tiny factor keeps one pixel") << 0.001 << QSize(1, 1);
    QTest::newRow("zero gives nothing") << 0.0 << QSize();
    QTest::newRow("not a number gives nothing") << qQNaN() << QSize();
}

void TestImageTransforms::scale()
{
    QFETCH(double, factor);
    QFETCH(QSize, size);
    const QImage scaled = KSImageExtension::scaleImage(numbered(QSize(10, 6)), factor);
    QCOMPARE(scaled.size(), size.isValid() ? size : QSize(0, 0));
}

void TestImageTransforms::resize_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<QSize>("pixels");

    QTest::newRow("stretched, aspect ratio not kept") << QSizeF(10, 3) << QSize(10, 3);
    QTest::newRow("fraction rounds to nearest") << QSizeF(2000, 1499.625) << QSize(2000, 1500);
    QTest::newRow("half a pixel still gives one") << QSizeF(0.4, 5) << QSize(1, 5);
    QTest::newRow("empty gives nothing") << QSizeF(0, 5) << QSize();
    QTest::newRow("infinite gives nothing") << QSizeF(qInf(), 5) << QSize();
}

void TestImageTransforms::resize()
{
    QFETCH(QSizeF, size);
    QFETCH(QSize, pixels);
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(QColor(80, 90, 100));
    const QImage resized = KSImageExtension::resizeWithNewSize(picture, size);
    QCOMPARE(resized.size(), pixels.isValid() ? pixels : QSize(0, 0));
    if (pixels.isValid())
        QCOMPARE(resized.pixel(pixels.width() - 1, pixels.height() - 1), qRgb(80, 90, 100));
    QCOMPARE(KSImageExtension::adjuectWithNewSize(picture, size).size(), resized.size());
}

QTEST_GUILESS_MAIN(TestImageTransforms)
#include "tst_imagetransforms.moc"
