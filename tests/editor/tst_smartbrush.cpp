#include "KSSmartBrush.h"

#include <QPainter>
#include <QTest>

namespace {

constexpr QSize kPicture(900, 600);
const QRectF kSubject(150, 150, 300, 360);   // the person: a warm ellipse
const QRectF kBlob(600, 260, 180, 120);      // a stray plank beside it
const QRectF kHand(420, 170, 110, 70);       // a hand reaching out of the subject

// A photograph: a textured grey backdrop, the subject, a hand of the
// subject's colour touching it and, apart, a brown plank.
QImage photograph()
{
    QImage image(kPicture, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int grain = ((x * 7 + y * 13) % 11) - 5;
            image.setPixel(x, y, qRgb(170 + grain, 175 + grain, 180 + grain));
        }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 60, 50));
    painter.drawEllipse(kSubject);
    painter.drawRoundedRect(kHand, 30, 30);
    painter.setBrush(QColor(120, 80, 30));
    painter.drawRect(kBlob);
    return image;
}

// The share of the pixels of `region` (inside its ellipse when round)
// that the result marks as the object.
double markedShare(const KSSmartBrush::Result &result, const QRectF &region, bool round)
{
    int inside = 0, marked = 0;
    for (int y = int(region.top()) + 4; y < int(region.bottom()) - 4; ++y)
        for (int x = int(region.left()) + 4; x < int(region.right()) - 4; ++x) {
            if (round) {
                const QPointF d = (QPointF(x + 0.5, y + 0.5) - region.center());
                const double nx = d.x() / (region.width() / 2 - 4), ny = d.y() / (region.height() / 2 - 4);
                if (nx * nx + ny * ny > 1)
                    continue;
            }
            if (!result.window.contains(x, y))
                continue;
            ++inside;
            if (result.object.pixelColor(x - result.window.x(), y - result.window.y()).red() >= 128)
                ++marked;
        }
    return inside ? double(marked) / inside : 0.0;
}

KSSmartBrush::Result runStroke(const QList<QPointF> &stroke, double radius, bool fromReduced = false)
{
    KSSmartBrush::Request request;
    request.window = KSSmartBrush::windowFor(stroke, radius, kPicture);
    request.colours = photograph();
    if (fromReduced)
        request.reduced = request.colours.scaled(kPicture / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    request.stroke = stroke;
    request.radius = radius;
    return KSSmartBrush::run(request);
}

} // namespace

// The smart brush finds the whole of what a rough stroke went over.
class TestSmartBrush : public QObject
{
    Q_OBJECT

private slots:
    void strokeAcrossAStrayPlankFindsThePlankOnly_data();
    void strokeAcrossAStrayPlankFindsThePlankOnly();
    void strokeOnALostHandFindsTheHand();
    void windowGrowsAroundTheStroke_data();
    void windowGrowsAroundTheStroke();
    void unusableStrokesReportAnError_data();
    void unusableStrokesReportAnError();
};

void TestSmartBrush::strokeAcrossAStrayPlankFindsThePlankOnly_data()
{
    QTest::addColumn<bool>("fromReduced");
    QTest::newRow("segmented from the photo itself") << false;
    // The working size is reached from a reduced copy; the edge still comes
    // from the full size.
    QTest::newRow("segmented from a reduced copy") << true;
}

void TestSmartBrush::strokeAcrossAStrayPlankFindsThePlankOnly()
{
    QFETCH(bool, fromReduced);
    const KSSmartBrush::Result result =
        runStroke({QPointF(640, 320), QPointF(690, 318), QPointF(740, 322)}, 8, fromReduced);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QVERIFY(result.window.contains(kBlob.toRect()));
    const double plank = markedShare(result, kBlob, false);
    const double subject = markedShare(result, kSubject, true);
    QVERIFY2(plank > 0.95, qPrintable(QString::number(plank)));
    QVERIFY2(subject < 0.01, qPrintable(QString::number(subject)));
    // Nor the backdrop around it.
    QCOMPARE(result.object.pixelColor(QPoint(850, 100) - result.window.topLeft()).red(), 0);
}

void TestSmartBrush::strokeOnALostHandFindsTheHand()
{
    const KSSmartBrush::Result result = runStroke({QPointF(470, 200), QPointF(500, 205)}, 6);
    QVERIFY2(result.ok(), qPrintable(result.error));
    const double hand = markedShare(result, kHand.adjusted(20, 0, 0, 0), false);
    QVERIFY2(hand > 0.9, qPrintable(QString::number(hand)));
    QCOMPARE(result.object.pixelColor(QPoint(480, 300) - result.window.topLeft()).red(), 0);
    QCOMPARE(result.object.pixelColor(QPoint(700, 320) - result.window.topLeft()).red(), 0);
}

void TestSmartBrush::windowGrowsAroundTheStroke_data()
{
    QTest::addColumn<QList<QPointF>>("stroke");
    QTest::addColumn<double>("radius");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("window");

    // Half the shorter side (600) beyond a short stroke.
    QTest::newRow("a dab reaches half the picture around it")
        << QList<QPointF>{QPointF(1000, 600)} << 5.0 << QSize(2000, 1200) << QRect(400, 0, 1200, 1200);
    QTest::newRow("a long stroke reaches its own length around it")
        << QList<QPointF>{QPointF(1400, 1000), QPointF(2600, 1000)} << 5.0 << QSize(4000, 2000)
        << QRect(200, 0, 3600, 2000);
    QTest::newRow("clipped at the picture's edges")
        << QList<QPointF>{QPointF(10, 10)} << 5.0 << QSize(900, 600) << QRect(0, 0, 310, 310);
}

void TestSmartBrush::windowGrowsAroundTheStroke()
{
    QFETCH(QList<QPointF>, stroke);
    QFETCH(double, radius);
    QFETCH(QSize, picture);
    QFETCH(QRect, window);
    QCOMPARE(KSSmartBrush::windowFor(stroke, radius, picture), window);
}

void TestSmartBrush::unusableStrokesReportAnError_data()
{
    QTest::addColumn<QList<QPointF>>("stroke");
    QTest::addColumn<double>("radius");

    QTest::newRow("no stroke") << QList<QPointF>{} << 8.0;
    QTest::newRow("no brush") << QList<QPointF>{QPointF(640, 320)} << 0.0;
}

void TestSmartBrush::unusableStrokesReportAnError()
{
    QFETCH(QList<QPointF>, stroke);
    QFETCH(double, radius);
    KSSmartBrush::Request request;
    request.window = QRect(500, 200, 300, 200);
    request.colours = photograph();
    request.stroke = stroke;
    request.radius = radius;
    const KSSmartBrush::Result result = KSSmartBrush::run(request);
    QVERIFY(!result.ok());
    QVERIFY(!result.error.isEmpty());
}

QTEST_APPLESS_MAIN(TestSmartBrush)
#include "tst_smartbrush.moc"
