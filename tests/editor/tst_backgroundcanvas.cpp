#include "KSBackdropLayerView.h"
#include "KSEditDocument.h"
#include "KSEidtCutImageView.h"
#include "KSFilppedImageView.h"
#include "KSImageDragView.h"
#include "KSOutputRender.h"

#include <QTest>
#include <QUndoStack>

#include <cmath>
#include <memory>

namespace {

constexpr QSize kCutout(600, 400);
// The subject: a red square standing on its base, right of the middle.
const QRect kSubject(320, 120, 160, 200);
const QColor kSubjectRed(220, 30, 30);
const QColor kBackdropGreen(30, 170, 60);

QImage cutout()
{
    QImage image(kCutout, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = kSubject.top(); y <= kSubject.bottom(); ++y)
        for (int x = kSubject.left(); x <= kSubject.right(); ++x)
            image.setPixelColor(x, y, kSubjectRed);
    return image;
}

// The photograph: the red subject on a green backdrop with darker stripes.
QImage photo()
{
    QImage image(kCutout, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, (x / 40) % 2 ? kBackdropGreen : kBackdropGreen.darker(140));
    for (int y = kSubject.top(); y <= kSubject.bottom(); ++y)
        for (int x = kSubject.left(); x <= kSubject.right(); ++x)
            image.setPixelColor(x, y, kSubjectRed);
    return image;
}

// Mean difference per channel of two pictures of the same size, 0..255.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto *l = reinterpret_cast<const QRgb *>(left.constScanLine(y));
        const auto *r = reinterpret_cast<const QRgb *>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x)
            sum += std::abs(qRed(l[x]) - qRed(r[x])) + std::abs(qGreen(l[x]) - qGreen(r[x]))
                + std::abs(qBlue(l[x]) - qBlue(r[x]));
    }
    return sum / (3.0 * left.width() * left.height());
}

int lightness(const QImage &image, QPoint point)
{
    return image.pixelColor(point).lightness();
}

} // namespace

// The canvases draw the backdrop and the shadow of the document's preview
// beneath the subject, follow a drag with them, and show what a save writes.
class TestBackgroundCanvas : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pictureCoversTheCanvasAtEveryAspect_data();
    void pictureCoversTheCanvasAtEveryAspect();
    void contactShadowDarkensBelowTheBaseOnly();
    void draggedSubjectTakesItsShadowAlong();
    void zoomedCanvasMakesLayersForWhatItShowsOnly();
    void savedPictureShowsWhatTheCanvasShows_data();
    void savedPictureShowsWhatTheCanvasShows();

private:
    // The canvas area as drawn, in device pixels.
    QImage canvasArea();
    // Where a point of the cut-out lies in canvasArea().
    QPoint onArea(QPointF cutoutPoint) const;

    std::unique_ptr<KSEditDocument> m_document;
    std::unique_ptr<KSEidtCutImageView> m_canvas;
};

void TestBackgroundCanvas::init()
{
    m_document = std::make_unique<KSEditDocument>();
    QVERIFY(m_document->setCutout(cutout()));
    m_document->setPhotoColours(photo());
    QVERIFY(m_document->hasPhotoColours());
    m_canvas = std::make_unique<KSEidtCutImageView>();
    m_canvas->resize(kCutout);
    m_canvas->setDocument(m_document.get());
    connect(m_canvas.get(), &KSEditCanvasView::subjectMoved, m_document.get(), &KSEditDocument::moveSubject);
    m_canvas->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_canvas.get()));
    m_canvas->updateCanvasLayout();
    // The canvas fits the view: one canvas pixel a point.
    QCOMPARE(m_canvas->imageScale(), 1.0);
}

void TestBackgroundCanvas::cleanup()
{
    m_canvas.reset();
    m_document.reset();
}

QImage TestBackgroundCanvas::canvasArea()
{
    return m_canvas->imageView()->grab().toImage();
}

QPoint TestBackgroundCanvas::onArea(QPointF cutoutPoint) const
{
    return (cutoutPoint * m_canvas->imageScale()).toPoint();
}

void TestBackgroundCanvas::pictureCoversTheCanvasAtEveryAspect_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::newRow("wider than the canvas") << QSize(900, 200);
    QTest::newRow("taller than the canvas") << QSize(100, 700);
    QTest::newRow("square") << QSize(50, 50);
    QTest::newRow("the canvas's own proportions") << QSize(300, 200);
}

void TestBackgroundCanvas::pictureCoversTheCanvasAtEveryAspect()
{
    QFETCH(QSize, pictureSize);
    QImage picture(pictureSize, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 200));
    m_document->chooseBackground(*KSEditBackground::ofPicture(picture));
    const QImage area = canvasArea();
    QVERIFY(m_canvas->backdropLayer()->drewLayers());
    // Every corner and edge's middle is the picture, never the checkerboard.
    const int right = area.width() - 1;
    const int bottom = area.height() - 1;
    for (const QPoint point : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom),
                               QPoint(right / 2, 0), QPoint(0, bottom / 2), QPoint(right, bottom / 2),
                               QPoint(right / 2, bottom)}) {
        const QColor colour = area.pixelColor(point);
        QVERIFY2(std::abs(colour.blue() - 200) <= 3 && std::abs(colour.red() - 40) <= 3,
                 qPrintable(QStringLiteral("%1,%2 is %3").arg(point.x()).arg(point.y()).arg(colour.name())));
    }
    // The subject lies above it.
    QCOMPARE(area.pixelColor(onArea(kSubject.center())), kSubjectRed);
}

void TestBackgroundCanvas::contactShadowDarkensBelowTheBaseOnly()
{
    m_document->chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0xFFFFFF)));
    m_document->chooseShadow(KSEditShadow::contact());
    const QImage area = canvasArea();
    const int base = kSubject.bottom();
    const int middle = kSubject.center().x();
    // Just under the base, in the middle: darker than the white around.
    QVERIFY(lightness(area, onArea(QPointF(middle, base + 3))) < 235);
    // Above the subject and beside its upper half, nothing is darkened.
    QCOMPARE(lightness(area, onArea(QPointF(middle, kSubject.top() - 4))), 255);
    QCOMPARE(lightness(area, onArea(QPointF(kSubject.left() - 6, kSubject.top() + 20))), 255);
    QCOMPARE(lightness(area, onArea(QPointF(kSubject.right() + 6, kSubject.top() + 20))), 255);
}

void TestBackgroundCanvas::draggedSubjectTakesItsShadowAlong()
{
    m_document->chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0xFFFFFF)));
    m_document->chooseShadow(KSEditShadow::contact());
    const QPoint inside = m_canvas->imageView()->pos() + onArea(kSubject.center());
    // The first click selects, the next press drags.
    QTest::mouseClick(m_canvas.get(), Qt::LeftButton, {}, inside);
    QVERIFY(m_canvas->imageDragView()->isCanDrag());
    const QPoint move(-200, -60);
    QTest::mousePress(m_canvas.get(), Qt::LeftButton, {}, inside);
    QTest::mouseMove(m_canvas.get(), inside + move / 2);
    QTest::mouseMove(m_canvas.get(), inside + move);

    // Mid-drag, before the document knows: the shadow is under the subject
    // where it is dragged, and gone from where it was.
    QImage area = canvasArea();
    const QPointF newBase(kSubject.center().x() + move.x(), kSubject.bottom() + move.y() + 3);
    QVERIFY(lightness(area, onArea(newBase)) < 235);
    QCOMPARE(lightness(area, onArea(QPointF(kSubject.center().x(), kSubject.bottom() + 3))), 255);

    QTest::mouseRelease(m_canvas.get(), Qt::LeftButton, {}, inside + move);
    QCOMPARE(m_document->undoStack()->count(), 3);
    area = canvasArea();
    QVERIFY(lightness(area, onArea(newBase)) < 235);
    // Undone, the shadow goes back with the subject.
    m_document->undoStack()->undo();
    area = canvasArea();
    QVERIFY(lightness(area, onArea(QPointF(kSubject.center().x(), kSubject.bottom() + 3))) < 235);
    QCOMPARE(lightness(area, onArea(newBase)), 255);
}

void TestBackgroundCanvas::zoomedCanvasMakesLayersForWhatItShowsOnly()
{
    m_document->chooseBackground(KSEditBackground::ofBlurredPhoto());
    m_canvas->zoomTo(8.0, QPointF(300, 200));
    QVERIFY(m_canvas->imageView()->width() > 4 * m_canvas->width());
    const QRect layer = m_canvas->backdropLayer()->geometry().translated(m_canvas->imageView()->pos());
    QVERIFY(m_canvas->rect().contains(layer));
    // It shows the canvas pixels under the view: around the zoom's anchor.
    QVERIFY(m_canvas->backdropLayer()->view().contains(m_canvas->canvasPixelAt(QPointF(300, 200))));
    QVERIFY(m_canvas->backdropLayer()->view().width() < kCutout.width() / 4.0);
}

void TestBackgroundCanvas::savedPictureShowsWhatTheCanvasShows_data()
{
    QTest::addColumn<int>("look");
    QTest::newRow("the backdrop blurred, a drop shadow") << 0;
    QTest::newRow("a picture, a contact shadow") << 1;
    QTest::newRow("white, a contact shadow") << 2;
}

void TestBackgroundCanvas::savedPictureShowsWhatTheCanvasShows()
{
    QFETCH(int, look);
    if (look == 0) {
        m_document->chooseBackground(KSEditBackground::ofBlurredPhoto(0.01));
        m_document->chooseShadow(KSEditShadow::drop());
    } else if (look == 1) {
        QImage picture(300, 300, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixelColor(x, y, QColor(x * 255 / 300, 120, y * 255 / 300));
        m_document->chooseBackground(*KSEditBackground::ofPicture(picture));
        m_document->chooseShadow(KSEditShadow::contact());
    } else {
        m_document->chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0xFFFFFF)));
        m_document->chooseShadow(KSEditShadow::contact());
    }
    KSOutputRender::Request request = m_document->renderRequest(0);
    request.subject = m_document->subjectMaker()();
    const QImage saved = KSOutputRender::renderOutputImage(request);
    QCOMPARE(saved.size(), kCutout);
    const QImage shown = canvasArea();
    QCOMPARE(shown.size(), kCutout);
    const double difference = meanDifference(shown, saved);
    QVERIFY2(difference < 3.0, qPrintable(QString::number(difference)));
}

QTEST_MAIN(TestBackgroundCanvas)
#include "tst_backgroundcanvas.moc"
