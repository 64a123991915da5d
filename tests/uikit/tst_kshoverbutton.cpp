#include "KSHoverButton.h"
#include "KSTextField.h"

#include <QPointer>
#include <QTest>

using Look = KSHoverButton::Look;

namespace {
const QColor kText = QColor::fromRgb(0x333333u);
const QColor kAccent = QColor::fromRgb(0x00CC8Fu);
const QColor kPressed = QColor::fromRgb(0x00B17Cu);

enum class Step { Enter, Leave, Press, Release, DragOut, DragIn, Select, Deselect };
using Steps = QList<Step>;
} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(KSHoverButton::Look)

class TestKSHoverButton : public QObject
{
    Q_OBJECT

private slots:
    void looksFollowPointerPressAndSelection_data();
    void looksFollowPointerPressAndSelection();
    void unsetDownLooksFallBackToHoverThenNormal();
    void actionSkipsAGoneTarget();
    void titleFieldMeasuresItsText();
    void actionMayDeleteItsButton();

private:
    static void run(QWidget *host, KSHoverButton *button, const Steps &steps);
};

void TestKSHoverButton::run(QWidget *host, KSHoverButton *button, const Steps &steps)
{
    const QPoint inside = button->rect().center();
    const QPoint outside = button->mapTo(host, QPoint(0, 0)) + QPoint(-20, -20);
    for (Step step : steps) {
        switch (step) {
        case Step::Enter: QTest::mouseMove(button, inside); break;
        case Step::Leave: QTest::mouseMove(host, outside); break;
        case Step::Press: QTest::mousePress(button, Qt::LeftButton, {}, inside); break;
        case Step::Release: QTest::mouseRelease(button, Qt::LeftButton, {}, inside); break;
        case Step::DragOut: {
            // A move with the button held, as a real drag delivers it.
            QMouseEvent move(QEvent::MouseMove, QPointF(-30, -30), button->mapToGlobal(QPointF(-30, -30)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(button, &move);
            break;
        }
        case Step::DragIn: {
            QMouseEvent move(QEvent::MouseMove, QPointF(inside), button->mapToGlobal(QPointF(inside)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(button, &move);
            break;
        }
        case Step::Select: button->setSelected(true); break;
        case Step::Deselect: button->setSelected(false); break;
        }
    }
}

void TestKSHoverButton::looksFollowPointerPressAndSelection_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<KSHoverButton::Look>("look");
    QTest::addColumn<QColor>("titleColor");
    QTest::addColumn<int>("clicks");

    using L = KSHoverButton::Look;
    QTest::newRow("untouched is normal") << Steps{} << L::Normal << kText << 0;
    QTest::newRow("pointer inside shows hover") << Steps{Step::Enter} << L::Hover << kAccent << 0;
    QTest::newRow("pointer gone returns to normal") << Steps{Step::Enter, Step::Leave} << L::Normal << kText << 0;
    QTest::newRow("pressed shows down") << Steps{Step::Enter, Step::Press} << L::Down << kPressed << 0;
    QTest::newRow("release inside clicks once, back to hover")
        << Steps{Step::Enter, Step::Press, Step::Release} << L::Hover << kAccent << 1;
    QTest::newRow("dragged out while pressed loses down")
        << Steps{Step::Enter, Step::Press, Step::DragOut} << L::Hover << kAccent << 0;
    QTest::newRow("dragged back in shows down again")
        << Steps{Step::Enter, Step::Press, Step::DragOut, Step::DragIn} << L::Down << kPressed << 0;
    QTest::newRow("selected keeps hover without the pointer") << Steps{Step::Select} << L::Hover << kAccent << 0;
    QTest::newRow("selected and left stays hover")
        << Steps{Step::Select, Step::Enter, Step::Leave} << L::Hover << kAccent << 0;
    QTest::newRow("deselected under the pointer stays hover")
        << Steps{Step::Select, Step::Enter, Step::Deselect} << L::Hover << kAccent << 0;
    QTest::newRow("deselected without the pointer is normal")
        << Steps{Step::Select, Step::Deselect} << L::Normal << kText << 0;
}

void TestKSHoverButton::looksFollowPointerPressAndSelection()
{
    QFETCH(Steps, steps);
    QFETCH(KSHoverButton::Look, look);
    QFETCH(QColor, titleColor);
    QFETCH(int, clicks);

    QWidget host;
    host.resize(200, 120);
    auto *button = new KSHoverButton(&host);
    button->setGeometry(60, 40, 80, 30);
    button->setTitle(QStringLiteral("Save"));
    button->setTitleColor(kText);
    button->setTitleHoverColor(kAccent);
    button->setTitleDownColor(kPressed);
    int sent = 0;
    button->setAction([&](KSHoverButton *sender) {
        QCOMPARE(sender, button);
        ++sent;
    });
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    // Start every row with the pointer outside the button and no enter or
    // leave of the window's appearance still queued.
    QTest::mouseMove(&host, QPoint(5, 5));
    QCoreApplication::processEvents();

    run(&host, button, steps);

    const Look shown = button->currentLook();
    const QColor shownColor = button->textFiled()->textColor();
    // The test library remembers a held button across rows: let go of it.
    if (steps.count(Step::Press) > steps.count(Step::Release))
        QTest::mouseRelease(&host, Qt::LeftButton, {}, QPoint(5, 5));
    // And leave the pointer off the spot where the next row's button appears.
    QTest::mouseMove(&host, QPoint(5, 5));

    QCOMPARE(shown, look);
    QCOMPARE(shownColor, titleColor);
    QCOMPARE(sent, clicks);
}

void TestKSHoverButton::unsetDownLooksFallBackToHoverThenNormal()
{
    // Callers often set only a hover colour; pressing must not drop back to normal.
    QWidget host;
    host.resize(200, 120);
    auto *button = new KSHoverButton(&host);
    button->setGeometry(60, 40, 80, 30);
    button->setTitle(QStringLiteral("Retry"));
    button->setTitleColor(Qt::white);
    button->setTitleHoverColor(kAccent);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    run(&host, button, {Step::Enter, Step::Press});
    QCOMPARE(button->currentLook(), KSHoverButton::Look::Down);
    QCOMPARE(button->textFiled()->textColor(), kAccent);
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());

    auto *plain = new KSHoverButton(&host);
    plain->setGeometry(10, 80, 80, 30);
    plain->setTitle(QStringLiteral("Cancel"));
    plain->setTitleColor(kText);
    plain->show();
    run(&host, plain, {Step::Enter, Step::Press});
    QCOMPARE(plain->textFiled()->textColor(), kText);
}

void TestKSHoverButton::actionSkipsAGoneTarget()
{
    KSHoverButton button;
    button.resize(80, 30);
    int sent = 0;
    auto *target = new QObject;
    button.setTarget(target);
    button.setAction([&](KSHoverButton *) { ++sent; });
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(sent, 1);

    delete target;
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(sent, 1);

    // Without any target the action always runs.
    KSHoverButton free;
    free.resize(80, 30);
    free.setAction([&](KSHoverButton *) { ++sent; });
    QTest::mouseClick(&free, Qt::LeftButton);
    QCOMPARE(sent, 2);
}

void TestKSHoverButton::titleFieldMeasuresItsText()
{
    // Buttons are sized to their longest title in each language.
    KSHoverButton button;
    button.setTitle(QStringLiteral("Back"));
    const int shortWidth = button.textFiled()->sizeThatFits(QSize(300, 25)).width();
    button.setTitle(QStringLiteral("Back to the home screen"));
    const QSize longSize = button.textFiled()->sizeThatFits(QSize(300, 25));
    QVERIFY(shortWidth > 0);
    QVERIFY(longSize.width() > shortWidth);
    QVERIFY(longSize.height() <= 25);

    // Too long for the bounds: never wider than allowed.
    QVERIFY(button.textFiled()->sizeThatFits(QSize(40, 100)).width() <= 40);
    button.setTitle(QString());
    QCOMPARE(button.textFiled()->sizeThatFits(QSize(300, 25)), QSize(0, 0));
}

void TestKSHoverButton::actionMayDeleteItsButton()
{
    // A panel's close button typically removes the panel, button and all.
    QWidget host;
    host.resize(200, 120);
    auto *panel = new QWidget(&host);
    panel->setGeometry(0, 0, 200, 120);
    auto *close = new KSHoverButton(panel);
    close->setGeometry(60, 40, 80, 30);
    close->setAction([panel](KSHoverButton *) { delete panel; });
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    QPointer<QWidget> guard(panel);
    QTest::mouseMove(close, close->rect().center());
    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    QVERIFY(guard.isNull());
}

QTEST_MAIN(TestKSHoverButton)
#include "tst_kshoverbutton.moc"
