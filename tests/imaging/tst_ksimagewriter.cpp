#include "KSImageWriter.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

class TestKSImageWriter : public QObject
{
    Q_OBJECT

private slots:
    void pngKeepsStraightColoursAndAlpha_data();
    void pngKeepsStraightColoursAndAlpha();
    void failedWriteLeavesExistingFileAlone_data();
    void failedWriteLeavesExistingFileAlone();
    void jpegHasNoAlpha();
    void bandedWritersWriteTheWholePicture();
    void aBandThatCannotBeMadeLeavesNoFile();
};

void TestKSImageWriter::pngKeepsStraightColoursAndAlpha_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("premultiplied ARGB32") << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("straight RGBA8888") << QImage::Format_RGBA8888;
    QTest::newRow("opaque RGB32") << QImage::Format_RGB32;
}

void TestKSImageWriter::pngKeepsStraightColoursAndAlpha()
{
    QFETCH(QImage::Format, format);
    // Taller than one conversion band, so that band boundaries are crossed.
    QImage source(7, 300, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgba(255, (y * 7) % 256, x * 30, x == 0 ? 0 : 255));
    const QImage input = source.convertToFormat(format);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.png"));
    const auto result = KSImageWriter::writePng(input, path);
    QVERIFY2(result.ok, qPrintable(result.error));

    const QImage read(path);
    QCOMPARE(read.hasAlphaChannel(), input.hasAlphaChannel());
    const QImage back = read.convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(back.size(), source.size());
    const QImage expected = input.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); y += 37)
        for (int x = 1; x < source.width(); ++x)
            QCOMPARE(back.pixel(x, y), expected.pixel(x, y));
    if (input.hasAlphaChannel())
        QCOMPARE(qAlpha(back.pixel(0, 5)), 0);
}

void TestKSImageWriter::failedWriteLeavesExistingFileAlone_data()
{
    QTest::addColumn<bool>("nullImage");
    QTest::addColumn<bool>("folderIsAFile");
    QTest::newRow("nothing to write") << true << false;
    QTest::newRow("parent is a regular file") << false << true;
}

void TestKSImageWriter::failedWriteLeavesExistingFileAlone()
{
    QFETCH(bool, nullImage);
    QFETCH(bool, folderIsAFile);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("keep.png"));
    {
        QFile existing(path);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("user data");
    }
    if (folderIsAFile)
        path = path + QStringLiteral("/inside.png");

    QImage image = nullImage ? QImage() : QImage(4, 4, QImage::Format_ARGB32);
    if (!image.isNull())
        image.fill(Qt::red);
    for (const auto &result : {KSImageWriter::writePng(image, path), KSImageWriter::writeJpeg(image, path)}) {
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
    }
    QFile existing(dir.filePath(QStringLiteral("keep.png")));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("user data"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestKSImageWriter::jpegHasNoAlpha()
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(10, 200, 30));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.jpg"));
    QVERIFY(KSImageWriter::writeJpeg(image, path).ok);
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.read().hasAlphaChannel(), false);
}

void TestKSImageWriter::bandedWritersWriteTheWholePicture()
{
    // Taller than one band, every row different.
    QImage image(90, 300, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 2, y % 256, (x + 2 * y) % 256));
    const auto rowsOf = [&image](int top, int rows) { return image.copy(0, top, image.width(), rows); };
    QTemporaryDir dir;
    const QSizeF dpi(300, 300);

    const QString png = dir.filePath(QStringLiteral("a.png"));
    QVERIFY(KSImageWriter::writePngBands(image.size(), false, rowsOf, png, KSImageWriter::kPngLevel, dpi).ok);
    QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), image);

    // The same encoder settings as Qt's writer: the same pixels and density.
    const QString banded = dir.filePath(QStringLiteral("banded.jpg"));
    const QString whole = dir.filePath(QStringLiteral("whole.jpg"));
    QVERIFY(KSImageWriter::writeJpegBands(image.size(), rowsOf, banded, KSImageWriter::kJpegQuality, dpi).ok);
    QVERIFY(KSImageWriter::writeJpeg(image, whole, KSImageWriter::kJpegQuality, dpi).ok);
    const QImage fromBands(banded);
    const QImage fromWhole(whole);
    QCOMPARE(fromBands.size(), image.size());
    QCOMPARE(fromBands.dotsPerMeterX(), fromWhole.dotsPerMeterX());
    QCOMPARE(fromBands.dotsPerMeterY(), fromWhole.dotsPerMeterY());
    QCOMPARE(fromBands, fromWhole);
    // Without a resolution, the one Qt's writer gives a picture by default.
    QVERIFY(KSImageWriter::writeJpegBands(image.size(), rowsOf, banded).ok);
    QVERIFY(KSImageWriter::writeJpeg(image, whole).ok);
    QCOMPARE(QImage(banded).dotsPerMeterX(), QImage(whole).dotsPerMeterX());
}

void TestKSImageWriter::aBandThatCannotBeMadeLeavesNoFile()
{
    QTemporaryDir dir;
    const QSize size(40, 400);
    const auto failsHalfWay = [&size](int top, int rows) {
        QImage band(size.width(), rows, QImage::Format_RGB32);
        band.fill(Qt::gray);
        return top < size.height() / 2 ? band : QImage();
    };
    for (const QString &name : {QStringLiteral("a.png"), QStringLiteral("a.jpg")}) {
        const QString path = dir.filePath(name);
        const KSImageWriter::Result result = name.endsWith(QLatin1String("png"))
            ? KSImageWriter::writePngBands(size, false, failsHalfWay, path)
            : KSImageWriter::writeJpegBands(size, failsHalfWay, path);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
    }
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

QTEST_GUILESS_MAIN(TestKSImageWriter)
#include "tst_ksimagewriter.moc"
