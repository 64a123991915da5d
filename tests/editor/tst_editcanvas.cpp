#include "EditTestRect.h"
#include "KSColorConst.h"
#include "KSEditBorderView.h"
#include "KSEditDocument.h"
#include "KSEditImageShowView.h"
#include "KSEditResultView.h"
#include "KSEidtCutImageView.h"
#include "KSFileConst.h"
#include "KSFilppedImageView.h"
#include "KSHoverButton.h"
#include "KSImageDragView.h"

#include <QDir>
#include <QUndoStack>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// A 1200 x 800 cut-out, transparent but for a subject of blue shades from
// (300, 200) to (899, 699), written as PNG; its path.
QString writeCutOut(const QTemporaryDir &dir, QImage *picture = nullptr)
{
    QImage cutOut(1200, 800, QImage::Format_ARGB32);
    cutOut.fill(Qt::transparent);
    for (int y = 200; y < 700; ++y)
        for (int x = 300; x < 900; ++x)
            cutOut.setPixel(x, y, qRgba(0, 0, (x + y) % 256, 255));
    const QString path = dir.filePath(QStringLiteral("beach.png"));
    if (!cutOut.save(path))
        return {};
    if (picture)
        *picture = cutOut;
    return path;
}

// A result canvas of 600 x 400 points on a 1200 x 1200 canvas with the
// subject at (300, 300, 600, 300): the drag view's frame is (97, 97, 206,
// 106) in the canvas area, which starts at x = 100 of the view.
constexpr QPoint kAreaOrigin(100, 0);
const QRectF kStartFrame(97, 97, 206, 106);

QPoint onCanvas(QPointF areaPoint)
{
    return (areaPoint + QPointF(kAreaOrigin)).toPoint();
}

} // namespace

// The canvases driven the way the user drives them: mouse events on the
// canvas view select, move, resize and mirror the subject; the crop view
// prepares the subject from a cut-out file.
class TestEditCanvas : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstClickOnlySelects();
    void dragMovesTheSubject();
    void handleResizes_data();
    void handleResizes();
    void releaseOutsideEndsTheDrag();
    void windowEventsReachTheCanvasThroughTheSubject();
    void mirrorClickFlipsThePicture();

    void cropViewPreparesTheSubject();
    void cropViewWithoutCutOutStaysEmpty();
    void sizeModeFramesTheBackgroundSize();
    void showViewReducesAndFits();
    void zoomLevelShowsWhileZoomedAndFitsOnClick();
    void translucentBackgroundShowsTheCheckerboard_data();
    void translucentBackgroundShowsTheCheckerboard();

private:
    void select();
    void drag(QPoint from, QPoint to, int steps = 5);

    std::unique_ptr<KSEditResultView> m_canvas;
    QImage m_subject;
};

void TestEditCanvas::init()
{
    m_canvas = std::make_unique<KSEditResultView>();
    m_canvas->resize(600, 400);
    m_canvas->setImageSize(QSizeF(1200, 1200));
    m_canvas->setEraserCropRect(QRectF(300, 300, 600, 300));
    // An asymmetric picture, so that a mirror shows.
    m_subject = QImage(200, 100, QImage::Format_ARGB32_Premultiplied);
    m_subject.fill(Qt::transparent);
    for (int y = 10; y < 90; ++y)
        for (int x = 10; x < 60; ++x)
            m_subject.setPixel(x, y, qRgba(20, 40, 200, 255));
    m_canvas->imageDragView()->setImage(m_subject);
    m_canvas->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_canvas.get()));
    m_canvas->updateCanvasLayout();
    COMPARE_RECT(m_canvas->imageDragView()->frame(), kStartFrame);
}

void TestEditCanvas::cleanup()
{
    m_canvas.reset();
}

void TestEditCanvas::select()
{
    QTest::mouseClick(m_canvas.get(), Qt::LeftButton, {}, onCanvas(kStartFrame.center()));
    QVERIFY(m_canvas->imageDragView()->isCanDrag());
}

void TestEditCanvas::drag(QPoint from, QPoint to, int steps)
{
    QTest::mousePress(m_canvas.get(), Qt::LeftButton, {}, from);
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(m_canvas.get(), from + (to - from) * i / steps);
    QTest::mouseRelease(m_canvas.get(), Qt::LeftButton, {}, to);
}

void TestEditCanvas::firstClickOnlySelects()
{
    KSImageDragView *subject = m_canvas->imageDragView();
    QVERIFY(!subject->isCanDrag());
    QVERIFY(subject->mirrorImageView()->isHidden());

    const QPoint inside = onCanvas(kStartFrame.center());
    drag(inside, inside + QPoint(150, 80));
    COMPARE_RECT(subject->frame(), kStartFrame);
    QVERIFY(!subject->isCanDrag()); // released outside the unmoved subject

    QTest::mouseClick(m_canvas.get(), Qt::LeftButton, {}, inside);
    QVERIFY(subject->isCanDrag());
    QVERIFY(subject->mirrorImageView()->isVisible());
    COMPARE_RECT(subject->frame(), kStartFrame);
}

void TestEditCanvas::dragMovesTheSubject()
{
    select();
    const QPoint start = onCanvas(kStartFrame.center());
    drag(start, start + QPoint(40, -30));
    COMPARE_RECT(m_canvas->imageDragView()->frame(), kStartFrame.translated(40, -30));
    // Three pixels of canvas per point: the subject moved 120 pixels right
    // and 90 up, which is 90 more from the bottom.
    COMPARE_RECT(m_canvas->outputImageRect(), QRectF(420, 690, 600, 300));
    QVERIFY(m_canvas->imageDragView()->isCanDrag());
    QCOMPARE(m_canvas->cursor().shape(), Qt::ArrowCursor);
}

void TestEditCanvas::handleResizes_data()
{
    QTest::addColumn<QPointF>("handle");
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<Qt::CursorShape>("cursor");
    QTest::addColumn<QRectF>("expected");

    // Handles sit on the picture's corners and edge midpoints, 3 points
    // inside the frame.
    const double ratio = 106.0 / 206;
    QTest::newRow("bottomRight grows from the top-left")
        << QPointF(300, 200) << QPoint(50, 0) << Qt::SizeHorCursor << QRectF(97, 97, 256, 106 + 50 * ratio);
    QTest::newRow("topMiddle follows dy only")
        << QPointF(200, 100) << QPoint(30, -20) << Qt::SizeVerCursor
        << QRectF(97 - 10 / ratio, 77, 206 + 20 / ratio, 126);
}

void TestEditCanvas::handleResizes()
{
    QFETCH(QPointF, handle);
    QFETCH(QPoint, move);
    QFETCH(Qt::CursorShape, cursor);
    QFETCH(QRectF, expected);

    select();
    const QPoint from = onCanvas(handle);
    QTest::mousePress(m_canvas.get(), Qt::LeftButton, {}, from);
    QTest::mouseMove(m_canvas.get(), from + move / 2);
    QTest::mouseMove(m_canvas.get(), from + move);
    QCOMPARE(m_canvas->cursor().shape(), cursor);
    QTest::mouseRelease(m_canvas.get(), Qt::LeftButton, {}, from + move);
    COMPARE_RECT(m_canvas->imageDragView()->frame(), expected);
    QCOMPARE(m_canvas->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!m_canvas->imageDragView()->isMirrorImage());
}

void TestEditCanvas::releaseOutsideEndsTheDrag()
{
    select();
    // The bottom-right handle follows dx only: released 30 points below it,
    // the pointer is outside the frame.
    drag(onCanvas(QPointF(300, 200)), onCanvas(QPointF(320, 230)));
    const QRectF resized = m_canvas->imageDragView()->frame();
    QVERIFY(!resized.contains(QPointF(320, 230)));
    COMPARE_RECT(resized, QRectF(97, 97, 226, 106 + 20 * 106.0 / 206));

    // A later press outside deselects; what follows must not drag the
    // subject with the handle of the drag before.
    drag(onCanvas(QPointF(390, 380)), onCanvas(QPointF(350, 300)));
    COMPARE_RECT(m_canvas->imageDragView()->frame(), resized);
    QVERIFY(!m_canvas->imageDragView()->isCanDrag());
    QVERIFY(m_canvas->imageDragView()->mirrorImageView()->isHidden());
}

void TestEditCanvas::windowEventsReachTheCanvasThroughTheSubject()
{
    // Through the window, the press lands on the child widgets under the
    // pointer (subject, canvas area), which must let it through.
    QWindow *window = m_canvas->windowHandle();
    const QPoint start = onCanvas(kStartFrame.center());
    QTest::mouseClick(window, Qt::LeftButton, {}, start);
    QVERIFY(m_canvas->imageDragView()->isCanDrag());
    QTest::mousePress(window, Qt::LeftButton, {}, start);
    QTest::mouseMove(window, start + QPoint(10, 10));
    QTest::mouseMove(window, start + QPoint(25, 5));
    QTest::mouseRelease(window, Qt::LeftButton, {}, start + QPoint(25, 5));
    COMPARE_RECT(m_canvas->imageDragView()->frame(), kStartFrame.translated(25, 5));
}

void TestEditCanvas::mirrorClickFlipsThePicture()
{
    select();
    KSImageDragView *subject = m_canvas->imageDragView();
    const QImage original = subject->image();
    const QPoint corner = onCanvas(QPointF(100, 200)); // picture's bottom-left corner

    QTest::mouseClick(m_canvas.get(), Qt::LeftButton, {}, corner);
    QVERIFY(subject->isMirrorImage());
    QTRY_COMPARE(subject->image(), original.mirrored(true, false));
    COMPARE_RECT(subject->frame(), kStartFrame);

    QTest::mouseClick(m_canvas.get(), Qt::LeftButton, {}, corner);
    QVERIFY(!subject->isMirrorImage());
    QTRY_COMPARE(subject->image(), original);
    COMPARE_RECT(subject->frame(), kStartFrame);
}

void TestEditCanvas::cropViewPreparesTheSubject()
{
    // A dark blue subject: the bounds come from alpha, not from the colour.
    QTemporaryDir dir;
    QImage cutOut;
    const QString path = writeCutOut(dir, &cutOut);
    KSEditDocument document;
    QVERIFY(document.loadCutout(path));
    const QStringList tempBefore = QDir(KSTempAppPathDirector()).entryList(QDir::Files);

    KSEidtCutImageView view;
    view.resize(600, 400);
    view.setDocument(&document);

    QCOMPARE(view.eraserCropRect(), QRectF(300, 200, 600, 500));
    QCOMPARE(view.imageSize().value_or(QSizeF()), QSizeF(1200, 800));
    QCOMPARE(view.imageScale(), 0.5);
    COMPARE_RECT(view.imageDragView()->frame(), QRectF(147, 97, 306, 256));
    COMPARE_RECT(view.outputImageRect(), QRectF(300, 100, 600, 500));

    // The canvas shows a reduced copy and draws the subject from the
    // document's picture; nothing is written to disk for it.
    QCOMPARE(view.imageDragView()->image().size(), QSize(500, 417));
    QCOMPARE(view.subjectPixelSize(), QSize(600, 500));
    QCOMPARE(view.subjectImageScale(), 500.0 / 600);
    QCOMPARE(view.imageDragView()->pictureSource(), document.picture());
    QCOMPARE(view.imageDragView()->pictureSourceRect(), QRect(300, 200, 600, 500));
    QCOMPARE(QDir(KSTempAppPathDirector()).entryList(QDir::Files), tempBefore);

    // The document's changes reach the canvas.
    document.moveSubject(document.subjectRect(), QRectF(100, 100, 300, 250));
    QCOMPARE(view.eraserCropRect(), QRectF(100, 100, 300, 250));
    document.chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0x00FF00)));
    QCOMPARE(view.changeBackgroundColor(), KSRGBHexColor(0x00FF00));
    document.undoStack()->undo();
    QCOMPARE(view.changeBackgroundColor(), KSClear_Color());
}

void TestEditCanvas::cropViewWithoutCutOutStaysEmpty()
{
    KSEditDocument document;
    QVERIFY(!document.loadCutout(QStringLiteral("/nonexistent/cut.png")));
    KSEidtCutImageView view;
    view.resize(600, 400);
    view.setDocument(&document);
    view.updateCanvasLayout();
    QVERIFY(!view.imageSize());
    QVERIFY(view.imageDragView()->image().isNull());
    QCOMPARE(view.outputImageRect(), QRectF());
}

void TestEditCanvas::sizeModeFramesTheBackgroundSize()
{
    QTemporaryDir dir;
    const QString path = writeCutOut(dir);

    KSEditDocument document;
    QVERIFY(document.loadCutout(path));
    KSEidtCutImageView view;
    view.resize(600, 400);
    view.setDocument(&document);
    view.setChangeBackgroundColor(KSRGBHexColor(0xFFFFFF));
    view.setChangeType(KSChangeType::size);
    QVERIFY(view.imageDragView()->isCanDrag());
    QVERIFY(!view.imageDragView()->mirrorImageView()->isHidden());

    view.setChangeBackgroundSize(QSizeF(295, 413));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.updateCanvasLayout();
    KSEditBorderView *border = view.borderView();
    QVERIFY(border->isVisible());
    QCOMPARE(border->geometry(), QRect(0, 0, 600, 400));
    COMPARE_RECT(border->maskFrame().value_or(QRectF()), QRectF(157.14, 0, 285.71, 400));

    // Outside the frame the white background is dimmed; inside it is not.
    const QImage shot = view.grab().toImage();
    QCOMPARE(shot.pixelColor(300, 50), QColor(Qt::white));
    const int dimmed = int(std::lround(255 * (1 - KSEditBorderView::kDimmingAlpha)));
    QVERIFY(std::abs(shot.pixelColor(60, 200).red() - dimmed) <= 2);

    view.setChangeBackgroundSize(QSizeF(0, 0));
    view.updateCanvasLayout();
    COMPARE_RECT(border->maskFrame().value_or(QRectF()), QRectF(0, 0, 600, 400));

    // Leaving the size mode deselects at once; the frame goes at the next
    // layout.
    view.setChangeType(KSChangeType::background);
    QVERIFY(!view.imageDragView()->isCanDrag());
    QVERIFY(view.imageDragView()->mirrorImageView()->isHidden());
    view.updateCanvasLayout();
    QVERIFY(border->isHidden());
}

void TestEditCanvas::showViewReducesAndFits()
{
    QTemporaryDir dir;
    QImage photo(1600, 1200, QImage::Format_RGB32);
    photo.fill(qRgb(200, 120, 40));
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(photo.save(path));

    KSEditImageShowView view;
    view.resize(430, 400);
    view.setImagePath(path);
    QCOMPARE(view.imageView()->image().size(), QSize(800, 600));
    QCOMPARE(view.imageView()->geometry(), QRect(0, 39, 430, 322));
}

void TestEditCanvas::zoomLevelShowsWhileZoomedAndFitsOnClick()
{
    QVERIFY(!m_canvas->zoomBadge() || !m_canvas->zoomBadge()->isVisible());
    m_canvas->showActualSize(QPointF(300, 200));
    KSHoverButton *badge = m_canvas->zoomBadge();
    QVERIFY(badge && badge->isVisible());
    QCOMPARE(badge->title(), QStringLiteral("100 %"));
    // Inside the view, in its bottom-right corner.
    QVERIFY(m_canvas->rect().contains(badge->geometry()));
    QVERIFY(badge->geometry().center().x() > m_canvas->width() / 2);

    m_canvas->zoomBy(2, QPointF(300, 200));
    QCOMPARE(badge->title(), QStringLiteral("%1 %").arg(m_canvas->zoomPercent()));
    QVERIFY(m_canvas->zoomPercent() > 100);

    QTest::mouseClick(badge, Qt::LeftButton);
    QVERIFY(!m_canvas->isZoomed());
    QVERIFY(!badge->isVisible());
}

void TestEditCanvas::translucentBackgroundShowsTheCheckerboard_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("checkerboard");

    QTest::newRow("clear") << QColor(0, 0, 0, 0) << true;
    QTest::newRow("half-transparent red") << QColor(255, 0, 0, 128) << true;
    QTest::newRow("opaque red") << QColor(255, 0, 0) << false;
}

void TestEditCanvas::translucentBackgroundShowsTheCheckerboard()
{
    QFETCH(QColor, colour);
    QFETCH(bool, checkerboard);
    m_canvas->setChangeBackgroundColor(KSColor(colour));
    m_canvas->updateCanvasLayout();
    // A corner of the canvas area, away from the subject: two neighbouring
    // squares of the 8-point checkerboard.
    const QImage shown = m_canvas->imageView()->grab().toImage();
    const QRgb first = shown.pixel(4, 4);
    const QRgb second = shown.pixel(12, 4);
    QCOMPARE(first != second, checkerboard);
    if (colour.alpha() > 0 && colour.alpha() < 255)
        QVERIFY(qRed(first) > qGreen(first) && qRed(second) > qGreen(second)); // the colour over it
}

QTEST_MAIN(TestEditCanvas)
#include "tst_editcanvas.moc"
