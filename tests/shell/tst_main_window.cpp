#include "KSHoverButton.h"
#include "KSMainWindow.h"
#include "KSServiceConnection.h"
#include "KSWindowButtonView.h"
#include "KSWindowTitleBarView.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

// The main window as the application starts it.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void opensCentredAndNeverSmallerThanItsContentSize();
    void closeButtonQuitsTheApplication();
    void windowManagerCloseAsksFirst();
};

void TestMainWindow::opensCentredAndNeverSmallerThanItsContentSize()
{
    KSMainWindow window;
    window.awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.size(), KSMainWindow::kContentSize);
    const QPoint screenCentre = window.screen()->availableGeometry().center();
    QVERIFY((window.geometry().center() - screenCentre).manhattanLength() <= 2);

    window.resize(800, 400);
    QCOMPARE(window.size(), KSMainWindow::kContentSize);
}

void TestMainWindow::closeButtonQuitsTheApplication()
{
    KSMainWindow window;
    window.awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Even with another window open (a cut-out preview, say) the
    // application ends with its main window.
    QWidget other;
    other.show();

    KSHoverButton *close = window.titleBar()->windowControlBtn()->closeButton();
    QTimer::singleShot(0, close, [close] { QTest::mouseClick(close, Qt::LeftButton); });
    // A window that does not quit ends the loop with another code.
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(3); });
    QCOMPARE(QApplication::exec(), 0);
}

void TestMainWindow::windowManagerCloseAsksFirst()
{
    KSMainWindow window;
    window.awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool answer = false;
    int asked = 0;
    window.shouldTerminateClosure = [&] {
        ++asked;
        return answer;
    };
    // As the window manager closes it (Alt+F4, the task bar).
    QVERIFY(!window.close());
    QCOMPARE(asked, 1);
    QVERIFY(window.isVisible());
    answer = true;
    QVERIFY(window.close());
    QCOMPARE(asked, 2);
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
