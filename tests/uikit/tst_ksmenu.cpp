#include "KSMenu.h"
#include "KSMenuItem.h"

#include <QPointer>
#include <QTest>

class TestKSMenu : public QObject
{
    Q_OBJECT

private slots:
    void placement_data();
    void placement();
    void choosingAnItemClosesTheMenuAndSendsTheItem();
    void choosingForAGoneTargetSendsNothing();
};

void TestKSMenu::placement_data()
{
    QTest::addColumn<QRect>("anchor");
    QTest::addColumn<QSize>("menu");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<int>("join");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QPoint>("topLeft");

    const QSize menu(150, 158);
    // The help menu: offset (menu width - button width, 10) ends it at the button's right edge.
    QTest::newRow("below, wide menu ends at the view's right edge")
        << QRect(900, 10, 60, 30) << menu << QPoint(150 - 60, 10) << 1 << 0 << QPoint(810, 50);
    QTest::newRow("below, start aligned, no offset")
        << QRect(300, 200, 240, 30) << menu << QPoint(0, 0) << 1 << 0 << QPoint(300, 230);
    QTest::newRow("below, centred") << QRect(300, 200, 240, 30) << menu << QPoint(0, 0) << 1 << 1 << QPoint(345, 230);
    QTest::newRow("below, end aligned") << QRect(300, 200, 240, 30) << menu << QPoint(0, 0) << 1 << 2 << QPoint(390, 230);
    QTest::newRow("above, gap away from the view")
        << QRect(300, 600, 240, 30) << menu << QPoint(0, 4) << 0 << 0 << QPoint(300, 600 - 158 - 4);
    QTest::newRow("right of the view") << QRect(300, 200, 240, 30) << menu << QPoint(8, 0) << 3 << 0 << QPoint(548, 200);
    QTest::newRow("left of the view") << QRect(300, 200, 240, 30) << menu << QPoint(8, 0) << 2 << 0 << QPoint(142, 200);
    QTest::newRow("no room below opens above")
        << QRect(300, 1040, 240, 30) << menu << QPoint(0, 0) << 1 << 0 << QPoint(300, 1040 - 158);
    QTest::newRow("past the right screen edge is pushed back")
        << QRect(1880, 10, 30, 30) << menu << QPoint(0, 0) << 1 << 0 << QPoint(1920 - 150, 40);
    QTest::newRow("unknown join direction opens below")
        << QRect(300, 200, 240, 30) << menu << QPoint(0, 0) << 7 << 0 << QPoint(300, 230);
}

void TestKSMenu::placement()
{
    QFETCH(QRect, anchor);
    QFETCH(QSize, menu);
    QFETCH(QPoint, offset);
    QFETCH(int, join);
    QFETCH(int, alignment);
    QFETCH(QPoint, topLeft);

    const QRect screen(0, 0, 1920, 1080);
    const QRect placed = KSMenu::menuGeometry(anchor, menu, offset, join, alignment, screen);
    QCOMPARE(placed.topLeft(), topLeft);
    QCOMPARE(placed.size(), menu);
}

void TestKSMenu::choosingAnItemClosesTheMenuAndSendsTheItem()
{
    QWidget window;
    window.resize(400, 300);
    auto *anchor = new QWidget(&window);
    anchor->setGeometry(20, 20, 120, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QPointer<KSMenu> menu = new KSMenu;
    menu->setRowHeight(30);
    QList<int> chosenTags;
    for (int tag = 0; tag < 3; ++tag) {
        KSMenuItem *item = KSMenuItem::NewMenuItem();
        item->setTitle(QStringLiteral("Item %1").arg(tag));
        item->setTag(tag);
        item->setTarget(&window);
        item->setAction([&](KSMenuItem *chosen) { chosenTags.append(chosen->tag()); });
        menu->addItem(item);
    }
    menu->popMenuToView(anchor, QPoint(0, 0), KSMenu::JoinBelow, KSMenu::AlignStart);
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), anchor->mapToGlobal(QPoint(0, anchor->height())));

    KSMenuItem *second = menu->items().at(1);
    QTest::mouseClick(second, Qt::LeftButton, {}, second->rect().center());
    QCOMPARE(chosenTags, QList<int>{1});
    QVERIFY(!menu->isVisible());
    // The menu cleans itself up once closed.
    QTRY_VERIFY(menu.isNull());
}

void TestKSMenu::choosingForAGoneTargetSendsNothing()
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *menu = new KSMenu(&window);
    KSMenuItem *item = KSMenuItem::NewMenuItem();
    item->setTitle(QStringLiteral("About"));
    int sent = 0;
    auto *panel = new QObject;
    item->setTarget(panel);
    item->setAction([&](KSMenuItem *) { ++sent; });
    menu->addItem(item);
    menu->popMenuToView(&window, QPoint(0, 0), KSMenu::JoinBelow);
    delete panel;
    QTest::mouseClick(item, Qt::LeftButton, {}, item->rect().center());
    QCOMPARE(sent, 0);
}

QTEST_MAIN(TestKSMenu)
#include "tst_ksmenu.moc"
