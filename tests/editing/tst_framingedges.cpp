#include "EditTestRect.h"
#include "KSFraming.h"
#include "KSFramingGeometry.h"
#include "KSSizePresets.h"
#include "KSSubjectEdges.h"

#include <QPainter>
#include <QTest>

Q_DECLARE_METATYPE(Qt::Edges)

namespace {

constexpr Qt::Edges kNone;

// A mask of `size` with the shapes painted opaque by `paint`.
template<typename Paint>
QImage mask(const QSize &size, Paint paint)
{
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    paint(painter);
    return image;
}

// The bounds of the mask's non-zero pixels.
QRect bounds(const QImage &mask)
{
    QRect found;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            if (mask.constScanLine(y)[x] > 0)
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

// A person from the waist up, 200 x 200, the photo cutting the torso off
// at the bottom.
void waistUp(QPainter &p)
{
    p.drawEllipse(QRect(70, 30, 60, 70));
    p.drawRect(QRect(40, 100, 120, 100));
}

} // namespace

// Framing a subject that the photo cut off: which sides are cut, and a
// frame that keeps them on its edges.
class TestFramingEdges : public QObject
{
    Q_OBJECT

private slots:
    void cutSidesAreFound_data();
    void cutSidesAreFound();
    void cutSidesLieOnTheFramesEdges_data();
    void cutSidesLieOnTheFramesEdges();
    void idFrameIsRaisedWithinTheRule();
    void idSizeBringsACutBodyToTheBottom();
};

void TestFramingEdges::cutSidesAreFound_data()
{
    QTest::addColumn<QImage>("mask");
    QTest::addColumn<Qt::Edges>("edges");
    const QSize size(200, 200);
    QTest::newRow("waist-up: the bottom") << mask(size, waistUp) << Qt::Edges(Qt::BottomEdge);
    QTest::newRow("whole subject: none") << mask(size, [](QPainter &p) { p.drawEllipse(QRect(40, 30, 120, 140)); })
                                         << kNone;
    // A hair from the crown to the top, and a wisp to the left: too narrow.
    QTest::newRow("stray hairs touch but do not cut") << mask(size, [](QPainter &p) {
        waistUp(p);
        p.drawRect(QRect(99, 0, 2, 32));
        p.drawRect(QRect(0, 60, 72, 2));
    }) << Qt::Edges(Qt::BottomEdge);
    // A large disc just resting on the border: it narrows towards it.
    QTest::newRow("a round subject grazing the border") << mask(size, [](QPainter &p) {
        p.drawEllipse(QRectF(20, 19.5, 160, 180));
    }) << kNone;
    QTest::newRow("a bar across the photo: left and right")
        << mask(size, [](QPainter &p) { p.drawRect(QRect(0, 80, 200, 40)); }) << (Qt::LeftEdge | Qt::RightEdge);
    QTest::newRow("a corner: top and left") << mask(size, [](QPainter &p) { p.drawRect(QRect(0, 0, 90, 70)); })
                                            << (Qt::TopEdge | Qt::LeftEdge);
    QTest::newRow("a close-up: all four") << mask(size, [](QPainter &p) { p.drawRect(QRect(0, 0, 200, 200)); })
                                          << (Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    // The matte may leave the outermost row soft: a pixel short still cuts.
    QImage soft = mask(size, [](QPainter &p) { p.drawRect(QRect(150, 40, 50, 159)); });
    std::fill_n(soft.scanLine(199) + 150, 50, uchar(60));
    QTest::newRow("a soft outermost line: right and bottom") << soft << (Qt::RightEdge | Qt::BottomEdge);
    QTest::newRow("two pixels short: none")
        << mask(size, [](QPainter &p) { p.drawRect(QRect(2, 2, 196, 196)); }) << kNone;
}

void TestFramingEdges::cutSidesAreFound()
{
    QFETCH(QImage, mask);
    QFETCH(Qt::Edges, edges);
    QCOMPARE(KSSubjectEdges::cutEdges(mask, bounds(mask)), edges);
    // Mirrored, left and right change places.
    const QImage flipped = mask.mirrored(true, false);
    QCOMPARE(KSSubjectEdges::cutEdges(flipped, bounds(flipped)), KSSubjectEdges::mirrored(edges));
}

void TestFramingEdges::cutSidesLieOnTheFramesEdges_data()
{
    QTest::addColumn<QRectF>("subject");
    QTest::addColumn<QSizeF>("proportions");
    QTest::addColumn<Qt::Edges>("cut");
    QTest::addColumn<QRectF>("frame");

    const QSizeF square(1, 1);
    // On a 1000 x 800 photo with 5 % margins. Waist-up: its height with the
    // top margin decides; the torso reaches the frame's bottom.
    QTest::newRow("waist-up sits on the bottom") << QRectF(300, 100, 400, 700) << square
                                                 << Qt::Edges(Qt::BottomEdge)
                                                 << QRectF(131.58, 63.16, 736.84, 736.84);
    // A wide subject: its width and side margins decide; still on the bottom.
    QTest::newRow("wide waist-up: more room above") << QRectF(100, 500, 800, 300) << square
                                                    << Qt::Edges(Qt::BottomEdge)
                                                    << QRectF(55.56, -88.89, 888.89, 888.89);
    QTest::newRow("cut on the left sits on the left") << QRectF(0, 200, 300, 400) << square
                                                      << Qt::Edges(Qt::LeftEdge)
                                                      << QRectF(0, 177.78, 444.44, 444.44);
    QTest::newRow("cut on the right sits on the right") << QRectF(700, 200, 300, 400) << square
                                                        << Qt::Edges(Qt::RightEdge)
                                                        << QRectF(555.56, 177.78, 444.44, 444.44);
    QTest::newRow("cut at the top hangs from the top") << QRectF(400, 0, 200, 300) << square
                                                       << Qt::Edges(Qt::TopEdge)
                                                       << QRectF(342.11, 0, 315.79, 315.79);
    QTest::newRow("cut left and right fills the width") << QRectF(0, 300, 1000, 200) << square
                                                        << (Qt::LeftEdge | Qt::RightEdge)
                                                        << QRectF(0, -100, 1000, 1000);
    // A close-up taller than wide, cut on three sides: the width is filled,
    // the head keeps its margin, and the frame crops more of the cut body.
    QTest::newRow("close-up keeps the head, crops the body")
        << QRectF(0, 100, 600, 800) << square << (Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge)
        << QRectF(0, 70, 600, 600);
    QTest::newRow("cut all round: the centred crop") << QRectF(0, 0, 1200, 800) << square
                                                     << (Qt::LeftEdge | Qt::RightEdge | Qt::TopEdge | Qt::BottomEdge)
                                                     << QRectF(200, 0, 800, 800);
    // A portrait frame: the margin is 5 % of its width (3/4 of its height).
    QTest::newRow("portrait frame, waist-up") << QRectF(300, 100, 400, 700) << QSizeF(3, 4)
                                              << Qt::Edges(Qt::BottomEdge)
                                              << QRectF(227.27, 72.73, 545.45, 727.27);
    QTest::newRow("whole subject: centred as before") << QRectF(400, 100, 300, 700) << square << kNone
                                                      << QRectF(161.11, 61.11, 777.78, 777.78);
}

void TestFramingEdges::cutSidesLieOnTheFramesEdges()
{
    QFETCH(QRectF, subject);
    QFETCH(QSizeF, proportions);
    QFETCH(Qt::Edges, cut);
    QFETCH(QRectF, frame);
    const QRectF fitted = KSFramingGeometry::subjectFrame(subject, proportions, 0.05, cut);
    COMPARE_RECT(fitted, frame);
    QVERIFY(qAbs(fitted.width() / fitted.height() - proportions.width() / proportions.height()) < 1e-9);
    // No band of background beyond a cut side.
    QVERIFY(!cut.testFlag(Qt::LeftEdge) || fitted.left() >= subject.left() - 1e-9);
    QVERIFY(!cut.testFlag(Qt::RightEdge) || fitted.right() <= subject.right() + 1e-9);
    QVERIFY(!cut.testFlag(Qt::TopEdge) || fitted.top() >= subject.top() - 1e-9);
    QVERIFY(!cut.testFlag(Qt::BottomEdge) || fitted.bottom() <= subject.bottom() + 1e-9);
    if (cut == kNone)
        COMPARE_RECT(fitted, KSFramingGeometry::subjectFrame(subject, proportions, 0.05));
}

void TestFramingEdges::idFrameIsRaisedWithinTheRule()
{
    // A 300 px head, placed for the US passport (eyes 28 to 35 mm above the
    // bottom, head 25 to 35 mm, of 51 mm).
    const KSEditChangeSizeItem size = KSSizePresets::findItem(QStringLiteral("OverseaInch1")).value();
    const KSIdPhotoRule &rule = *size.idRule;
    const KSFramingGeometry::HeadMeasures head{QRectF(), 1000, 1300, 1144, 700};
    const auto placed = KSFramingGeometry::idFrame(head, rule, size.printSizeMm, double(size.height));
    QVERIFY(placed);
    const auto raise = [&](double bottom) {
        return KSFramingGeometry::raisedIdFrame(*placed, head, rule, size.printSizeMm, double(size.height), bottom);
    };
    const auto keepsRule = [&](const QRectF &frame) {
        return KSFramingGeometry::meetsRule(KSFramingGeometry::printedHead(head, frame, size.printSizeMm), rule, 1e-6);
    };

    // A body reaching below the frame leaves it where the rule put it.
    COMPARE_RECT(raise(placed->frame.bottom() + 50).frame, placed->frame);
    // A little above: moved up, the head's size kept.
    const double near = placed->frame.bottom() - 20;
    const QRectF moved = raise(near).frame;
    QCOMPARE(moved.bottom(), near);
    QCOMPARE(moved.size(), placed->frame.size());
    QVERIFY(keepsRule(moved));
    // Further: the head enlarged too, and the body reaches the bottom.
    const double higher = placed->frame.bottom() - 60;
    const KSFramingGeometry::IdPlacement enlarged = raise(higher);
    QVERIFY(qAbs(enlarged.frame.bottom() - higher) < 1e-6);
    QVERIFY(enlarged.frame.height() < placed->frame.height());
    QCOMPARE(enlarged.frame.center().x(), 700.0);
    QVERIFY(keepsRule(enlarged.frame));
    // Just under the chin is beyond the rule: it wins, and stops short.
    const KSFramingGeometry::IdPlacement limited = raise(1320);
    QVERIFY(limited.frame.bottom() > 1320);
    QVERIFY(keepsRule(limited.frame));
    QVERIFY(!limited.headTooSmall());
}

void TestFramingEdges::idSizeBringsACutBodyToTheBottom()
{
    // The head of idFrameIsRaisedWithinTheRule on a photo that ends 60 px
    // above where the rule alone puts the frame's bottom.
    const KSEditChangeSizeItem size = KSSizePresets::findItem(QStringLiteral("OverseaInch1")).value();
    const KSFramingGeometry::HeadMeasures head{QRectF(), 1000, 1300, 1144, 700};
    const double ruleBottom =
        KSFramingGeometry::idFrame(head, *size.idRule, size.printSizeMm, double(size.height))->frame.bottom();
    const double photoBottom = ruleBottom - 60;
    KSFraming::Input input;
    input.photoSize = QSizeF(1400, photoBottom);
    input.subjectBounds = QRectF(450, 950, 500, photoBottom - 950);
    input.preset = size;
    KSFaceFinder::Result faces;
    faces.heads.append(head);
    input.faces = faces;
    const KSFraming::Result byRule = KSFraming::frame(input);
    QVERIFY(byRule.head);
    QVERIFY(qAbs(byRule.frame.bottom() - ruleBottom) < 1e-6);

    input.cutEdges = Qt::BottomEdge;
    const KSFraming::Result reaching = KSFraming::frame(input);
    QCOMPARE(reaching.notice, KSFraming::Notice::none);
    QVERIFY(reaching.head);
    QVERIFY(qAbs(reaching.frame.bottom() - photoBottom) < 1e-6);
    QVERIFY(KSFramingGeometry::meetsRule(
        KSFramingGeometry::printedHead(faces.heads.first(), reaching.frame, input.preset.printSizeMm),
        *input.preset.idRule, 1e-6));
    // On the canvas, the body's cut lies on the frame's bottom edge.
    QVERIFY(qAbs(reaching.subjectRect.bottom() - reaching.canvasFrame.bottom()) < 1e-6);
}

QTEST_GUILESS_MAIN(TestFramingEdges)
#include "tst_framingedges.moc"
