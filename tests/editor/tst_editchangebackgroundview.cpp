#include "CommLang.h"
#include "KSCollectionFlowLayout.h"
#include "KSColorConst.h"
#include "KSEditChangeBackgroundCollectionItem.h"
#include "KSEditChangeBackgroundView.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"

#include <QColorDialog>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <optional>


// The colour panel: which cell a colour marks, what a press reports, and
// when the shared colour dialog is opened and listened to.
class TestEditChangeBackgroundView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gridHoldsTheElevenChoicesInOrder();
    void gridFlowsIntoRows_data();
    void gridFlowsIntoRows();
    void defaultColorMarksItsCell_data();
    void defaultColorMarksItsCell();
    void pressingASwatchReportsItsColour_data();
    void pressingASwatchReportsItsColour();
    void pressingTheMarkedSwatchReportsNothing();
    void moreOpensTheDialogAndReportsOnlyItsChanges();
    void moreWhileMarkedOpensTheDialogAgain();
    void dialogChangeAfterAnotherChoiceMarksMoreAgain();
    void discardedPanelHearsNoMoreChanges();
    void reopenedPanelMarksTheDialogsColour();
    void cancellingTheDialogRestoresTheColourFromBefore_data();
    void cancellingTheDialogRestoresTheColourFromBefore();
    void dialogStandsBesideTheWindow_data();
    void dialogStandsBesideTheWindow();

private:
    void press(int index);
    std::unique_ptr<KSEditChangeBackgroundView> m_panel;
    QList<KSColor> m_reports;
};

void TestEditChangeBackgroundView::init()
{
    CommLang::setCurrentLanguage(QStringLiteral("English"));
    m_panel.reset(loadViewFromNib<KSEditChangeBackgroundView>());
    QVERIFY(m_panel);
    m_panel->resize(360, 560);
    m_panel->show();
    m_reports.clear();
    m_panel->returnClosure = [this](const KSColor &color) { m_reports.append(color); };
    // The dialog outlives the panels: every test starts it on white.
    KSEditChangeBackgroundView::sharedColorPanel()->setCurrentColor(Qt::white);
    KSEditChangeBackgroundView::sharedColorPanel()->hide();
}

void TestEditChangeBackgroundView::cleanup()
{
    m_panel.reset();
}

void TestEditChangeBackgroundView::press(int index)
{
    KSEditChangeBackgroundCollectionItem *cell = m_panel->itemAtIndex(index);
    QVERIFY(cell);
    QTest::mouseClick(cell->colorBtn(), Qt::LeftButton);
}

void TestEditChangeBackgroundView::gridHoldsTheElevenChoicesInOrder()
{
    const QList<qint64> expected = {-2, 0xFF0000, 0x438EDB, 0xFFFFFF, 0xE1DFE5, 0xC90002,
                                    0x87CEEB, 0x00BFF2, 0x014B73, 0x328FB2, -1};
    QCOMPARE(m_panel->numberOfItems(), 11);
    for (int index = 0; index < expected.size(); ++index) {
        QCOMPARE(m_panel->dataArray().at(index).hex, expected.at(index));
        QVERIFY(m_panel->itemAtIndex(index));
        QCOMPARE(m_panel->itemAtIndex(index)->titleLbl()->text(), m_panel->dataArray().at(index).title);
    }
    QCOMPARE(m_panel->dataArray().first().title, CommLang::GetAppLang(QStringLiteral("TransparentColor")));
    QCOMPARE(m_panel->dataArray().last().title, CommLang::GetAppLang(QStringLiteral("More")));
    QVERIFY(!m_panel->itemAtIndex(11));
}

void TestEditChangeBackgroundView::gridFlowsIntoRows_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QRect>("lastFrame");
    QTest::addColumn<int>("contentHeight");

    // 4 × 64 + 3 × 14 = 298 fits 320; the spare 22 points widen the gaps to 21.33.
    QTest::newRow("panel grid, 320 wide: 4 columns, 3 rows") << 320 << 4 << QRect(171, 220, 64, 100) << 320;
    QTest::newRow("exactly 298 wide: minimum spacing") << 298 << 4 << QRect(156, 220, 64, 100) << 320;
    QTest::newRow("297 wide: one column fewer") << 297 << 3 << QRect(117, 330, 64, 100) << 430;
    QTest::newRow("narrower than a cell: one column") << 40 << 1 << QRect(0, 1100, 64, 100) << 1200;
}

void TestEditChangeBackgroundView::gridFlowsIntoRows()
{
    QFETCH(int, width);
    QFETCH(int, columns);
    QFETCH(QRect, lastFrame);
    QFETCH(int, contentHeight);

    const KSCollectionFlowLayout::Metrics metrics{QSize(64, 100), 10, 14};
    QCOMPARE(KSCollectionFlowLayout::columnCount(metrics, width), columns);
    const QList<QRect> frames = KSCollectionFlowLayout::itemFrames(metrics, 11, width);
    QCOMPARE(frames.size(), 11);
    QCOMPARE(frames.first(), QRect(0, 0, 64, 100));
    QCOMPARE(frames.last(), lastFrame);
    QCOMPARE(KSCollectionFlowLayout::contentHeight(metrics, 11, width), contentHeight);
    for (const QRect &frame : frames)
        QVERIFY2(columns == 1 || frame.right() < width, "a cell sticks out of the grid");
}

void TestEditChangeBackgroundView::defaultColorMarksItsCell_data()
{
    QTest::addColumn<std::optional<KSColor>>("color");
    QTest::addColumn<int>("marked");

    QTest::newRow("no colour yet: transparent") << std::optional<KSColor>() << 0;
    QTest::newRow("clear colour: transparent") << std::optional<KSColor>(KSClear_Color()) << 0;
    QTest::newRow("red") << std::optional<KSColor>(KSRGBHexColor(0xFF0000)) << 1;
    QTest::newRow("white") << std::optional<KSColor>(KSRGBHexColor(0xFFFFFF)) << 3;
    QTest::newRow("blue") << std::optional<KSColor>(KSRGBHexColor(0x438EDB)) << 2;
    QTest::newRow("sky blue") << std::optional<KSColor>(KSRGBHexColor(0x87CEEB)) << 6;
    QTest::newRow("last preset colour") << std::optional<KSColor>(KSRGBHexColor(0x328FB2)) << 9;
    // Colours from the colour dialog arrive as QColor.
    QTest::newRow("red picked in the colour dialog") << std::optional<KSColor>(KSColor(QColor(255, 0, 0))) << 1;
    // A colour of the dialog marks "More", never transparent.
    QTest::newRow("custom colour: more") << std::optional<KSColor>(KSRGBHexColor(0x123456)) << 10;
    QTest::newRow("the old sky blue is a custom colour now")
        << std::optional<KSColor>(KSRGBHexColor(0x438FD8)) << 10;
    QTest::newRow("half transparent red is no preset") << std::optional<KSColor>(KSRGBHexColor(0xFF0000, 0.5)) << 10;
    QTest::newRow("transparent white is not clear") << std::optional<KSColor>(KSRGBHexColor(0xFFFFFF, 0.0)) << 10;
}

void TestEditChangeBackgroundView::defaultColorMarksItsCell()
{
    QFETCH(std::optional<KSColor>, color);
    QFETCH(int, marked);

    QCOMPARE(KSEditChangeBackgroundView::preselectedIndex(color), marked);
    m_panel->setDefaultColor(color);
    QCOMPARE(m_panel->selectedIndex(), marked);
    for (int index = 0; index < m_panel->numberOfItems(); ++index)
        QCOMPARE(m_panel->itemAtIndex(index)->isSelected(), index == marked);
    QVERIFY(m_reports.isEmpty());
}

void TestEditChangeBackgroundView::pressingASwatchReportsItsColour_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<KSColor>("reported");

    QTest::newRow("red") << 1 << KSRGBHexColor(0xFF0000);
    QTest::newRow("cobalt blue") << 8 << KSRGBHexColor(0x014B73);
    // Transparent is the clear colour, not white and not transparent white.
    QTest::newRow("transparent after red") << 0 << KSClear_Color();
}

void TestEditChangeBackgroundView::pressingASwatchReportsItsColour()
{
    QFETCH(int, index);
    QFETCH(KSColor, reported);

    if (index == 0)
        m_panel->setDefaultColor(KSRGBHexColor(0xFF0000)); // so that transparent is not already marked
    press(index);
    QCOMPARE(m_reports.size(), 1);
    QCOMPARE(m_reports.first(), reported);
    QCOMPARE(m_panel->selectedIndex(), index);
    int markedCells = 0;
    for (int cell = 0; cell < m_panel->numberOfItems(); ++cell)
        markedCells += m_panel->itemAtIndex(cell)->isSelected() ? 1 : 0;
    QCOMPARE(markedCells, 1);
    QVERIFY(m_panel->itemAtIndex(index)->isSelected());
}

void TestEditChangeBackgroundView::pressingTheMarkedSwatchReportsNothing()
{
    press(0); // a fresh panel marks transparent
    m_panel->setDefaultColor(KSRGBHexColor(0x00BFF2));
    press(7);
    QVERIFY(m_reports.isEmpty());
    press(5);
    press(5);
    QCOMPARE(m_reports.size(), 1);
}

void TestEditChangeBackgroundView::moreOpensTheDialogAndReportsOnlyItsChanges()
{
    QColorDialog *dialog = KSEditChangeBackgroundView::sharedColorPanel();
    press(10);
    QVERIFY(dialog->isVisible());
    QVERIFY(m_reports.isEmpty());
    QCOMPARE(m_panel->selectedIndex(), 10);

    // Setting colour and alpha may count as two changes; the last carries both.
    QSignalSpy changes(dialog, &QColorDialog::currentColorChanged);
    dialog->setCurrentColor(QColor(10, 20, 30, 128));
    QCOMPARE(m_reports.size(), changes.size());
    QCOMPARE(m_reports.last().toQColor().rgba(), qRgba(10, 20, 30, 128));
    QCOMPARE(qRound(m_reports.last().alphaF() * 255), 128);

    // A translucent colour shows on the checkerboard in the "More" swatch:
    // two of its squares differ.
    KSEditChangeBackgroundCollectionItem *more = m_panel->itemAtIndex(10);
    QCOMPARE(more->chosenColour().rgba(), qRgba(10, 20, 30, 128));
    const QImage translucent = more->colorBtn()->grab().toImage();
    const QPoint square(more->colorBtn()->width() / 2 - 4, more->colorBtn()->height() / 2 - 4);
    QVERIFY(translucent.pixel(square) != translucent.pixel(square + QPoint(8, 0)));

    dialog->setCurrentColor(QColor(200, 100, 0));
    QCOMPARE(m_reports.size(), changes.size());
    QCOMPARE(m_reports.last().toQColor().rgba(), qRgba(200, 100, 0, 255));
    const QImage opaque = more->colorBtn()->grab().toImage();
    QCOMPARE(opaque.pixel(square), opaque.pixel(square + QPoint(8, 0)));
    QCOMPARE(opaque.pixel(square), qRgb(200, 100, 0));

    // Another choice brings the cell's own picture back.
    press(1);
    QVERIFY(!more->chosenColour().isValid());
}

void TestEditChangeBackgroundView::moreWhileMarkedOpensTheDialogAgain()
{
    // "More" is marked whenever a custom colour is applied, so pressing it
    // must still bring the dialog.
    QColorDialog *dialog = KSEditChangeBackgroundView::sharedColorPanel();
    press(10);
    QVERIFY(dialog->isVisible());
    dialog->hide();
    press(10);
    QVERIFY(dialog->isVisible());
    QVERIFY(m_reports.isEmpty());
}

void TestEditChangeBackgroundView::dialogChangeAfterAnotherChoiceMarksMoreAgain()
{
    // More twice (with red between): the dialog is listened to once, not twice.
    press(10);
    press(1);
    press(10);
    press(1);
    QCOMPARE(m_reports.size(), 2);
    QCOMPARE(m_panel->selectedIndex(), 1);

    // The dialog stayed open; touching it again is a custom colour, and
    // the marking follows, so it never shows red for a custom colour.
    QSignalSpy changes(KSEditChangeBackgroundView::sharedColorPanel(), &QColorDialog::currentColorChanged);
    KSEditChangeBackgroundView::sharedColorPanel()->setCurrentColor(QColor(1, 2, 3));
    QVERIFY(!changes.isEmpty());
    QCOMPARE(m_reports.size(), 2 + changes.size());
    QCOMPARE(m_reports.last().toQColor().rgb(), qRgb(1, 2, 3));
    QCOMPARE(m_panel->selectedIndex(), 10);
    QVERIFY(m_panel->itemAtIndex(10)->isSelected());
    QVERIFY(!m_panel->itemAtIndex(1)->isSelected());
}

void TestEditChangeBackgroundView::discardedPanelHearsNoMoreChanges()
{
    QColorDialog *dialog = KSEditChangeBackgroundView::sharedColorPanel();
    press(10);
    m_panel.reset();
    dialog->setCurrentColor(QColor(90, 90, 90));
    QVERIFY(m_reports.isEmpty());
    // The next panel starts unsubscribed.
    m_panel.reset(loadViewFromNib<KSEditChangeBackgroundView>());
    m_panel->returnClosure = [this](const KSColor &color) { m_reports.append(color); };
    dialog->setCurrentColor(QColor(91, 91, 91));
    QVERIFY(m_reports.isEmpty());
}

void TestEditChangeBackgroundView::reopenedPanelMarksTheDialogsColour()
{
    QColorDialog *dialog = KSEditChangeBackgroundView::sharedColorPanel();
    press(10);
    dialog->setCurrentColor(QColor(12, 130, 40));
    QVERIFY(!m_reports.isEmpty());
    dialog->accept();
    const std::optional<KSColor> applied = m_panel->appliedColor();
    QVERIFY(applied);

    // The editor opens a new panel with the colour it shows.
    m_panel.reset(loadViewFromNib<KSEditChangeBackgroundView>());
    m_panel->returnClosure = [this](const KSColor &color) { m_reports.append(color); };
    m_panel->setDefaultColor(applied);
    QCOMPARE(m_panel->selectedIndex(), 10);
    QVERIFY(m_panel->itemAtIndex(10)->isSelected());
    QVERIFY(!m_panel->itemAtIndex(0)->isSelected());

    m_reports.clear();
    press(0);
    QCOMPARE(m_reports, QList<KSColor>{KSClear_Color()});
    QCOMPARE(m_panel->selectedIndex(), 0);
}

void TestEditChangeBackgroundView::cancellingTheDialogRestoresTheColourFromBefore_data()
{
    QTest::addColumn<std::optional<KSColor>>("before");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("markedAfter");

    QTest::newRow("red, Cancel") << std::optional<KSColor>(KSRGBHexColor(0xFF0000)) << false << 1;
    QTest::newRow("red, Escape") << std::optional<KSColor>(KSRGBHexColor(0xFF0000)) << true << 1;
    QTest::newRow("transparent, Cancel") << std::optional<KSColor>(KSClear_Color()) << false << 0;
    QTest::newRow("an earlier custom colour, Escape")
        << std::optional<KSColor>(KSRGBHexColor(0x123456)) << true << 10;
}

void TestEditChangeBackgroundView::cancellingTheDialogRestoresTheColourFromBefore()
{
    QFETCH(std::optional<KSColor>, before);
    QFETCH(bool, escape);
    QFETCH(int, markedAfter);

    m_panel->setDefaultColor(before);
    QColorDialog *dialog = KSEditChangeBackgroundView::sharedColorPanel();
    press(10);
    QVERIFY(dialog->isVisible());
    dialog->setCurrentColor(QColor(200, 10, 200));
    QVERIFY(!m_reports.isEmpty());
    QCOMPARE(m_reports.last().toQColor().rgb(), qRgb(200, 10, 200));

    if (escape)
        QTest::keyClick(dialog, Qt::Key_Escape);
    else
        dialog->reject();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_reports.last(), *before);
    QCOMPARE(m_panel->appliedColor(), before);
    QCOMPARE(m_panel->selectedIndex(), markedAfter);
    QVERIFY(m_panel->itemAtIndex(markedAfter)->isSelected());
}

void TestEditChangeBackgroundView::dialogStandsBesideTheWindow_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QPoint>("position");

    // The dialog is 500 x 420 on a 1920 x 1200 screen.
    QTest::newRow("room on the right") << QRect(100, 50, 1080, 600) << QPoint(1188, 50);
    QTest::newRow("room on the left only") << QRect(600, 50, 1080, 600) << QPoint(92, 50);
    QTest::newRow("no room: the screen's left edge, over the tool column")
        << QRect(0, 0, 1920, 1000) << QPoint(0, 0);
    QTest::newRow("a window low on the screen keeps the dialog on it")
        << QRect(100, 900, 1080, 600) << QPoint(1188, 780);
}

void TestEditChangeBackgroundView::dialogStandsBesideTheWindow()
{
    QFETCH(QRect, window);
    QFETCH(QPoint, position);
    const QRect screen(0, 0, 1920, 1200);
    QCOMPARE(KSEditChangeBackgroundView::colorDialogPosition(screen, window, QSize(500, 420)), position);
}

QTEST_MAIN(TestEditChangeBackgroundView)
#include "tst_editchangebackgroundview.moc"
