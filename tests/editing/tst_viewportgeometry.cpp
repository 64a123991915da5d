#include "KSViewportGeometry.h"

#include <QTest>

#include <cmath>

using KSViewportGeometry::Viewport;

namespace {

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-6;
}

bool near(const QPointF &a, const QPointF &b)
{
    return near(a.x(), b.x()) && near(a.y(), b.y());
}

const QSizeF kView(600, 400);
const QSizeF kPicture(6000, 4000);

} // namespace

// Zoom, pan and the mapping of the pointer onto the picture, with the sizes
// of a 24-megapixel photo in the editor.
class TestViewportGeometry : public QObject
{
    Q_OBJECT

private slots:
    void fitShowsTheWholePicture_data();
    void fitShowsTheWholePicture();
    void zoomKeepsThePointUnderThePointer_data();
    void zoomKeepsThePointUnderThePointer();
    void zoomStaysWithinItsLimits_data();
    void zoomStaysWithinItsLimits();
    void panNeverLosesThePicture_data();
    void panNeverLosesThePicture();
    void resizeKeepsTheCentre();
    void brushCoversWhatItsOutlineShows_data();
    void brushCoversWhatItsOutlineShows();
    void previewsGrowWithTheCentreArea_data();
    void previewsGrowWithTheCentreArea();
    void subjectKeepsItsPixelsWhereTheyWere_data();
    void subjectKeepsItsPixelsWhereTheyWere();
};

void TestViewportGeometry::fitShowsTheWholePicture_data()
{
    QTest::addColumn<QSizeF>("view");
    QTest::addColumn<QSizeF>("picture");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPointF>("origin");

    QTest::newRow("a wide photo in a wide view") << kView << kPicture << true << 0.1 << QPointF(0, 0);
    QTest::newRow("a square picture centred across") << kView << QSizeF(1200, 1200) << true << 1.0 / 3
                                                   << QPointF(100, 0);
    QTest::newRow("a small picture is enlarged to fit") << kView << QSizeF(60, 40) << true << 10.0 << QPointF(0, 0);
    QTest::newRow("no picture, no viewport") << kView << QSizeF(0, 40) << false << 0.0 << QPointF();
    QTest::newRow("no view, no viewport") << QSizeF(0, 0) << kPicture << false << 0.0 << QPointF();
}

void TestViewportGeometry::fitShowsTheWholePicture()
{
    QFETCH(QSizeF, view);
    QFETCH(QSizeF, picture);
    QFETCH(bool, fits);
    const std::optional<Viewport> fit = KSViewportGeometry::fitted(view, picture);
    QCOMPARE(fit.has_value(), fits);
    if (!fits)
        return;
    QFETCH(double, scale);
    QFETCH(QPointF, origin);
    QVERIFY(near(fit->scale, scale));
    QVERIFY(near(fit->origin, origin));
    QVERIFY(!KSViewportGeometry::isZoomedIn(*fit, view, picture));
}

void TestViewportGeometry::zoomKeepsThePointUnderThePointer_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPointF>("anchor");

    QTest::newRow("to 100 % at the centre") << 1.0 << QPointF(300, 200);
    QTest::newRow("to 100 % near a corner") << 1.0 << QPointF(50, 40);
    QTest::newRow("one wheel notch in the middle of the right half") << 0.125 << QPointF(450, 200);
    QTest::newRow("to 1600 %") << 16.0 << QPointF(123, 321);
}

void TestViewportGeometry::zoomKeepsThePointUnderThePointer()
{
    QFETCH(double, scale);
    QFETCH(QPointF, anchor);
    const Viewport fit = *KSViewportGeometry::fitted(kView, kPicture);
    const QPointF under = KSViewportGeometry::toPicture(fit, anchor);
    const Viewport zoomed = KSViewportGeometry::zoomedAround(fit, scale, anchor, kView, kPicture, 1.0);
    QVERIFY(near(zoomed.scale, scale));
    QVERIFY(near(KSViewportGeometry::toView(zoomed, under), anchor));
    QVERIFY(KSViewportGeometry::isZoomedIn(zoomed, kView, kPicture));
}

void TestViewportGeometry::zoomStaysWithinItsLimits_data()
{
    QTest::addColumn<QSizeF>("picture");
    QTest::addColumn<double>("asked");
    QTest::addColumn<double>("expected");

    QTest::newRow("no further out than the whole picture") << kPicture << 0.01 << 0.1;
    QTest::newRow("no further in than 1600 %") << kPicture << 100.0 << 16.0;
    // A picture smaller than the view is fitted larger than 100 %: 100 %
    // is still reachable, below the fit.
    QTest::newRow("100 % of a small picture") << QSizeF(60, 40) << 1.0 << 1.0;
    QTest::newRow("a tiny picture fitted beyond 1600 % stays fitted") << QSizeF(6, 4) << 200.0 << 100.0;
}

void TestViewportGeometry::zoomStaysWithinItsLimits()
{
    QFETCH(QSizeF, picture);
    QFETCH(double, asked);
    QFETCH(double, expected);
    const Viewport fit = *KSViewportGeometry::fitted(kView, picture);
    const Viewport zoomed = KSViewportGeometry::zoomedAround(fit, asked, QPointF(300, 200), kView, picture, 1.0);
    QVERIFY2(near(zoomed.scale, expected), qPrintable(QString::number(zoomed.scale)));
    QVERIFY(near(KSViewportGeometry::steppedScale(KSViewportGeometry::steppedScale(2.0, 3), -3), 2.0));
}

void TestViewportGeometry::panNeverLosesThePicture_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QPointF>("origin");

    // At 100 % the picture's (3000, 2000) sits at the view's centre.
    QTest::newRow("a pan within the picture moves it") << 1.0 << QPointF(100, -50) << QPointF(-2600, -1850);
    QTest::newRow("the left edge stops at the view's left edge") << 1.0 << QPointF(5000, 0) << QPointF(0, -1800);
    QTest::newRow("the bottom edge stops at the view's bottom") << 1.0 << QPointF(0, -9000) << QPointF(-2700, -3600);
    // Zoomed out to the fit it cannot move at all.
    QTest::newRow("a fitted picture stays centred") << 0.1 << QPointF(80, 80) << QPointF(0, 0);
}

void TestViewportGeometry::panNeverLosesThePicture()
{
    QFETCH(double, scale);
    QFETCH(QPointF, delta);
    QFETCH(QPointF, origin);
    const Viewport fit = *KSViewportGeometry::fitted(kView, kPicture);
    const Viewport zoomed = KSViewportGeometry::zoomedAround(fit, scale, QPointF(300, 200), kView, kPicture, 1.0);
    const Viewport moved = KSViewportGeometry::panned(zoomed, delta, kView, kPicture);
    QVERIFY2(near(moved.origin, origin),
             qPrintable(QStringLiteral("%1, %2").arg(moved.origin.x()).arg(moved.origin.y())));
}

void TestViewportGeometry::resizeKeepsTheCentre()
{
    const Viewport fit = *KSViewportGeometry::fitted(kView, kPicture);
    const Viewport zoomed = KSViewportGeometry::zoomedAround(fit, 1.0, QPointF(100, 100), kView, kPicture, 1.0);
    const QPointF centre = KSViewportGeometry::toPicture(zoomed, QPointF(300, 200));
    const QSizeF larger(900, 700);
    const Viewport resized = KSViewportGeometry::resized(zoomed, kView, larger, kPicture);
    QVERIFY(near(KSViewportGeometry::toPicture(resized, QPointF(450, 350)), centre));
}

void TestViewportGeometry::brushCoversWhatItsOutlineShows_data()
{
    QTest::addColumn<double>("diameter");
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("radius");

    QTest::newRow("fitted 24-megapixel photo: 40 points are 400 pixels") << 40.0 << 0.1 << 200.0;
    QTest::newRow("at 100 %") << 40.0 << 1.0 << 20.0;
    QTest::newRow("up close a brush is finer than a pixel") << 8.0 << 16.0 << 0.25;
    QTest::newRow("no scale, no brush") << 40.0 << 0.0 << 0.0;
}

void TestViewportGeometry::brushCoversWhatItsOutlineShows()
{
    QFETCH(double, diameter);
    QFETCH(double, scale);
    QFETCH(double, radius);
    QVERIFY(near(KSViewportGeometry::brushRadius(diameter, scale), radius));
    if (scale <= 0)
        return;
    // The pointer at a view point lands on the picture pixel under it.
    const Viewport viewport{scale, QPointF(-37.5, 12.25)};
    const QPointF pixel(1234.5, 987.25);
    QVERIFY(near(KSViewportGeometry::toPicture(viewport, KSViewportGeometry::toView(viewport, pixel)), pixel));
}

void TestViewportGeometry::previewsGrowWithTheCentreArea_data()
{
    QTest::addColumn<QSize>("centre");
    QTest::addColumn<QSize>("compare");
    QTest::addColumn<QSize>("panel");

    QTest::newRow("the smallest window keeps the smallest previews")
        << QSize(981, 448) << QSize(430, 400) << QSize(901, 400);
    QTest::newRow("a maximised window gives large ones")
        << QSize(1500, 880) << QSize(690, 808) << QSize(1420, 800);
}

void TestViewportGeometry::previewsGrowWithTheCentreArea()
{
    QFETCH(QSize, centre);
    QFETCH(QSize, compare);
    QFETCH(QSize, panel);
    QCOMPARE(KSViewportGeometry::compareViewSize(centre, QSize(430, 400)), compare);
    QCOMPARE(KSViewportGeometry::panelViewSize(centre, QSize(600, 400)), panel);
}

void TestViewportGeometry::subjectKeepsItsPixelsWhereTheyWere_data()
{
    QTest::addColumn<QRectF>("placed");
    QTest::addColumn<QRectF>("oldBounds");
    QTest::addColumn<QRectF>("newBounds");
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<QRectF>("expected");

    // Not moved: the rectangle is the bounds themselves.
    QTest::newRow("in place, a hand kept left of the subject")
        << QRectF(100, 50, 200, 300) << QRectF(100, 50, 200, 300) << QRectF(60, 50, 240, 300) << false
        << QRectF(60, 50, 240, 300);
    // Moved and shown at half size: the kept part is half as wide on the canvas.
    QTest::newRow("moved and halved, a strip erased at the top")
        << QRectF(400, 400, 100, 150) << QRectF(100, 50, 200, 300) << QRectF(100, 110, 200, 240) << false
        << QRectF(400, 430, 100, 120);
    // Mirrored, what was kept at the cut-out's left shows at the right.
    QTest::newRow("mirrored, a hand kept at the left")
        << QRectF(100, 50, 200, 300) << QRectF(100, 50, 200, 300) << QRectF(60, 50, 240, 300) << true
        << QRectF(100, 50, 240, 300);
    QTest::newRow("no bounds before: left alone") << QRectF(1, 2, 3, 4) << QRectF() << QRectF(0, 0, 5, 5) << false
                                                  << QRectF(1, 2, 3, 4);
}

void TestViewportGeometry::subjectKeepsItsPixelsWhereTheyWere()
{
    QFETCH(QRectF, placed);
    QFETCH(QRectF, oldBounds);
    QFETCH(QRectF, newBounds);
    QFETCH(bool, mirrored);
    QFETCH(QRectF, expected);
    QCOMPARE(KSViewportGeometry::remappedSubjectRect(placed, oldBounds, newBounds, mirrored), expected);
}

QTEST_APPLESS_MAIN(TestViewportGeometry)
#include "tst_viewportgeometry.moc"
