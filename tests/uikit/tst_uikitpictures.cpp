#include "KSImageNamed.h"
#include "KSPixmapExtension.h"

#include <QDir>
#include <QTest>

// Pictures the screens ask for by name. A missing one would show as an
// empty button or a checkerboard-less canvas, silently.
static const char *const kNamedPictures[] = {
    "helpNormal", "helpHover", "settingNormal", "settingHover", "userIconNormal", "userIconHover",
    "personIconNormal", "personIconHover", "objectIconNormal", "objectIconHover", "settingFolder",
    "mainCloseGray", "masaike", "mirroringIcon", "gray_white_small", "color_more", "changeBgIconNormal",
    "changeBgIconHover", "changeSizeIconNormal", "changeSizeIconHove", "watermarkzhongwen", "watermarkyingwen",
    "windowCloseNormal", "windowCloseHover", "windowMinimizeNormal", "windowMinimizeHover", "windowZoomNormal",
    "windowZoomHover", "windowRestoreNormal", "windowRestoreHover",
};

class TestUikitPictures : public QObject
{
    Q_OBJECT

private slots:
    void everyNamedPictureLoads_data();
    void everyNamedPictureLoads();
    void everyIconFileIsCompiledIn();
    void unknownNameGivesNull();
    void mirrorIconHasItsCanvasSize();
    void squareCircleImage_data();
    void squareCircleImage();
    void adjuectWithNewSizeGivesExactPoints();
};

void TestUikitPictures::everyNamedPictureLoads_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : kNamedPictures)
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestUikitPictures::everyNamedPictureLoads()
{
    QFETCH(QString, name);
    const QPixmap picture = KSImageNamed(name);
    QVERIFY2(!picture.isNull(), qPrintable(name));
    QVERIFY(!picture.deviceIndependentSize().isEmpty());
    // Drawn, not blank.
    const QImage pixels = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    bool anyVisible = false;
    for (int y = 0; y < pixels.height() && !anyVisible; ++y)
        for (int x = 0; x < pixels.width() && !anyVisible; ++x)
            anyVisible = qAlpha(pixels.pixel(x, y)) > 0;
    QVERIFY(anyVisible);
}

void TestUikitPictures::everyIconFileIsCompiledIn()
{
    // An SVG dropped into the folder but not into the resource list would
    // load in nobody's build.
    const QString source = qEnvironmentVariable("CUTORA_SOURCE_DIR");
    if (source.isEmpty())
        QSKIP("CUTORA_SOURCE_DIR is not set");
    const QStringList files = QDir(source + QStringLiteral("/resources/icons"))
                                  .entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    QStringList names;
    for (const QString &file : files)
        names.append(file.chopped(4));
    QVERIFY(!names.isEmpty());
    QCOMPARE(KSImageNames(), names);
}

void TestUikitPictures::unknownNameGivesNull()
{
    QVERIFY(KSImageNamed(QStringLiteral("noSuchPicture")).isNull());
    QVERIFY(KSImageNamed(QString()).isNull());
}

void TestUikitPictures::mirrorIconHasItsCanvasSize()
{
    // The canvas places it in a 24 x 24 frame on the subject's corner.
    QCOMPARE(KSImageNamed(QStringLiteral("mirroringIcon")).deviceIndependentSize(), QSizeF(24, 24));
}

void TestUikitPictures::squareCircleImage_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("side");
    QTest::newRow("landscape keeps its centre square") << QSize(40, 20) << 20;
    QTest::newRow("portrait keeps its centre square") << QSize(20, 40) << 20;
    QTest::newRow("square") << QSize(30, 30) << 30;
    QTest::newRow("one pixel") << QSize(1, 1) << 1;
}

void TestUikitPictures::squareCircleImage()
{
    QFETCH(QSize, size);
    QFETCH(int, side);
    // Left half red, right half blue: the centre square shows both.
    QImage source(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            source.setPixel(x, y, x < size.width() / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));

    const QImage circle = KSPixmapExtension::squareCircleImage(source);
    QCOMPARE(circle.size(), QSize(side, side));
    if (side < 4)
        return;
    QCOMPARE(qAlpha(circle.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(circle.pixel(side - 1, side - 1)), 0);
    const QColor left = QColor::fromRgba(circle.pixel(side / 4, side / 2));
    const QColor right = QColor::fromRgba(circle.pixel(side * 3 / 4, side / 2));
    QCOMPARE(left.alpha(), 255);
    QVERIFY(left.red() > 200 && left.blue() < 50);
    QVERIFY(right.blue() > 200 && right.red() < 50);
    QVERIFY(KSPixmapExtension::squareCircleImage(QImage()).isNull());
}

void TestUikitPictures::adjuectWithNewSizeGivesExactPoints()
{
    QPixmap avatar(100, 50);
    avatar.fill(Qt::green);
    const QPixmap small = KSPixmapExtension::adjuectWithNewSize(avatar, QSizeF(20, 20));
    QCOMPARE(small.deviceIndependentSize(), QSizeF(20, 20));
    QVERIFY(KSPixmapExtension::adjuectWithNewSize(QPixmap(), QSizeF(20, 20)).isNull());
    QVERIFY(KSPixmapExtension::adjuectWithNewSize(avatar, QSizeF(0, 20)).isNull());
    QCOMPARE(KSPixmapExtension::squareCircleImage(small).deviceIndependentSize(), QSizeF(20, 20));
}

QTEST_MAIN(TestUikitPictures)
#include "tst_uikitpictures.moc"
