#include "KSHomeCardLayout.h"

#include <QTest>

// The two home cards stand symmetric about the centre, outer edges 600
// apart, whatever the width of the home view.
class TestHomeCardLayout : public QObject
{
    Q_OBJECT

private slots:
    void cardsFollowTheWidth_data();
    void cardsFollowTheWidth();
};

void TestHomeCardLayout::cardsFollowTheWidth_data()
{
    QTest::addColumn<QSizeF>("viewSize");
    QTest::addColumn<double>("personLeft");
    QTest::addColumn<double>("objectRight");

    QTest::newRow("1000 wide: person at 200, object ends at 800") << QSizeF(1000, 600) << 200.0 << 800.0;
    // The half point is kept, not rounded.
    QTest::newRow("801 wide: offset 100.5") << QSizeF(801, 600) << 100.5 << 700.5;
    QTest::newRow("main window minimum") << QSizeF(1080, 512) << 240.0 << 840.0;
    QTest::newRow("exactly 600 wide: cards touch the edges") << QSizeF(600, 400) << 0.0 << 600.0;
    // Narrower than the cards' span: they move outwards past the edges.
    QTest::newRow("500 wide: negative offset") << QSizeF(500, 400) << -50.0 << 550.0;
}

void TestHomeCardLayout::cardsFollowTheWidth()
{
    QFETCH(QSizeF, viewSize);
    QFETCH(double, personLeft);
    QFETCH(double, objectRight);

    const KSHomeCardLayout layout = KSHomeCardLayout::forViewSize(viewSize);

    QCOMPARE(layout.person.left(), personLeft);
    QCOMPARE(layout.object.right(), objectRight);
    for (const QRectF &card : {layout.person, layout.object}) {
        QCOMPARE(card.size(), QSizeF(238.5, 345));
        QCOMPARE(card.center().y(), viewSize.height() / 2);
    }
    QCOMPARE(layout.object.left() - layout.person.right(), 123.0);
}

QTEST_APPLESS_MAIN(TestHomeCardLayout)
#include "tst_home_card_layout.moc"
