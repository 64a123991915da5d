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

QTEST_GUILESS_MAIN(TestKSImageWriter)
#include "tst_ksimagewriter.moc"
