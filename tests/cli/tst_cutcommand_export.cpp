#include "KSColorConst.h"
#include "KSCutExport.h"
#include "KSCutOptions.h"
#include "KSCustomSize.h"
#include "KSUserDefaultKit.h"
#include "PhotoFixtures.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kCutora = QStringLiteral("cutora");

QStringList cutArguments(const QStringList &extra)
{
    return QStringList{kCutora, QStringLiteral("--cut"), QStringLiteral("a.jpg"), QStringLiteral("--type"),
                       QStringLiteral("person")}
           + extra;
}

// A cut-out as the job leaves it: a 300 x 200 picture, transparent but for
// a green subject at (100, 50, 100, 100).
QImage cutout()
{
    QImage image(300, 200, QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    for (int y = 50; y < 150; ++y) {
        for (int x = 100; x < 200; ++x)
            image.setPixelColor(x, y, QColor(0, 200, 0));
    }
    return image;
}

bool near(const QColor &seen, const QColor &expected, int tolerance)
{
    return std::abs(seen.red() - expected.red()) <= tolerance && std::abs(seen.green() - expected.green()) <= tolerance
           && std::abs(seen.blue() - expected.blue()) <= tolerance && std::abs(seen.alpha() - expected.alpha()) <= tolerance;
}

} // namespace

// The command line's background and size: read from the arguments, and
// rendered by the same code as the editor's save.
class TestCutCommandExport : public QObject
{
    Q_OBJECT

private slots:
    void parsesBackgroundAndSize_data();
    void parsesBackgroundAndSize();
    void exportsAsTheEditorSaves_data();
    void exportsAsTheEditorSaves();
    void parsesFraming_data();
    void parsesFraming();
    void framesAndPrints_data();
    void framesAndPrints();
    void aWaistUpPortraitReachesTheBottom_data();
    void aWaistUpPortraitReachesTheBottom();
    void sizesBeyondTheLimitsAreRefusedBeforeRendering_data();
    void sizesBeyondTheLimitsAreRefusedBeforeRendering();
    void exportRefusesASizeBeyondTheLimits();
    void aPngAtTheCutoutsSizeIsWrittenInBands_data();
    void aPngAtTheCutoutsSizeIsWrittenInBands();
};

void TestCutCommandExport::parsesBackgroundAndSize_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("colour"); // -1 for transparent
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<QString>("format");

    const QStringList png{"--out", "a.png"};
    QTest::newRow("nothing added: transparent at the photo's size") << cutArguments(png) << true << -1LL << QSizeF() << "png";
    QTest::newRow("a colour with #") << cutArguments(png + QStringList{"--background", "#3A7BD5"}) << true << 0x3A7BD5LL << QSizeF() << "png";
    QTest::newRow("a colour without #") << cutArguments(png + QStringList{"--background=ffffff"}) << true << 0xFFFFFFLL << QSizeF() << "png";
    QTest::newRow("a short colour") << cutArguments(png + QStringList{"--background", "#fff"}) << false << 0LL << QSizeF() << "";

    QTest::newRow("any size") << cutArguments(png + QStringList{"--size", "600x800"}) << true << -1LL << QSizeF(600, 800) << "png";
    QTest::newRow("a certificate preset by name") << cutArguments(png + QStringList{"--size", "1Inch"}) << true << -1LL << QSizeF(295, 413) << "png";
    QTest::newRow("a preset of the other language's list") << cutArguments(png + QStringList{"--size", "OverseaInch2"}) << true << -1LL << QSizeF(466, 600) << "png";
    // Without --size the photo keeps its size; a size of no pixels is a mistake.
    QTest::newRow("no pixels at all") << cutArguments(png + QStringList{"--size", "0x0"}) << false << 0LL << QSizeF() << "";
    QTest::newRow("no pixels on one side") << cutArguments(png + QStringList{"--size", "600x0"}) << false << 0LL << QSizeF() << "";
    QTest::newRow("a size no picture can have") << cutArguments(png + QStringList{"--size", "40000x10"}) << false << 0LL << QSizeF() << "";
    QTest::newRow("an unknown preset") << cutArguments(png + QStringList{"--size", "passport"}) << false << 0LL << QSizeF() << "";

    QTest::newRow("JPEG file on a colour") << cutArguments({"--out", "a.JPG", "--background", "#00CC8F"}) << true << 0x00CC8FLL << QSizeF() << "jpg";
    QTest::newRow("JPEG file without a colour") << cutArguments({"--out", "a.jpg"}) << false << 0LL << QSizeF() << "";
    QTest::newRow("a folder on a colour gets PNGs") << cutArguments({"--out-dir", "o", "--background", "#000000"}) << true << 0x000000LL << QSizeF() << "png";
}

void TestCutCommandExport::parsesBackgroundAndSize()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(qint64, colour);
    QFETCH(QSizeF, size);
    QFETCH(QString, format);
    QString error;
    const auto options = KSCutOptions::parse(arguments, &error);
    QCOMPARE(options.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!options)
        return;
    QCOMPARE(options->background, colour < 0 ? KSClear_Color() : KSRGBHexColor(colour));
    QCOMPARE(options->size, size);
    QCOMPARE(options->outputFormat(), format);
}

void TestCutCommandExport::exportsAsTheEditorSaves_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("fileFormat");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("subjectPoint");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<int>("tolerance");

    // Untouched pixels: the cut-out itself, exactly.
    QTest::newRow("transparent at the photo's size")
        << QStringList{} << "cut.png" << QByteArray("png") << QSize(300, 200) << QPoint(150, 100) << QColor(0, 0, 0, 0) << 0;
    QTest::newRow("JPEG on a colour")
        << QStringList{"--background", "#FF0000"} << "cut.jpg" << QByteArray("jpeg") << QSize(300, 200) << QPoint(150, 100)
        << QColor(255, 0, 0) << 6;
    // The centred square (50, 0, 200, 200) enlarged five times: the subject
    // lands at (250, 250, 500, 500).
    QTest::newRow("a preset shows the photo's middle at its size")
        << QStringList{"--size", "1000x1000px", "--background", "#FFFFFF"} << "cut.png" << QByteArray("png") << QSize(1000, 1000)
        << QPoint(500, 500) << QColor(255, 255, 255) << 0;
}

void TestCutCommandExport::exportsAsTheEditorSaves()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, file);
    QFETCH(QByteArray, fileFormat);
    QFETCH(QSize, size);
    QFETCH(QPoint, subjectPoint);
    QFETCH(QColor, background);
    QFETCH(int, tolerance);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QString error;
    const auto options = KSCutOptions::parse(cutArguments(QStringList{"--out", path} + extra), &error);
    QVERIFY2(options, qPrintable(error));

    const KSImageWriter::Result written = KSCutExport::exportCutout(cutout(), *options, path);
    QVERIFY2(written.ok, qPrintable(written.error));
    QImageReader reader(path);
    QCOMPARE(reader.format(), fileFormat);
    const QImage saved = reader.read().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(saved.size(), size);
    for (const QPoint corner : {QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1)})
        QVERIFY2(near(saved.pixelColor(corner), background, tolerance), qPrintable(saved.pixelColor(corner).name(QColor::HexArgb)));
    QVERIFY2(near(saved.pixelColor(subjectPoint), QColor(0, 200, 0), tolerance), qPrintable(saved.pixelColor(subjectPoint).name()));
}

void TestCutCommandExport::parsesFraming_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("fit"); // KSFitMode
    QTest::addColumn<double>("margin");

    const QStringList png{"--out", "a.png"};
    const int subject = int(KSFitMode::subject), photo = int(KSFitMode::photo);
    QTest::newRow("the subject is fitted with 5 % unless told") << png << true << subject << 0.05;
    QTest::newRow("the photo's centred part") << png + QStringList{"--fit", "photo"} << true << photo << 0.05;
    QTest::newRow("a margin in percent") << png + QStringList{"--margin", "12.5%"} << true << subject << 0.125;
    QTest::newRow("no margin") << png + QStringList{"--margin=0"} << true << subject << 0.0;
    QTest::newRow("a margin that leaves no room") << png + QStringList{"--margin", "60"} << false << 0 << 0.0;
    QTest::newRow("a margin that is no number") << png + QStringList{"--margin", "wide"} << false << 0 << 0.0;
    QTest::newRow("an unknown fit") << png + QStringList{"--fit", "face"} << false << 0 << 0.0;
    QTest::newRow("a sheet of an ID size") << png + QStringList{"--size", "OverseaInch1", "--sheet", "a4"} << true << subject << 0.05;
    QTest::newRow("a sheet of a size without a printed size") << png + QStringList{"--size", "800x800", "--sheet", "4x6"} << false << 0 << 0.0;
    QTest::newRow("a sheet without a size") << png + QStringList{"--sheet", "A6"} << false << 0 << 0.0;
    QTest::newRow("an unknown paper") << png + QStringList{"--size", "1Inch", "--sheet", "letter"} << false << 0 << 0.0;
}

void TestCutCommandExport::parsesFraming()
{
    QFETCH(QStringList, extra);
    QFETCH(bool, valid);
    QString error;
    const auto options = KSCutOptions::parse(cutArguments(extra), &error);
    QCOMPARE(options.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!options)
        return;
    QFETCH(int, fit);
    QFETCH(double, margin);
    QCOMPARE(int(options->fit), fit);
    QCOMPARE(options->margin, margin);
}

void TestCutCommandExport::framesAndPrints_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("subjectPoint");
    QTest::addColumn<QPoint>("backgroundPoint");
    QTest::addColumn<int>("dotsPerInch"); // 0: none written (PNG) or Qt's own (JPEG)

    // The 100 x 100 subject fitted into 800 x 800 with 5 % (40 px) free on
    // each side: it spans (40, 40) to (760, 760).
    QTest::newRow("fit subject keeps the subject whole with its margin")
        << QStringList{"--size", "800x800px", "--background", "#FFFFFF"} << "fit.png" << QSize(800, 800)
        << QPoint(45, 400) << QPoint(30, 400) << 0;
    // The photo's centred square (50, 0, 200, 200) at four times: the
    // subject spans (200, 200) to (600, 600).
    QTest::newRow("fit photo shows the photo's middle")
        << QStringList{"--size", "800x800px", "--fit", "photo", "--background", "#FFFFFF"} << "photo.png"
        << QSize(800, 800) << QPoint(210, 400) << QPoint(190, 400) << 0;
    QTest::newRow("an ID size prints at 300 dpi (PNG pHYs)")
        << QStringList{"--size", "OverseaInch1", "--background", "#FFFFFF"} << "id.png" << QSize(600, 600)
        << QPoint(300, 300) << QPoint(5, 5) << 300;
    QTest::newRow("an ID size prints at 300 dpi (JFIF density)")
        << QStringList{"--size", "1Inch", "--background", "#FFFFFF"} << "id.jpg" << QSize(295, 413)
        << QPoint(147, 206) << QPoint(3, 3) << 300;
    // Six 35 x 45 mm copies on a 4 x 6 in sheet, upright.
    QTest::newRow("a print sheet at 300 dpi")
        << QStringList{"--size", "Min2Inch", "--background", "#FFFFFF", "--sheet", "4x6"} << "sheet.jpg"
        << QSize(1200, 1800) << QPoint(-1, -1) << QPoint(2, 2) << 300;
}

void TestCutCommandExport::framesAndPrints()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(QPoint, subjectPoint);
    QFETCH(QPoint, backgroundPoint);
    QFETCH(int, dotsPerInch);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QString error;
    const auto options = KSCutOptions::parse(cutArguments(QStringList{"--out", path} + extra), &error);
    QVERIFY2(options, qPrintable(error));
    KSFraming::Notice notice = KSFraming::Notice::none;
    const KSImageWriter::Result written = KSCutExport::exportCutout(cutout(), *options, path, &notice);
    QVERIFY2(written.ok, qPrintable(written.error));

    const QImage saved = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(saved.size(), size);
    QVERIFY(near(saved.pixelColor(backgroundPoint), Qt::white, 6));
    if (subjectPoint.x() >= 0)
        QVERIFY2(near(saved.pixelColor(subjectPoint), QColor(0, 200, 0), 6), qPrintable(saved.pixelColor(subjectPoint).name()));
    if (dotsPerInch > 0) {
        QCOMPARE(qRound(saved.dotsPerMeterX() * 0.0254), dotsPerInch);
        QCOMPARE(qRound(saved.dotsPerMeterY() * 0.0254), dotsPerInch);
    }
    // A green square has no face: an ID size says so and frames plainly.
    QCOMPARE(notice, options->preset.idRule ? KSFraming::Notice::noFace : KSFraming::Notice::none);
}

void TestCutCommandExport::aWaistUpPortraitReachesTheBottom_data()
{
    QTest::addColumn<QString>("size");
    QTest::newRow("a shop size") << "1000x1000px";
    // No face in the drawing: the rule falls back to the plain fit.
    QTest::newRow("an ID size's plain fit") << "OverseaInch1";
}

void TestCutCommandExport::aWaistUpPortraitReachesTheBottom()
{
    QFETCH(QString, size);
    QString error;
    const auto options = KSCutOptions::parse(
        cutArguments({"--out", "x.png", "--size", size, "--background", "#FFFFFF"}), &error);
    QVERIFY2(options, qPrintable(error));
    const QImage rendered = KSCutExport::renderCutout(PhotoFixtures::waistUpCutout(QSize(300, 200)), *options)
                                .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!rendered.isNull());
    // The bottom rows under the torso are the torso, not the backdrop; the
    // head keeps its margin below the top.
    const int middle = rendered.width() / 2;
    for (int y = rendered.height() - 3; y < rendered.height(); ++y)
        QVERIFY2(near(rendered.pixelColor(middle, y), QColor::fromRgb(PhotoFixtures::kTorsoColour), 8),
                 qPrintable(QStringLiteral("row %1: %2").arg(y).arg(rendered.pixelColor(middle, y).name())));
    QVERIFY(near(rendered.pixelColor(middle, 2), Qt::white, 6));
}

void TestCutCommandExport::sizesBeyondTheLimitsAreRefusedBeforeRendering_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("custom"); // "W H UNIT DPI" in the settings, or empty
    QTest::addColumn<QString>("refusal"); // words of the message; empty when accepted

    const QStringList custom{"--size", "Custom"};
    // --size WxH allows 30000 a side and 200 megapixels; the custom size
    // obeys the same, whoever typed it into the settings.
    QTest::newRow("WxH at the area limit") << QStringList{"--size", "14142x14142"} << "" << "";
    QTest::newRow("WxH just past it") << QStringList{"--size", "14143x14143"} << "" << "200 megapixels";
    QTest::newRow("custom size in pixels within the limits") << custom << "3000 3000 px 300" << "";
    QTest::newRow("custom size of 900 megapixels") << custom << "30000 30000 px 300" << "custom size in the settings";
    QTest::newRow("custom size of 635 mm at 1200 dpi, for a sheet")
        << custom + QStringList{"--sheet", "A4"} << "635 635 mm 1200" << "custom size in the settings";
    // A sheet's room is known from the printed size: no job for no copy.
    QTest::newRow("custom size larger than the paper")
        << custom + QStringList{"--sheet", "A4"} << "300 300 mm 300" << "no copy of a 300 x 300 mm photo fits on A4 paper";
    QTest::newRow("custom size that fits the paper") << custom + QStringList{"--sheet", "4x6"} << "35 45 mm 300" << "";
}

void TestCutCommandExport::sizesBeyondTheLimitsAreRefusedBeforeRendering()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, custom);
    QFETCH(QString, refusal);
    KSUserDefaultKit::openStore()->clear();
    if (!custom.isEmpty()) {
        const QStringList parts = custom.split(u' ');
        KSUserDefaultKit::saveToUserDefaultsForKey(KSCustomSize::kWidthKey, parts[0].toDouble());
        KSUserDefaultKit::saveToUserDefaultsForKey(KSCustomSize::kHeightKey, parts[1].toDouble());
        KSUserDefaultKit::saveToUserDefaultsForKey(KSCustomSize::kUnitKey, parts[2]);
        KSUserDefaultKit::saveToUserDefaultsForKey(KSCustomSize::kDpiKey, parts[3].toInt());
    }
    QString error;
    const auto options = KSCutOptions::parse(cutArguments(QStringList{"--out", "a.png"} + extra), &error);
    KSUserDefaultKit::openStore()->clear();
    QVERIFY2(error.contains(refusal), qPrintable(error));
    QCOMPARE(options.has_value(), refusal.isEmpty());
}

void TestCutCommandExport::exportRefusesASizeBeyondTheLimits()
{
    // Options made otherwise than by parsing still never render beyond the
    // limits: 30000 x 7000 is within a side and past 200 megapixels.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.png"));
    QString error;
    auto options = KSCutOptions::parse(cutArguments({"--out", path, "--size", "600x800", "--fit", "photo"}), &error);
    QVERIFY2(options, qPrintable(error));
    options->preset.width = 30000;
    options->preset.height = 7000;
    options->size = QSizeF(30000, 7000);
    const KSImageWriter::Result written = KSCutExport::exportCutout(cutout(), *options, path);
    QVERIFY(!written.ok);
    QVERIFY2(written.error.contains(QStringLiteral("beyond the limit")), qPrintable(written.error));
    QVERIFY(!QFile::exists(path));
}

void TestCutCommandExport::aPngAtTheCutoutsSizeIsWrittenInBands_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::newRow("transparent") << QStringList{};
    QTest::newRow("on a colour") << QStringList{"--background", "#3A7BD5"};
}

void TestCutCommandExport::aPngAtTheCutoutsSizeIsWrittenInBands()
{
    QFETCH(QStringList, extra);
    // Taller than a band, with a soft edge and colours that differ row by
    // row, so that a band out of place or blended twice shows.
    QImage picture(90, 700, QImage::Format_RGBA8888);
    picture.fill(Qt::transparent);
    for (int y = 20; y < 680; ++y)
        for (int x = 10; x < 80; ++x)
            picture.setPixelColor(x, y, QColor(x * 3, y % 256, (x + y) % 256, x < 20 ? 40 + x * 10 : 255));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.png"));
    QString error;
    const auto options = KSCutOptions::parse(cutArguments(QStringList{"--out", path} + extra), &error);
    QVERIFY2(options, qPrintable(error));

    const QImage rendered = KSCutExport::renderCutout(picture, *options);
    const KSImageWriter::Result written = KSCutExport::exportCutout(picture, *options, path);
    QVERIFY2(written.ok, qPrintable(written.error));
    const QImage saved = QImage(path);
    QCOMPARE(saved.size(), picture.size());
    QCOMPARE(saved.convertToFormat(QImage::Format_ARGB32), rendered.convertToFormat(QImage::Format_ARGB32));
}

QTEST_GUILESS_MAIN(TestCutCommandExport)
#include "tst_cutcommand_export.moc"
