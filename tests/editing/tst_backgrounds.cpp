#include "KSBackdropPreview.h"
#include "KSBackgroundLayers.h"
#include "KSEditDocument.h"
#include "KSImageWriter.h"
#include "KSOutputRender.h"
#include "KSRecentBackgrounds.h"
#include "PhotoFixtures.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <cmath>

namespace {

constexpr QRgb kGreen = 0xff14a028;
constexpr QRgb kRed = 0xffe61414;
constexpr QRgb kBlue = 0xff1414e6;
const QRect kSubject(150, 110, 100, 80);
// A blue mark on the photo's backdrop, far from the subject.
const QRect kMark(40, 40, 10, 10);

// The photo: a red subject on a green backdrop with a blue mark.
QImage photo()
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(kGreen);
    QPainter painter(&image);
    painter.fillRect(kMark, QColor(kBlue));
    // The subject's colour reaches a pixel beyond its mask, as in a photo.
    painter.fillRect(kSubject.adjusted(-1, -1, 1, 1), QColor(kRed));
    return image;
}

// The cut-out of `shape` (opaque where drawn) in `colour`, clear elsewhere.
QImage cutout(const QRegion &shape = kSubject, QRgb colour = kRed)
{
    QImage image(400, 300, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (const QRect &rect : shape)
        QPainter(&image).fillRect(rect, QColor(colour));
    return image;
}

QImage render(const KSEditDocument &document, bool opaque = false)
{
    KSOutputRender::Request request = document.renderRequest(0);
    request.subject = document.subjectMaker()();
    request.opaque = opaque;
    return KSOutputRender::renderOutputImage(request);
}

KSEditChangeSizeItem sizeItem(qint64 width, qint64 height)
{
    KSEditChangeSizeItem item;
    item.width = width;
    item.height = height;
    return item;
}

// Where the subject lands in the document's output.
QRectF subjectInOutput(const KSEditDocument &document)
{
    const KSOutputRender::Request request = document.renderRequest(0);
    const QRectF region = KSOutputRender::outputRegion(request);
    const QSize size = KSOutputRender::outputPixelSize(request);
    const double k = size.width() / region.width();
    const QRectF s = document.subjectRect();
    return QRectF((s.x() - region.x()) * k, (s.y() - region.y()) * k, s.width() * k, s.height() * k);
}

// A picture of two halves: yellow left, cyan right.
QImage halves(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    QPainter(&image).fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), Qt::cyan);
    return image;
}

bool isWhite(QRgb pixel)
{
    return (pixel | 0xff000000u) == 0xffffffffu && qAlpha(pixel) == 255;
}

} // namespace

// Backgrounds beyond a colour and shadows, on the document alone: what a
// save renders for each, and their steps in the history.
class TestBackgrounds : public QObject
{
    Q_OBJECT

private slots:
    void pictureCoversTheFrame_data();
    void pictureCoversTheFrame();
    void blurredBackdropCarriesNoSubjectColour_data();
    void blurredBackdropCarriesNoSubjectColour();
    void backdropStaysAlignedWithTheSubject();
    void backdropWaitsForThePhotosColours();
    void contactShadowSitsUnderTheBase();
    void contactShadowFollowsTheFootprint();
    void shadowOnTransparencyStaysSemiTransparent();
    void undoAndRedoRestoreEachLook();
    void unreadablePictureLeavesTheBackground();
    void previewShowsWhatTheSaveWrites();
    void recentPicturesAreOfferedNewestFirst();
};

void TestBackgrounds::pictureCoversTheFrame_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QPointF>("offset");
    QTest::addColumn<double>("scale");
    QTest::newRow("landscape on square") << QSize(400, 200) << QSize(300, 300) << QPointF() << 1.0;
    QTest::newRow("portrait on wide") << QSize(100, 300) << QSize(500, 100) << QPointF() << 1.0;
    QTest::newRow("tiny picture, tall frame") << QSize(4, 2) << QSize(90, 600) << QPointF() << 1.0;
    QTest::newRow("moved far right: clamped") << QSize(400, 200) << QSize(300, 300) << QPointF(3, 0) << 1.0;
    QTest::newRow("enlarged and moved up-left") << QSize(400, 400) << QSize(400, 250) << QPointF(-0.3, -0.2) << 2.5;
    QTest::newRow("shrunk below cover: clamped") << QSize(400, 400) << QSize(400, 250) << QPointF() << 0.2;
}

void TestBackgrounds::pictureCoversTheFrame()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, frame);
    QFETCH(QPointF, offset);
    QFETCH(double, scale);
    std::optional<KSEditBackground> background = KSEditBackground::ofPicture(halves(picture));
    QVERIFY(background);
    background->pictureOffset = offset;
    background->pictureScale = scale;
    const QRectF frameRect(QPointF(7, 11), QSizeF(frame));
    const QRectF placed = KSBackgroundLayers::pictureRect(*background, frameRect);
    QVERIFY2(placed.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(frameRect),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height())));
    QCOMPARE(placed.width() / placed.height(), double(picture.width()) / picture.height());

    // Rendered through a document framed at that aspect: the picture's
    // halves where the placement puts them, nothing of the white beneath.
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    document.frame(sizeItem(frame.width(), frame.height()), KSFitMode::photo, QString());
    document.chooseBackground(*background);
    const QImage output = render(document);
    QCOMPARE(output.size(), frame);
    const QRectF region = KSOutputRender::outputRegion(document.renderRequest(0));
    const QRectF inOutput = KSBackgroundLayers::pictureRect(*background, region);
    const double k = output.width() / region.width();
    const double split = (inOutput.center().x() - region.x()) * k;
    // The halves blend over one of the picture's pixels, enlarged.
    const double blend = 2.0 + inOutput.width() * k / picture.width();
    for (const int y : {0, output.height() / 2, output.height() - 1}) {
        for (const int x : {0, output.width() - 1}) {
            if (std::abs(x - split) < blend || subjectInOutput(document).adjusted(-1, -1, 1, 1).contains(QPointF(x, y)))
                continue;
            const QColor seen = output.pixelColor(x, y);
            QCOMPARE(seen, x < split ? QColor(Qt::yellow) : QColor(Qt::cyan));
        }
    }
}

void TestBackgrounds::blurredBackdropCarriesNoSubjectColour_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fit");
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<QPointF>("move");
    QTest::newRow("the cut-out's size") << QSize() << 0 << false << QPointF();
    QTest::newRow("a square framed round the subject") << QSize(600, 600) << int(KSFitMode::subject) << false
                                                       << QPointF();
    QTest::newRow("the photo's middle, wide") << QSize(320, 120) << int(KSFitMode::photo) << false << QPointF();
    QTest::newRow("mirrored and moved") << QSize() << 0 << true << QPointF(-60, 25);
}

void TestBackgrounds::blurredBackdropCarriesNoSubjectColour()
{
    QFETCH(QSize, size);
    QFETCH(int, fit);
    QFETCH(bool, mirrored);
    QFETCH(QPointF, move);
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    document.setPhotoColours(photo());
    QVERIFY(document.hasPhotoColours());
    if (size.isValid())
        document.frame(sizeItem(size.width(), size.height()), KSFitMode(fit), QString());
    if (mirrored)
        document.mirrorSubject(true);
    if (!move.isNull())
        document.moveSubject(document.subjectRect(), document.subjectRect().translated(move));
    document.chooseBackground(KSEditBackground::ofBlurredPhoto(0.04));
    const QImage output = render(document);
    QVERIFY(!output.isNull());
    QVERIFY(!output.hasAlphaChannel());
    const QRectF subject = subjectInOutput(document);
    // From 3 pixels beyond the subject's edge outwards: green, no red. A
    // blur of the photo as it is would carry red well beyond that.
    int checked = 0;
    for (int y = 0; y < output.height(); ++y) {
        for (int x = 0; x < output.width(); ++x) {
            const QPointF p(x + 0.5, y + 0.5);
            if (subject.adjusted(-3, -3, 3, 3).contains(p) || !subject.adjusted(-30, -30, 30, 30).contains(p))
                continue;
            const QColor seen = output.pixelColor(x, y);
            if (seen.blue() > 60)
                continue; // the blue mark, blurred
            ++checked;
            QVERIFY2(seen.red() < 60, qPrintable(QStringLiteral("(%1, %2) is %3").arg(x).arg(y).arg(seen.name())));
        }
    }
    QVERIFY(checked > 1000);
}

void TestBackgrounds::backdropStaysAlignedWithTheSubject()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    document.setPhotoColours(photo());
    document.chooseBackground(KSEditBackground::ofBlurredPhoto(0.0));
    const QPoint mark = kMark.center();
    QCOMPARE(QColor(render(document).pixel(mark)), QColor(kBlue));

    // Moved: the backdrop moves with the subject.
    const QRectF before = document.subjectRect();
    document.moveSubject(before, before.translated(30, 20));
    QCOMPARE(QColor(render(document).pixel(mark + QPoint(30, 20))), QColor(kBlue));
    QVERIFY(QColor(render(document).pixel(mark)) != QColor(kBlue));
    document.undoStack()->undo();

    // Mirrored: about the subject's middle (x = 200).
    document.mirrorSubject(true);
    const QImage mirrored = render(document);
    QCOMPARE(QColor(mirrored.pixel(400 - mark.x() - 1, mark.y())), QColor(kBlue));
    QVERIFY(QColor(mirrored.pixel(mark)) != QColor(kBlue));

    // Halved round its top-left corner: the mark too, (40, 40, 10, 10)
    // becoming (95, 75, 5, 5).
    document.mirrorSubject(false);
    document.moveSubject(before, QRectF(before.topLeft(), before.size() / 2));
    QCOMPARE(QColor(render(document).pixel(97, 77)), QColor(kBlue));
}

void TestBackgrounds::backdropWaitsForThePhotosColours()
{
    // The cut-out alone holds nothing where it was clear: white stands in
    // until the photo's colours arrive, on the screen and in a save.
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    KSBackdropPreview preview(&document);
    document.chooseBackground(KSEditBackground::ofBlurredPhoto());
    QVERIFY(isWhite(render(document).pixel(10, 10)));
    QVERIFY(preview.layers(document.resultCanvasRect(), QSize(100, 75)).backdrop.isNull());
    QSignalSpy changed(&preview, &KSBackdropPreview::changed);
    document.setPhotoColours(photo());
    QVERIFY(changed.count() > 0);
    QCOMPARE(QColor(render(document).pixel(10, 10)), QColor(kGreen));
    QVERIFY(!preview.layers(document.resultCanvasRect(), QSize(100, 75)).backdrop.isNull());
}

void TestBackgrounds::contactShadowSitsUnderTheBase()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout(kSubject, kBlue)));
    document.chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0xFFFFFF)));
    document.chooseShadow(KSEditShadow::contact());
    const QImage output = render(document);
    const int base = kSubject.bottom() + 1;
    // Under the base's middle: dark.
    QVERIFY2(qGray(output.pixel(kSubject.center().x(), base)) < 200, qPrintable(QString::number(qGray(output.pixel(200, base)))));
    // Nothing above the bottom fifth of the subject is touched, nor beyond
    // the footprint's sides.
    const int above = base - kSubject.height() / 5;
    for (int y = 0; y < output.height(); ++y) {
        for (int x = 0; x < output.width(); ++x) {
            if (kSubject.contains(x, y))
                continue;
            if (y < above || x < kSubject.left() - 20 || x > kSubject.right() + 20)
                QVERIFY2(isWhite(output.pixel(x, y)), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
        }
    }
    // Darker, softer and wider shadows follow their values.
    KSEditShadow darker = KSEditShadow::contact();
    darker.darkness = 0.9;
    document.chooseShadow(darker);
    QVERIFY(qGray(render(document).pixel(kSubject.center().x(), base)) < qGray(output.pixel(kSubject.center().x(), base)));
    KSEditShadow wider = KSEditShadow::contact();
    wider.size = 1.6;
    document.chooseShadow(wider);
    QVERIFY(!isWhite(render(document).pixel(kSubject.left() - 15, base)));
    QVERIFY(isWhite(output.pixel(kSubject.left() - 15, base)));
}

void TestBackgrounds::contactShadowFollowsTheFootprint()
{
    // A T: a wide top on a narrow stem. The shadow lies under the stem.
    const QRect top(150, 110, 100, 20);
    const QRect stem(190, 130, 20, 60);
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout(QRegion(top) + stem, kBlue)));
    document.chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0xFFFFFF)));
    document.chooseShadow(KSEditShadow::contact());
    const QImage output = render(document);
    const int base = stem.bottom() + 1;
    QVERIFY(!isWhite(output.pixel(stem.center().x(), base)));
    QVERIFY(isWhite(output.pixel(stem.left() - 15, base)));
    QVERIFY(isWhite(output.pixel(stem.right() + 15, base)));
}

void TestBackgrounds::shadowOnTransparencyStaysSemiTransparent()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    KSEditShadow shadow = KSEditShadow::drop();
    shadow.offset = QPointF(0.1, 0.1); // 8 pixels of the 80-pixel subject
    shadow.opacity = 0.5;
    document.chooseShadow(shadow);
    const QImage output = render(document);
    QVERIFY(output.hasAlphaChannel());
    // Beyond the subject's bottom-right corner, inside the moved silhouette.
    const QPoint inShadow(kSubject.right() + 4, kSubject.bottom() + 4);
    const QColor seen = output.pixelColor(inShadow);
    QVERIFY2(seen.alpha() > 60 && seen.alpha() < 255, qPrintable(QString::number(seen.alpha())));
    QCOMPARE(seen.red() + seen.green() + seen.blue(), 0);
    QCOMPARE(output.pixelColor(10, 10).alpha(), 0);

    // Kept so in the PNG.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("shadow.png"));
    QVERIFY(KSImageWriter::writePng(output, path, KSImageWriter::kPngLevel).ok);
    const QImage read(path);
    QCOMPARE(read.pixelColor(inShadow).alpha(), seen.alpha());

    // A JPEG has no alpha: the shadow lies on white there.
    const QImage flat = render(document, true);
    QVERIFY(!flat.hasAlphaChannel());
    QVERIFY(qGray(flat.pixel(inShadow)) < 230);
    QVERIFY(isWhite(flat.pixel(10, 10)));
}

void TestBackgrounds::undoAndRedoRestoreEachLook()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    document.setPhotoColours(photo());
    QUndoStack *stack = document.undoStack();
    QSignalSpy shadowChanged(&document, &KSEditDocument::shadowChanged);
    const QImage plain = render(document);

    const std::optional<KSEditBackground> picture = KSEditBackground::ofPicture(halves(QSize(64, 48)));
    QVERIFY(picture);
    document.chooseBackground(*picture);
    const QImage onPicture = render(document);

    // A slider's drag: one step; a second drag after finishDrag(): another.
    for (const double blur : {0.01, 0.02, 0.03})
        document.chooseBackground(KSEditBackground::ofBlurredPhoto(blur), true);
    document.finishDrag();
    QCOMPARE(stack->count(), 2);
    const QImage blurred = render(document);
    document.chooseBackground(KSEditBackground::ofBlurredPhoto(0.045), true);
    document.finishDrag();
    QCOMPARE(stack->count(), 3);

    for (const double opacity : {0.2, 0.4, 0.6}) {
        KSEditShadow drop = KSEditShadow::drop();
        drop.opacity = opacity;
        document.chooseShadow(drop, true);
    }
    document.finishDrag();
    QCOMPARE(stack->count(), 4);
    QCOMPARE(shadowChanged.count(), 3);
    const QImage shadowed = render(document);
    QCOMPARE(shadowed, render(document));

    stack->undo();
    QVERIFY(document.shadow().isNone());
    stack->undo();
    QCOMPARE(render(document), blurred);
    stack->undo();
    QCOMPARE(render(document), onPicture);
    stack->undo();
    QCOMPARE(render(document), plain);
    for (int step = 0; step < 4; ++step)
        stack->redo();
    QCOMPARE(render(document), shadowed);
    QCOMPARE(document.shadow().opacity, 0.6);
}

void TestBackgrounds::unreadablePictureLeavesTheBackground()
{
    QTemporaryDir folder;
    const QString text = folder.filePath(QStringLiteral("notes.png"));
    QVERIFY(PhotoFixtures::writeFile(text, "not a picture"));
    const QByteArray png = PhotoFixtures::encoded(halves(QSize(200, 100)), "png");
    const QString cut = folder.filePath(QStringLiteral("cut.png"));
    QVERIFY(PhotoFixtures::writeFile(cut, png.left(png.size() / 2)));
    const QString good = folder.filePath(QStringLiteral("good.png"));
    QVERIFY(PhotoFixtures::writeFile(good, png));

    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    const KSEditBackground red = KSEditBackground::ofColour(KSRGBHexColor(0xFF0000));
    document.chooseBackground(red);
    QSignalSpy changed(&document, &KSEditDocument::backgroundChanged);
    for (const QString &path : {folder.filePath(QStringLiteral("missing.jpg")), text, cut, folder.path()}) {
        QString error;
        QVERIFY2(!document.chooseBackgroundPicture(path, &error), qPrintable(path));
        QVERIFY(!error.isEmpty());
        QCOMPARE(document.background(), red);
    }
    QCOMPARE(changed.count(), 0);
    QCOMPARE(document.undoStack()->count(), 1);

    QVERIFY(document.chooseBackgroundPicture(good));
    QCOMPARE(document.background().kind, KSEditBackground::Kind::picture);
    QCOMPARE(document.background().picturePath, good);
    QCOMPARE(document.undoStack()->count(), 2);
}

void TestBackgrounds::previewShowsWhatTheSaveWrites()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutout()));
    document.setPhotoColours(photo());
    KSBackdropPreview preview(&document);
    QSignalSpy changed(&preview, &KSBackdropPreview::changed);
    document.chooseBackground(KSEditBackground::ofBlurredPhoto(0.03));
    QCOMPARE(changed.count(), 1);

    const QRectF canvas = document.resultCanvasRect();
    const QSize screen(200, 150);
    const KSBackdropPreview::Layers layers = preview.layers(canvas, screen);
    QCOMPARE(layers.backdrop.size(), screen);
    QVERIFY(layers.shadow.isNull());
    // Asked again: the same pictures, not made anew.
    QCOMPARE(preview.layers(canvas, screen).backdrop.cacheKey(), layers.backdrop.cacheKey());

    // The saved backdrop, reduced to the screen's size, matches it away
    // from the subject (which the save draws over it).
    const QImage saved = render(document).scaled(screen, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect subjectOnScreen(70, 50, 60, 50);
    double difference = 0;
    int count = 0;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (subjectOnScreen.contains(x, y))
                continue;
            const QColor a = saved.pixelColor(x, y);
            const QColor b = layers.backdrop.pixelColor(x, y);
            difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
            count += 3;
        }
    }
    QVERIFY2(difference / count < 4.0, qPrintable(QString::number(difference / count)));

    // A shadow chosen: told, and drawn; a dragged subject moves it.
    document.chooseShadow(KSEditShadow::contact());
    QCOMPARE(changed.count(), 2);
    const QImage shadow = preview.layers(canvas, screen).shadow;
    QCOMPARE(shadow.size(), screen);
    const QImage dragged = preview.layers(canvas, screen, document.subjectRect().translated(-100, 0)).shadow;
    QVERIFY(dragged != shadow);
}

void TestBackgrounds::recentPicturesAreOfferedNewestFirst()
{
    QTemporaryDir folder;
    QStringList paths;
    for (int i = 0; i < KSRecentBackgrounds::kMaxPictures + 2; ++i) {
        paths << folder.filePath(QStringLiteral("%1.png").arg(i));
        QVERIFY(PhotoFixtures::writeFile(paths.last(), "x"));
    }
    KSRecentBackgrounds::remember(paths[0]);
    KSRecentBackgrounds::remember(paths[1]);
    KSRecentBackgrounds::remember(paths[0]);
    KSRecentBackgrounds::remember(QString());
    QCOMPARE(KSRecentBackgrounds::pictures(), (QStringList{paths[0], paths[1]}));
    // A file gone is not offered.
    QFile::remove(paths[1]);
    QCOMPARE(KSRecentBackgrounds::pictures(), QStringList{paths[0]});
    for (const QString &path : paths)
        KSRecentBackgrounds::remember(path);
    const QStringList offered = KSRecentBackgrounds::pictures();
    QCOMPARE(offered.size(), KSRecentBackgrounds::kMaxPictures);
    QCOMPARE(offered.first(), paths.last());
}

QTEST_MAIN(TestBackgrounds)
#include "tst_backgrounds.moc"
