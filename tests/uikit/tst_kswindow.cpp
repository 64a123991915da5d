#include "KSColorView.h"
#include "KSHoverButton.h"
#include "KSWindow.h"
#include "KSWindowButtonView.h"
#include "KSWindowTitleBarView.h"

#include <QTest>

namespace {
class CountingWindow : public KSWindow
{
public:
    int closes = 0;
    void winButtonActionForClose() override { ++closes; }
};

struct Frame
{
    CountingWindow window;
    KSHoverButton *button = nullptr;

    Frame()
    {
        window.setTitleBar(new KSWindowTitleBarView);
        auto *content = new KSColorView;
        content->setColor(Qt::lightGray);
        button = new KSHoverButton(content);
        button->setGeometry(300, 200, 80, 30);
        window.setContentView(content);
        window.setMinimumSize(400, 300);
        window.setGeometry(100, 100, 600, 400);
    }
};

// Sends a mouse event to the window's handle, as the display server does,
// so that it reaches the widget under the pointer the ordinary way.
void send(KSWindow &window, QEvent::Type type, QPoint global, Qt::MouseButtons held)
{
    const QPoint local = global - window.geometry().topLeft();
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(global), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &event);
}

// Drags with the left button from `start` (window coordinates) by `delta`
// in small steps of the pointer, whatever the window does meanwhile.
void drag(KSWindow &window, QPoint start, QPoint delta)
{
    const QPoint from = window.geometry().topLeft() + start;
    send(window, QEvent::MouseButtonPress, from, Qt::LeftButton);
    constexpr int steps = 5;
    for (int i = 1; i <= steps; ++i)
        send(window, QEvent::MouseMove, from + delta * i / steps, Qt::LeftButton);
    send(window, QEvent::MouseButtonRelease, from + delta, Qt::NoButton);
}
} // namespace

class TestKSWindow : public QObject
{
    Q_OBJECT

private slots:
    void dragMovesOnlyFromTheBackground_data();
    void dragMovesOnlyFromTheBackground();
    void edgesResizeDownToTheMinimum_data();
    void edgesResizeDownToTheMinimum();
    void closeButtonGoesToTheWindow();
};

void TestKSWindow::dragMovesOnlyFromTheBackground_data()
{
    QTest::addColumn<bool>("movable");
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("moved");

    QTest::newRow("content background") << true << QPoint(100, 300) << QPoint(30, 20);
    QTest::newRow("title bar") << true << QPoint(200, 20) << QPoint(30, 20);
    QTest::newRow("a button keeps its press") << true << QPoint(340, 260) << QPoint(0, 0);
    QTest::newRow("window not movable") << false << QPoint(100, 300) << QPoint(0, 0);
}

void TestKSWindow::dragMovesOnlyFromTheBackground()
{
    QFETCH(bool, movable);
    QFETCH(QPoint, start);
    QFETCH(QPoint, moved);

    Frame frame;
    frame.window.setMovableByWindowBackground(movable);
    frame.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame.window));
    const QPoint before = frame.window.pos();
    drag(frame.window, start, QPoint(30, 20));
    QCOMPARE(frame.window.pos() - before, moved);
}

void TestKSWindow::edgesResizeDownToTheMinimum_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("right edge widens") << QPoint(598, 200) << QPoint(50, 0) << QRect(100, 100, 650, 400);
    QTest::newRow("bottom-right corner grows both ways")
        << QPoint(598, 398) << QPoint(40, 30) << QRect(100, 100, 640, 430);
    QTest::newRow("left edge keeps the right edge still")
        << QPoint(1, 200) << QPoint(-40, 0) << QRect(60, 100, 640, 400);
    QTest::newRow("never below the minimum") << QPoint(598, 200) << QPoint(-500, 0) << QRect(100, 100, 400, 400);
    QTest::newRow("left edge at the minimum stops")
        << QPoint(1, 200) << QPoint(500, 0) << QRect(300, 100, 400, 400);
}

void TestKSWindow::edgesResizeDownToTheMinimum()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, delta);
    QFETCH(QRect, geometry);

    Frame frame;
    frame.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame.window));
    QCOMPARE(frame.window.geometry(), QRect(100, 100, 600, 400));
    drag(frame.window, start, delta);
    QCOMPARE(frame.window.geometry(), geometry);
}

void TestKSWindow::closeButtonGoesToTheWindow()
{
    Frame frame;
    frame.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame.window));
    KSHoverButton *close = frame.window.titleBar()->windowControlBtn()->closeButton();
    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    QCOMPARE(frame.window.closes, 1);
    QVERIFY(frame.window.isVisible());
}

QTEST_MAIN(TestKSWindow)
#include "tst_kswindow.moc"
