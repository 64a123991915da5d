#include "EditTestRect.h"
#include "KSEditGeometry.h"

#include <QTest>

using KSEditGeometry::CanvasFit;

// The canvases' formulas with the numbers a user's screen produces.
class TestEditGeometry : public QObject
{
    Q_OBJECT

private slots:
    void canvasFit_data();
    void canvasFit();
    void dragTable_data();
    void dragTable();
    void hitTest_data();
    void hitTest();
    void handlesStayWhereTheCanvasShowsThem_data();
    void handlesStayWhereTheCanvasShowsThem();
    void placementRectFlipsTheOrigin_data();
    void placementRectFlipsTheOrigin();
    void centredRectangles_data();
    void centredRectangles();
    void resultCanvasAndHandBackAreInverse_data();
    void resultCanvasAndHandBackAreInverse();
};

void TestEditGeometry::canvasFit_data()
{
    QTest::addColumn<QSizeF>("frame");
    QTest::addColumn<QSizeF>("imageSize");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QRectF>("area");

    QTest::newRow("square canvas centred in 600x400") << QSizeF(600, 400) << QSizeF(1200, 1200) << true << 1.0 / 3
                                                      << QRectF(100, 0, 400, 400);
    QTest::newRow("cut-out of the view's proportions fills it")
        << QSizeF(600, 400) << QSizeF(1200, 800) << true << 0.5 << QRectF(0, 0, 600, 400);
    QTest::newRow("tall canvas in the compare slot")
        << QSizeF(430, 400) << QSizeF(295, 413) << true << 400.0 / 413 << QRectF(72.14, 0, 285.71, 400);
    QTest::newRow("canvas without width places nothing")
        << QSizeF(600, 400) << QSizeF(0, 800) << false << 0.0 << QRectF();
    QTest::newRow("view without width places nothing")
        << QSizeF(0, 400) << QSizeF(1200, 800) << false << 0.0 << QRectF();
}

void TestEditGeometry::canvasFit()
{
    QFETCH(QSizeF, frame);
    QFETCH(QSizeF, imageSize);
    QFETCH(bool, fits);
    const std::optional<CanvasFit> fit = KSEditGeometry::canvasFit(frame, imageSize);
    QCOMPARE(fit.has_value(), fits);
    if (!fits)
        return;
    QFETCH(double, scale);
    QFETCH(QRectF, area);
    QCOMPARE(fit->imageScale, scale);
    COMPARE_RECT(fit->imageViewFrame, area);
}

void TestEditGeometry::dragTable_data()
{
    QTest::addColumn<MouseDragLocation>("location");
    QTest::addColumn<QRectF>("begin");
    QTest::addColumn<QPointF>("offset");
    QTest::addColumn<QRectF>("expected");

    const QRectF b(50, 50, 200, 100);
    using L = MouseDragLocation;
    QTest::newRow("move keeps the size") << L::mouseNone << b << QPointF(10, -5) << QRectF(60, 45, 200, 100);
    QTest::newRow("bottomRight grows from the top-left corner")
        << L::bottomRight << QRectF(97, 97, 206, 106) << QPointF(50, 0) << QRectF(97, 97, 256, 106 + 50.0 * 106 / 206);
    QTest::newRow("topMiddle keeps the bottom edge and the centre")
        << L::topMiddle << b << QPointF(0, -20) << QRectF(30, 30, 240, 120);
    QTest::newRow("topLeft keeps the bottom-right corner") << L::topLeft << b << QPointF(20, 0) << QRectF(70, 60, 180, 90);
    QTest::newRow("topRight keeps the bottom-left corner") << L::topRight << b << QPointF(20, 0) << QRectF(50, 40, 220, 110);
    QTest::newRow("middleLeft keeps the right edge and the middle")
        << L::middleLeft << b << QPointF(-20, 0) << QRectF(30, 45, 220, 110);
    QTest::newRow("middleRight keeps the left edge and the middle")
        << L::middleRight << b << QPointF(20, 0) << QRectF(50, 45, 220, 110);
    QTest::newRow("bottomMiddle keeps the top edge and the centre")
        << L::bottomMiddle << b << QPointF(0, 10) << QRectF(40, 50, 220, 110);
    QTest::newRow("side handles ignore dy") << L::middleRight << b << QPointF(20, 300) << QRectF(50, 45, 220, 110);
    QTest::newRow("bottomLeft is the mirror click, never a drag") << L::bottomLeft << b << QPointF(40, 40) << b;
    // Past the opposite corner the frame would turn inside out and the
    // subject could never be grabbed again.
    QTest::newRow("shrinking stops at the minimum side, corner kept")
        << L::topLeft << b << QPointF(500, 0) << QRectF(218, 134, 32, 16);
    QTest::newRow("a frame below the minimum does not shrink")
        << L::bottomRight << QRectF(0, 0, 10, 10) << QPointF(-5, 0) << QRectF(0, 0, 10, 10);
    QTest::newRow("a frame below the minimum may grow")
        << L::bottomRight << QRectF(0, 0, 10, 10) << QPointF(5, 0) << QRectF(0, 0, 15, 15);
}

void TestEditGeometry::dragTable()
{
    QFETCH(MouseDragLocation, location);
    QFETCH(QRectF, begin);
    QFETCH(QPointF, offset);
    QFETCH(QRectF, expected);
    COMPARE_RECT(KSEditGeometry::draggedFrame(location, begin, offset, begin.size()), expected);
}

void TestEditGeometry::hitTest_data()
{
    QTest::addColumn<QSizeF>("viewSize");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<MouseDragLocation>("location");

    // A 206 x 106 frame: the picture spans (3, 3) to (203, 103).
    const QSizeF view(206, 106);
    using L = MouseDragLocation;
    QTest::newRow("top-left corner") << view << QPointF(3, 3) << L::topLeft;
    QTest::newRow("left middle") << view << QPointF(3, 53) << L::middleLeft;
    QTest::newRow("bottom-left corner") << view << QPointF(3, 103) << L::bottomLeft;
    QTest::newRow("top middle") << view << QPointF(103, 3) << L::topMiddle;
    QTest::newRow("bottom middle") << view << QPointF(103, 103) << L::bottomMiddle;
    QTest::newRow("top-right corner") << view << QPointF(203, 3) << L::topRight;
    QTest::newRow("right middle") << view << QPointF(203, 53) << L::middleRight;
    QTest::newRow("bottom-right corner") << view << QPointF(203, 103) << L::bottomRight;
    QTest::newRow("17 points from a handle still grabs it") << view << QPointF(20, 20) << L::topLeft;
    QTest::newRow("just beyond a handle's square moves") << view << QPointF(21.5, 3) << L::mouseNone;
    QTest::newRow("the middle moves") << view << QPointF(103, 53) << L::mouseNone;
    QTest::newRow("small frame: the first square wins") << QSizeF(30, 30) << QPointF(15, 15) << L::topLeft;
}

void TestEditGeometry::hitTest()
{
    QFETCH(QSizeF, viewSize);
    QFETCH(QPointF, point);
    QFETCH(MouseDragLocation, location);
    QCOMPARE(KSEditGeometry::dragLocation(point, viewSize), location);
}

void TestEditGeometry::handlesStayWhereTheCanvasShowsThem_data()
{
    QTest::addColumn<QRectF>("visible"); // the part of the 206 x 106 frame the canvas shows
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<MouseDragLocation>("location");
    QTest::addColumn<QRectF>("bottomLeftSquare");

    using L = MouseDragLocation;
    const QRectF whole(0, 0, 206, 106);
    QTest::newRow("all shown: the squares of handleRects") << whole << QPointF(3, 103) << L::bottomLeft
                                                           << QRectF(0, 100, 6, 6);
    // The subject touches the canvas's bottom edge: the frame's margin is cut.
    QTest::newRow("bottom margin cut: the bottom squares move up")
        << QRectF(0, 0, 206, 103) << QPointF(103, 100) << L::bottomMiddle << QRectF(0, 97, 6, 6);
    // Dragged half below the canvas: the bottom handles stay at its edge.
    QTest::newRow("half below the canvas: bottom-right still grabbed at the edge")
        << QRectF(0, 0, 206, 50) << QPointF(203, 47) << L::bottomRight << QRectF(0, 44, 6, 6);
    QTest::newRow("beyond the left edge: the left squares move right")
        << QRectF(40, 0, 166, 106) << QPointF(43, 103) << L::bottomLeft << QRectF(40, 100, 6, 6);
}

void TestEditGeometry::handlesStayWhereTheCanvasShowsThem()
{
    QFETCH(QRectF, visible);
    QFETCH(QPointF, press);
    QFETCH(MouseDragLocation, location);
    QFETCH(QRectF, bottomLeftSquare);

    const QSizeF view(206, 106);
    const QList<QRectF> squares = KSEditGeometry::reachableHandleRects(view, visible);
    QCOMPARE(squares.size(), 8);
    for (const QRectF &square : squares)
        QVERIFY2(visible.contains(square), "a handle out of reach");
    COMPARE_RECT(squares.at(2), bottomLeftSquare);
    QCOMPARE(KSEditGeometry::dragLocation(press, view, visible), location);
}

void TestEditGeometry::placementRectFlipsTheOrigin_data()
{
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSizeF>("imageSize");
    QTest::addColumn<QRectF>("placement");

    QTest::newRow("result canvas") << QRectF(97, 97, 206, 106) << 1.0 / 3 << QSizeF(1200, 1200)
                                   << QRectF(300, 600, 600, 300);
    QTest::newRow("subject above the canvas") << QRectF(-3, -53, 106, 56) << 1.0 << QSizeF(100, 100)
                                              << QRectF(0, 100, 100, 50);
    QTest::newRow("no scale yet") << QRectF(147, 97, 306, 256) << 0.0 << QSizeF(1200, 800) << QRectF();
}

void TestEditGeometry::placementRectFlipsTheOrigin()
{
    QFETCH(QRectF, frame);
    QFETCH(double, scale);
    QFETCH(QSizeF, imageSize);
    QFETCH(QRectF, placement);
    COMPARE_RECT(KSEditGeometry::placementRect(frame, scale, imageSize), placement);
}

void TestEditGeometry::centredRectangles_data()
{
    QTest::addColumn<QSizeF>("container");
    QTest::addColumn<QSizeF>("proportions");
    QTest::addColumn<QRectF>("maskFrame");

    QTest::newRow("certificate size framed on the canvas")
        << QSizeF(600, 400) << QSizeF(295, 413) << QRectF(157.14, 0, 285.71, 400);
    QTest::newRow("no size chosen frames everything") << QSizeF(600, 400) << QSizeF(0, 0) << QRectF(0, 0, 600, 400);
    QTest::newRow("preset crop of a square canvas")
        << QSizeF(1000, 1000) << QSizeF(295, 413) << QRectF(142.86, 0, 714.29, 1000);
    QTest::newRow("background size fitted into the cut-out")
        << QSizeF(1200, 800) << QSizeF(295, 413) << QRectF(314.29, 0, 571.43, 800);
    QTest::newRow("reduced photo fitted into the show view")
        << QSizeF(430, 400) << QSizeF(800, 600) << QRectF(0, 38.75, 430, 322.5);
}

void TestEditGeometry::centredRectangles()
{
    QFETCH(QSizeF, container);
    QFETCH(QSizeF, proportions);
    QFETCH(QRectF, maskFrame);
    COMPARE_RECT(KSEditGeometry::maskFrame(container, proportions), maskFrame);
}

void TestEditGeometry::resultCanvasAndHandBackAreInverse_data()
{
    QTest::addColumn<QSizeF>("cutOutSize");
    QTest::addColumn<QSizeF>("backgroundSize");
    QTest::addColumn<QRectF>("cropFrame");
    QTest::addColumn<double>("cropScale");
    QTest::addColumn<double>("canvasScale");
    QTest::addColumn<QRectF>("canvasRect");

    QTest::newRow("certificate size on a landscape cut-out")
        << QSizeF(1200, 800) << QSizeF(295, 413) << QRectF(147, 97, 306, 256) << 0.5 << 0.5
        << QRectF(-14.29, 200, 600, 500);
    QTest::newRow("wide size on a portrait cut-out")
        << QSizeF(800, 1200) << QSizeF(4000, 3000) << QRectF(40, 60, 206, 106) << 1.0 / 3 << 0.75
        << QRectF(129, -111, 600, 300);
}

void TestEditGeometry::resultCanvasAndHandBackAreInverse()
{
    QFETCH(QSizeF, cutOutSize);
    QFETCH(QSizeF, backgroundSize);
    QFETCH(QRectF, cropFrame);
    QFETCH(double, cropScale);
    QFETCH(double, canvasScale);
    QFETCH(QRectF, canvasRect);

    const QRectF fitted = KSEditGeometry::fitRect(cutOutSize, backgroundSize);
    const QRectF onCanvas = KSEditGeometry::resultCanvasCropRect(cropFrame, cropScale, fitted.topLeft());
    COMPARE_RECT(onCanvas, canvasRect);

    // The subject dragged on the result canvas comes back to the crop view
    // at the same place in cut-out pixels.
    const QRectF canvasFrame = KSEditGeometry::dragViewFrame(onCanvas, canvasScale);
    COMPARE_RECT(KSEditGeometry::handBackCropRect(canvasFrame, canvasScale, fitted.size(), cutOutSize),
                 KSEditGeometry::subjectRect(cropFrame, cropScale));
}

QTEST_APPLESS_MAIN(TestEditGeometry)
#include "tst_editgeometry.moc"
