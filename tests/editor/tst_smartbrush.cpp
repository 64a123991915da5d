#include "KSSmartBrush.h"

#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>

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


// A thin part bent round a slab of backdrop, as a fish's forked tail is: a
// body and two thin fins with the backdrop between them. The backdrop is
// plain with sensor noise, or a texture of leaves.
constexpr QSize kForkPicture(900, 600);
constexpr double kFinWidth = 14;
const QRectF kForkBody(100, 200, 300, 200);
const QPointF kForkRoot(390, 300);
const QPointF kUpperTip(640, 140), kLowerTip(640, 460);

QImage forkedPart(const QColor &backdrop, const QColor &part, bool leaves)
{
    QImage image(kForkPicture, QImage::Format_RGB32);
    quint32 state = 12345;
    const auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(next() % 7) - 3;
            image.setPixel(x, y, qRgb(std::clamp(backdrop.red() + noise, 0, 255),
                                      std::clamp(backdrop.green() + noise, 0, 255),
                                      std::clamp(backdrop.blue() + noise, 0, 255)));
        }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (leaves) {
        static const QColor foliage[] = {QColor(60, 120, 40), QColor(110, 160, 50), QColor(30, 70, 30),
                                         QColor(170, 180, 70), QColor(80, 140, 90)};
        for (int i = 0; i < 2500; ++i) {
            painter.setBrush(foliage[next() % std::size(foliage)]);
            const QPointF at(next() % kForkPicture.width(), next() % kForkPicture.height());
            painter.drawEllipse(at, 6 + next() % 14, 4 + next() % 8);
        }
    }
    painter.setBrush(part);
    painter.drawEllipse(kForkBody);
    painter.setPen(QPen(part, kFinWidth, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(kForkRoot, kUpperTip);
    painter.drawLine(kForkRoot, kLowerTip);
    return image;
}

// A region of the forked picture, drawn by `draw` in white on black.
QImage forkRegion(const std::function<void(QPainter &)> &draw)
{
    QImage region(kForkPicture, QImage::Format_Grayscale8);
    region.fill(0);
    QPainter painter(&region);
    draw(painter);
    return region;
}

// The share of the region's pixels that the result marks as the object.
double markedShare(const KSSmartBrush::Result &result, const QImage &region)
{
    int inside = 0, marked = 0;
    for (int y = 0; y < region.height(); ++y)
        for (int x = 0; x < region.width(); ++x) {
            if (region.constScanLine(y)[x] < 128 || !result.window.contains(x, y))
                continue;
            ++inside;
            marked += result.object.constScanLine(y - result.window.y())[x - result.window.x()] >= 128 ? 1 : 0;
        }
    return inside ? double(marked) / inside : 0.0;
}

KSSmartBrush::Result strokeOn(const QImage &picture, const QList<QPointF> &stroke, double radius)
{
    KSSmartBrush::Request request;
    request.window = KSSmartBrush::windowFor(stroke, radius, picture.size());
    request.colours = picture;
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
    void strokeAcrossAThinPartKeepsThePartNotTheBackdropBesideIt_data();
    void strokeAcrossAThinPartKeepsThePartNotTheBackdropBesideIt();
    void strokeOnBackdropAloneMarksTheStrokeOnly();
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

void TestSmartBrush::strokeAcrossAThinPartKeepsThePartNotTheBackdropBesideIt_data()
{
    QTest::addColumn<QColor>("backdrop");
    QTest::addColumn<QColor>("part");
    QTest::addColumn<bool>("leaves");

    QTest::newRow("a drawn fish's tail on white") << QColor(250, 250, 250) << QColor(230, 120, 40) << false;
    // What Erase meets: a pole in front of a shirt, to go without the shirt.
    QTest::newRow("a dark pole across a blue shirt") << QColor(70, 110, 190) << QColor(40, 35, 30) << false;
    // The leaves' own colours spill under the stroke and lie all round it.
    QTest::newRow("a branch among leaves") << QColor(60, 120, 40) << QColor(120, 80, 60) << true;
}

void TestSmartBrush::strokeAcrossAThinPartKeepsThePartNotTheBackdropBesideIt()
{
    QFETCH(QColor, backdrop);
    QFETCH(QColor, part);
    QFETCH(bool, leaves);
    const QImage picture = forkedPart(backdrop, part, leaves);
    // Across the upper fin, four times as wide as it: most of the stroke
    // lies on the backdrop, within the fork and outside it.
    const QPointF middle = (kForkRoot + kUpperTip) / 2;
    const QPointF across = QPointF(160, 250) / std::hypot(160, 250) * 40;
    const double radius = 2 * kFinWidth;
    const KSSmartBrush::Result result = strokeOn(picture, {middle - across, middle + across}, radius);
    QVERIFY2(result.ok(), qPrintable(result.error));

    // The fin, beyond the stroke too; its edge is left to the filter.
    const QImage fin = forkRegion([&](QPainter &p) {
        p.setPen(QPen(Qt::white, kFinWidth - 6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(kForkRoot + (kUpperTip - kForkRoot) * 0.15, kUpperTip);
    });
    // The backdrop, under the stroke or not: all but the part grown by a
    // few pixels; the slab is its share within the fork.
    const QImage outside = forkRegion([&](QPainter &p) {
        p.fillRect(QRect(QPoint(0, 0), kForkPicture), Qt::white);
        p.setPen(QPen(Qt::black, kFinWidth + 8, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::black);
        p.drawEllipse(kForkBody.adjusted(-4, -4, 4, 4));
        p.drawLine(kForkRoot, kUpperTip);
        p.drawLine(kForkRoot, kLowerTip);
    });
    const QImage fork = forkRegion([&](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({kForkRoot, kUpperTip, kLowerTip}));
    });
    QImage slab = outside, rest = outside;
    for (int y = 0; y < outside.height(); ++y)
        for (int x = 0; x < outside.width(); ++x)
            (fork.constScanLine(y)[x] ? rest : slab).scanLine(y)[x] = 0;
    const double onFin = markedShare(result, fin), onSlab = markedShare(result, slab),
                 elsewhere = markedShare(result, rest);
    const QString figures = QStringLiteral("fin %1, slab %2, elsewhere %3").arg(onFin).arg(onSlab).arg(elsewhere);
    QVERIFY2(onFin > 0.9, qPrintable(figures));
    QVERIFY2(onSlab < 0.01, qPrintable(figures));
    QVERIFY2(elsewhere < 0.01, qPrintable(figures));
}

void TestSmartBrush::strokeOnBackdropAloneMarksTheStrokeOnly()
{
    const QImage picture = forkedPart(QColor(250, 250, 250), QColor(230, 120, 40), false);
    const QList<QPointF> stroke{QPointF(760, 80), QPointF(820, 100)};
    const KSSmartBrush::Result result = strokeOn(picture, stroke, 10);
    QVERIFY2(result.ok(), qPrintable(result.error));
    const auto at = [&](QPoint p) { return result.object.pixelColor(p - result.window.topLeft()).red(); };
    QCOMPARE(at(QPoint(790, 90)), 255);
    QCOMPARE(at(QPoint(790, 120)), 0);
    QCOMPARE(at(QPoint(700, 300)), 0);
    // Nor the fin beside it.
    QCOMPARE(at(QPoint(600, 166)), 0);
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
