// The batch screen's number lines, and where a cell's button lies.

#include "KSBatchCellGeometry.h"
#include "KSBatchExportDoneWindow.h"
#include "KSBatchItemDelegate.h"
#include "KSBatchTexts.h"

#include <QTest>

#include <optional>

using State = KSBatchItem::State;
using Button = KSBatchItemDelegate::Button;

class TestBatchTexts : public QObject
{
    Q_OBJECT

private slots:
    void timeLeft_data();
    void timeLeft();
    void progressNamesFailuresOnlyWhenThereAreSome();
    void cellPartsStayInsideTheCard_data();
    void cellPartsStayInsideTheCard();
    void buttonsByState_data();
    void buttonsByState();
    void exportOutcomeNamesWhatWasNotWritten();
};

void TestBatchTexts::timeLeft_data()
{
    QTest::addColumn<std::optional<double>>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("no estimate yet") << std::optional<double>() << QString();
    QTest::newRow("a negative estimate is none") << std::optional<double>(-3) << QString();
    QTest::newRow("almost done: at least five seconds") << std::optional<double>(0.4) << "about 5 s left";
    QTest::newRow("seconds round up by fives") << std::optional<double>(41) << "about 45 s left";
    QTest::newRow("just under the minutes") << std::optional<double>(89.9) << "about 90 s left";
    QTest::newRow("minutes from 90 s, rounded up") << std::optional<double>(90) << "about 2 min left";
    QTest::newRow("an hour and a bit") << std::optional<double>(3601) << "about 61 min left";
}

void TestBatchTexts::timeLeft()
{
    QFETCH(std::optional<double>, seconds);
    QFETCH(QString, text);
    QCOMPARE(KSBatchTexts::timeLeft(seconds), text);
}

void TestBatchTexts::progressNamesFailuresOnlyWhenThereAreSome()
{
    QCOMPARE(KSBatchTexts::progress(4, 12, 0), QStringLiteral("4 of 12 done"));
    QCOMPARE(KSBatchTexts::progress(4, 12, 1), QStringLiteral("4 of 12 done, 1 failed"));
}

void TestBatchTexts::cellPartsStayInsideTheCard_data()
{
    QTest::addColumn<QRect>("cell");
    QTest::newRow("the grid's cell") << QRect(QPoint(3, 3), KSBatchCellGeometry::kCellSize - QSize(6, 6));
    QTest::newRow("a cell far down the grid") << QRect(QPoint(187, 4000), KSBatchCellGeometry::kCellSize - QSize(6, 6));
    QTest::newRow("a narrow cell") << QRect(0, 0, 90, 200);
}

void TestBatchTexts::cellPartsStayInsideTheCard()
{
    QFETCH(QRect, cell);
    namespace Cell = KSBatchCellGeometry;
    const QRect box = Cell::thumbnailBox(cell);
    QVERIFY(cell.contains(box));
    QCOMPARE(box.width(), box.height());
    // The button and the ring sit on the picture, the text lines under it.
    QVERIFY(box.contains(Cell::buttonRect(cell)));
    QVERIFY(box.contains(Cell::ringRect(cell)));
    QVERIFY(!Cell::buttonRect(cell).intersects(Cell::ringRect(cell)) || box.width() < 120);
    QVERIFY(Cell::nameRect(cell).top() > box.bottom());
    QVERIFY(Cell::stateRect(cell).top() >= Cell::nameRect(cell).bottom());
    QVERIFY(cell.contains(Cell::stateRect(cell)));
    // A wide picture fills the box's width, centred on its height.
    const QRect wide = Cell::thumbnailRect(cell, QSize(400, 200));
    QCOMPARE(wide.width(), box.width());
    QCOMPARE(wide.center().y(), box.center().y());
    QVERIFY(Cell::thumbnailRect(cell, QSize()).isEmpty());
}

void TestBatchTexts::buttonsByState_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<bool>("canRetry");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<Button>("button");
    QTest::newRow("failed: Retry, hovered or not") << State::failed << true << false << Button::retry;
    QTest::newRow("failed for good: none") << State::failed << false << true << Button::none;
    QTest::newRow("cancelled: Retry") << State::cancelled << true << false << Button::retry;
    QTest::newRow("cutting, pointer away: none") << State::cutting << false << false << Button::none;
    QTest::newRow("cutting under the pointer: Cancel") << State::cutting << false << true << Button::cancel;
    QTest::newRow("waiting under the pointer: Cancel") << State::waiting << false << true << Button::cancel;
    QTest::newRow("done: none") << State::done << false << true << Button::none;
}

void TestBatchTexts::buttonsByState()
{
    QFETCH(State, state);
    QFETCH(bool, canRetry);
    QFETCH(bool, hovered);
    QFETCH(Button, button);
    QCOMPARE(KSBatchItemDelegate::buttonFor(state, canRetry, hovered), button);
}

void TestBatchTexts::exportOutcomeNamesWhatWasNotWritten()
{
    KSBatchExportDoneWindow::Outcome outcome;
    outcome.saved = 11;
    outcome.folder = QStringLiteral("/home/ann/Shop");
    QCOMPARE(KSBatchExportDoneWindow::message(outcome).remove(QChar(0x200B)), QStringLiteral("11 saved in /home/ann/Shop."));
    outcome.notExported = 1;
    outcome.writeFailures = 2;
    outcome.firstError = QStringLiteral("the disk is full");
    const QStringList lines = KSBatchExportDoneWindow::message(outcome).split(u'\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(1).startsWith(QStringLiteral("1 not exported")));
    QVERIFY(lines.at(2).startsWith(QStringLiteral("2 could not be written")));
    QCOMPARE(lines.at(3), outcome.firstError);
}

QTEST_MAIN(TestBatchTexts)
#include "tst_batchtexts.moc"
