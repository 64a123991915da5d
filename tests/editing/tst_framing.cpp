#include "EditTestRect.h"
#include "FaceFixtures.h"
#include "KSCutImageAlpha.h"
#include "KSFraming.h"
#include "KSFramingGeometry.h"
#include "KSPrintSheet.h"
#include "KSSizePresets.h"

#include <QPainter>
#include <QTest>

using FaceFixtures::Head;
using KSFramingGeometry::HeadMeasures;

namespace {

KSEditChangeSizeItem preset(const QString &key)
{
    const std::optional<KSEditChangeSizeItem> item = KSSizePresets::findItem(key);
    return item.value_or(KSEditChangeSizeItem());
}

KSEditChangeSizeItem shopSize(qint64 width, qint64 height)
{
    KSEditChangeSizeItem item;
    item.width = width;
    item.height = height;
    return item;
}

HeadMeasures truth(const Head &head)
{
    HeadMeasures measures;
    measures.crownY = head.crownY();
    measures.chinY = head.chinY();
    measures.eyeLineY = head.eyeLineY();
    measures.centreX = head.centre.x();
    return measures;
}

} // namespace

// Framing a size round the subject, ID placement by the rules, and the
// print sheet's layout.
class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void subjectFrameKeepsTheMargin_data();
    void subjectFrameKeepsTheMargin();
    void framingPlacesTheSubjectOnTheCanvas_data();
    void framingPlacesTheSubjectOnTheCanvas();
    void idFrameMeetsEveryRule_data();
    void idFrameMeetsEveryRule();
    void drawnHeadsAreFramedByTheRule_data();
    void drawnHeadsAreFramedByTheRule();
    void idSizesFallBackWithANotice_data();
    void idSizesFallBackWithANotice();
    void tooSmallHeadFallsBack();
    void sheetHoldsAsManyCopiesAsFit_data();
    void sheetHoldsAsManyCopiesAsFit();
};

void TestFraming::subjectFrameKeepsTheMargin_data()
{
    QTest::addColumn<QRectF>("subject");
    QTest::addColumn<QSizeF>("proportions");
    QTest::addColumn<double>("margin");
    QTest::addColumn<QRectF>("frame");

    // A tall guitar in a square: its height decides, 5 % of 1000 on each side.
    QTest::newRow("tall subject in a square") << QRectF(400, 100, 300, 900) << QSizeF(800, 800) << 0.05
                                              << QRectF(50, 50, 1000, 1000);
    QTest::newRow("wide subject in a square") << QRectF(0, 0, 900, 100) << QSizeF(1, 1) << 0.05
                                              << QRectF(-50, -450, 1000, 1000);
    // The margin is a share of the shorter side, the same on all four sides.
    QTest::newRow("portrait frame: margin of its width") << QRectF(100, 100, 200, 200) << QSizeF(3, 4) << 0.1
                                                         << QRectF(75, 33.33, 250, 333.33);
    QTest::newRow("no margin touches the subject") << QRectF(10, 20, 100, 50) << QSizeF(2, 1) << 0.0
                                                   << QRectF(10, 20, 100, 50);
    QTest::newRow("a margin beyond the largest is the largest") << QRectF(0, 0, 10, 10) << QSizeF(1, 1) << 0.9
                                                               << QRectF(-45, -45, 100, 100);
    QTest::newRow("no subject, no frame") << QRectF(5, 5, 0, 10) << QSizeF(1, 1) << 0.05 << QRectF();
}

void TestFraming::subjectFrameKeepsTheMargin()
{
    QFETCH(QRectF, subject);
    QFETCH(QSizeF, proportions);
    QFETCH(double, margin);
    QFETCH(QRectF, frame);
    const QRectF fitted = KSFramingGeometry::subjectFrame(subject, proportions, margin);
    COMPARE_RECT(fitted, frame);
    if (frame.isEmpty())
        return;
    QVERIFY(qAbs(fitted.width() / fitted.height() - proportions.width() / proportions.height()) < 1e-9);
    const double free = std::min(margin, KSFramingGeometry::kMaxMargin) * std::min(fitted.width(), fitted.height());
    QVERIFY(fitted.adjusted(free - 1e-6, free - 1e-6, -free + 1e-6, -free + 1e-6).contains(subject));
}

void TestFraming::framingPlacesTheSubjectOnTheCanvas_data()
{
    QTest::addColumn<QSizeF>("photo");
    QTest::addColumn<QRectF>("subject");
    QTest::addColumn<KSEditChangeSizeItem>("size");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QRectF>("canvasFrame");
    QTest::addColumn<QRectF>("placed");

    const int subject = int(KSFitMode::subject), photo = int(KSFitMode::photo);
    // 800 x 800 on a 1200 x 800 photo: the size frame is (200, 0, 800, 800).
    // The subject touches the photo's top and bottom; fitted, it is scaled
    // to 90 % of the frame's height and centred in it.
    QTest::newRow("guitar kept whole in the shop size") << QSizeF(1200, 800) << QRectF(100, 0, 200, 800)
                                                        << shopSize(800, 800) << subject << QRectF(200, 0, 800, 800)
                                                        << QRectF(510, 40, 180, 720);
    QTest::newRow("photo framing leaves the subject where it is")
        << QSizeF(1200, 800) << QRectF(100, 0, 200, 800) << shopSize(800, 800) << photo << QRectF(200, 0, 800, 800)
        << QRectF(100, 0, 200, 800);
    // The source size frames the whole canvas in the photo's proportions.
    QTest::newRow("source size centres the subject") << QSizeF(1000, 500) << QRectF(0, 0, 100, 100) << shopSize(0, 0)
                                                     << subject << QRectF(0, 0, 1000, 500) << QRectF(275, 25, 450, 450);
}

void TestFraming::framingPlacesTheSubjectOnTheCanvas()
{
    QFETCH(QSizeF, photo);
    QFETCH(QRectF, subject);
    QFETCH(KSEditChangeSizeItem, size);
    QFETCH(int, mode);
    QFETCH(QRectF, canvasFrame);
    QFETCH(QRectF, placed);
    KSFraming::Input input;
    input.photoSize = photo;
    input.subjectBounds = subject;
    input.preset = size;
    input.mode = KSFitMode(mode);
    const KSFraming::Result framed = KSFraming::frame(input);
    COMPARE_RECT(framed.canvasFrame, canvasFrame);
    COMPARE_RECT(framed.subjectRect, placed);
    QCOMPARE(framed.notice, KSFraming::Notice::none);
}

void TestFraming::idFrameMeetsEveryRule_data()
{
    QTest::addColumn<KSEditChangeSizeItem>("size");
    for (const KSEditChangeSizeItem &item : KSSizePresets::idPresets())
        QTest::newRow(qPrintable(item.key)) << item;
}

void TestFraming::idFrameMeetsEveryRule()
{
    // Measured heads, placed by each rule: the print keeps the rule, and a
    // head smaller than half of what the print needs is too small.
    QFETCH(KSEditChangeSizeItem, size);
    const KSIdPhotoRule &rule = *size.idRule;
    for (const double headPx : {300.0, 900.0}) {
        const HeadMeasures head{QRectF(), 1000, 1000 + headPx, 1000 + 0.48 * headPx, 700};
        const auto placement = KSFramingGeometry::idFrame(head, rule, size.printSizeMm, double(size.height));
        QVERIFY(placement);
        const auto printed = KSFramingGeometry::printedHead(head, placement->frame, size.printSizeMm);
        QVERIFY2(KSFramingGeometry::meetsRule(printed, rule), qPrintable(rule.source));
        QCOMPARE(placement->frame.center().x(), 700.0);
        QVERIFY(qAbs(placement->frame.width() / placement->frame.height()
                     - size.printSizeMm.width() / size.printSizeMm.height()) < 1e-9);
        const double pixelsPerMm = double(size.height) / size.printSizeMm.height();
        QCOMPARE(placement->headTooSmall(), headPx * 2 < rule.headTargetMm() * pixelsPerMm);
    }
}

void TestFraming::drawnHeadsAreFramedByTheRule_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<Head>("head");
    QTest::newRow("US passport, head high in a portrait") << "OverseaInch1" << QSize(900, 1200) << Head{{430, 380}, 170};
    QTest::newRow("Schengen visa, head low in a landscape") << "OverseaInch3" << QSize(1500, 1000) << Head{{820, 560}, 190};
    QTest::newRow("Chinese passport size, crown by the top margin") << "Max1Inch" << QSize(1000, 1000) << Head{{500, 450}, 200};
}

void TestFraming::drawnHeadsAreFramedByTheRule()
{
    QFETCH(QString, key);
    QFETCH(QSize, photo);
    QFETCH(Head, head);
    const QImage cutout = FaceFixtures::cutoutWithHeads(photo, {head});
    KSFraming::Input input;
    input.photoSize = QSizeF(photo);
    input.subjectBounds = KSCutImageAlpha::getProperImage(cutout);
    input.preset = preset(key);
    input.faces = KSFaceFinder::find(cutout);
    QVERIFY(input.preset.idRule);
    const KSFraming::Result framed = KSFraming::frame(input);
    QCOMPARE(framed.notice, KSFraming::Notice::none);
    QVERIFY(framed.head);

    // The drawn head's true measures, as the saved photo prints them.
    const auto printed = KSFramingGeometry::printedHead(truth(head), framed.frame, input.preset.printSizeMm);
    QVERIFY2(KSFramingGeometry::meetsRule(printed, *input.preset.idRule),
             qPrintable(QStringLiteral("head %1 mm, eyes %2 mm above, crown %3 mm below")
                            .arg(printed.headMm).arg(printed.eyeLineFromBottomMm).arg(printed.crownFromTopMm)));
    // On the canvas, the subject sits where the frame shows it.
    const QRectF onCanvas = KSFramingGeometry::mapBetweenFrames(input.subjectBounds, framed.frame, framed.canvasFrame);
    COMPARE_RECT(framed.subjectRect, onCanvas);
}

void TestFraming::idSizesFallBackWithANotice_data()
{
    QTest::addColumn<QList<Head>>("heads");
    QTest::addColumn<int>("notice");
    QTest::newRow("no face") << QList<Head>{} << int(KSFraming::Notice::noFace);
    QTest::newRow("two faces") << QList<Head>{{{330, 520}, 170}, {{870, 540}, 165}}
                               << int(KSFraming::Notice::severalFaces);
}

void TestFraming::idSizesFallBackWithANotice()
{
    QFETCH(QList<Head>, heads);
    QFETCH(int, notice);
    QImage cutout = FaceFixtures::cutoutWithHeads(QSize(1200, 1000), heads);
    if (heads.isEmpty())
        QPainter(&cutout).fillRect(QRect(500, 300, 200, 600), QColor(30, 90, 160));
    KSFraming::Input input;
    input.photoSize = QSizeF(cutout.size());
    input.subjectBounds = KSCutImageAlpha::getProperImage(cutout);
    input.preset = preset(QStringLiteral("OverseaInch1"));
    input.faces = KSFaceFinder::find(cutout);
    const KSFraming::Result framed = KSFraming::frame(input);
    QCOMPARE(int(framed.notice), notice);
    QVERIFY(!KSFraming::noticeText(framed.notice).isEmpty());
    QVERIFY(!framed.head);
    // The plain fit: the whole subject inside the frame.
    QVERIFY(framed.frame.contains(input.subjectBounds));

    // The photo framing looks for no face, and so has nothing to say.
    input.mode = KSFitMode::photo;
    QCOMPARE(KSFraming::frame(input).notice, KSFraming::Notice::none);
}

void TestFraming::tooSmallHeadFallsBack()
{
    // A head of 150 px would have to grow to about 356 px for the 600 px
    // US print: more than twice.
    KSFraming::Input input;
    input.photoSize = QSizeF(3000, 2000);
    input.subjectBounds = QRectF(1400, 900, 200, 1100);
    input.preset = preset(QStringLiteral("OverseaInch1"));
    KSFaceFinder::Result faces;
    faces.heads.append(HeadMeasures{QRectF(), 900, 1050, 970, 1500});
    input.faces = faces;
    const KSFraming::Result framed = KSFraming::frame(input);
    QCOMPARE(framed.notice, KSFraming::Notice::headTooSmall);
    QVERIFY(framed.frame.contains(input.subjectBounds));

    // Three times that head is placed.
    faces.heads.first().chinY = 900 + 450;
    input.faces = faces;
    QCOMPARE(KSFraming::frame(input).notice, KSFraming::Notice::none);
}

void TestFraming::sheetHoldsAsManyCopiesAsFit_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<QSizeF>("photoMm");
    QTest::addColumn<QSize>("sheet");
    QTest::addColumn<int>("copies");

    using P = KSPrintSheet::Paper;
    QTest::newRow("35 x 45 mm on 4 x 6 in") << int(P::fourBySix) << QSizeF(35, 45) << QSize(1200, 1800) << 6;
    QTest::newRow("2 x 2 in on 4 x 6 in") << int(P::fourBySix) << QSizeF(50.8, 50.8) << QSize(1200, 1800) << 2;
    QTest::newRow("35 x 45 mm on A6") << int(P::a6) << QSizeF(35, 45) << QSize(1240, 1748) << 6;
    QTest::newRow("25 x 35 mm on A4, turned for one more") << int(P::a4) << QSizeF(25, 35) << QSize(3508, 2480) << 50;
    // Turned, a 120 x 80 mm print fits A6 once and 4 x 6 in not at all.
    QTest::newRow("wide print turns the sheet") << int(P::a6) << QSizeF(120, 80) << QSize(1748, 1240) << 1;
    QTest::newRow("too large for the sheet") << int(P::fourBySix) << QSizeF(120, 160) << QSize(1200, 1800) << 0;
}

void TestFraming::sheetHoldsAsManyCopiesAsFit()
{
    QFETCH(int, paper);
    QFETCH(QSizeF, photoMm);
    QFETCH(QSize, sheet);
    QFETCH(int, copies);
    const KSPrintSheet::Layout layout = KSPrintSheet::layout(KSPrintSheet::Paper(paper), photoMm);
    QCOMPARE(layout.sheet, sheet);
    QCOMPARE(layout.copies.size(), copies);
    const QRect inside = QRect(QPoint(0, 0), sheet).adjusted(47, 47, -47, -47);
    for (const QRect &copy : layout.copies) {
        QVERIFY(inside.contains(copy));
        QCOMPARE(copy.size(), layout.copy);
        // No cut line crosses a copy.
        for (const QLine &line : layout.cutLines)
            QVERIFY(!copy.intersects(QRect(line.p1(), line.p2()).normalized()));
    }
    if (copies == 0) {
        QVERIFY(KSPrintSheet::render(QImage(10, 10, QImage::Format_RGB32), photoMm, KSPrintSheet::Paper(paper)).isNull());
        return;
    }
    // Every copy has a cut line hard against each of its four edges.
    const QImage rendered = KSPrintSheet::render(QImage(layout.copy, QImage::Format_RGB32), photoMm,
                                                 KSPrintSheet::Paper(paper));
    QCOMPARE(rendered.size(), sheet);
    QCOMPARE(qRound(rendered.dotsPerMeterX() * 0.0254), 300);
    const QRect first = layout.copies.first();
    for (const QPoint edge : {QPoint(first.left() - 1, first.center().y()), QPoint(first.right() + 1, first.center().y()),
                              QPoint(first.center().x(), first.top() - 1), QPoint(first.center().x(), first.bottom() + 1)})
        QVERIFY2(rendered.pixelColor(edge) != QColor(Qt::white), qPrintable(QStringLiteral("%1,%2").arg(edge.x()).arg(edge.y())));
    QCOMPARE(rendered.pixelColor(2, 2), QColor(Qt::white));
}

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
