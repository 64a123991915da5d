#include "CommLang.h"
#include "FakeOpener.h"
#include "KSHoverButton.h"
#include "KSSavePhotoSuccessView.h"
#include "NoticeLog.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>
#include <memory>

namespace {
// The editor under the overlay: it counts every mouse event that reaches it.
class RecordingHost : public QWidget
{
public:
    int mouseEvents = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++mouseEvents; }
    void mouseReleaseEvent(QMouseEvent *) override { ++mouseEvents; }
    void mouseDoubleClickEvent(QMouseEvent *) override { ++mouseEvents; }
    void mouseMoveEvent(QMouseEvent *) override { ++mouseEvents; }
};
} // namespace

// The dialog after a save: it covers the editor and keeps clicks away from
// it, reveals the written file, and reports a failed save as a failure.
class TestSavePhotoSuccessView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void coversTheHostAndFollowsItsSize();
    void clicksOnTheDimmedAreaGoNowhere_data();
    void clicksOnTheDimmedAreaGoNowhere();
    void failedSaveShowsTheErrorInstead_data();
    void failedSaveShowsTheErrorInstead();
    void eachButtonDismissesOnlyItsOwnOverlay_data();
    void eachButtonDismissesOnlyItsOwnOverlay();
    void showInFolderFallsBackStepByStep_data();
    void showInFolderFallsBackStepByStep();

private:
    std::unique_ptr<RecordingHost> m_host;
    QPointer<KSHoverButton> m_editorButton;
    int m_editorButtonClicks = 0;
};

void TestSavePhotoSuccessView::initTestCase()
{
    // No desktop file manager on the session bus: revealing falls back to
    // opening the folder, which FolderOpener receives.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/cutora-test-bus");
}

void TestSavePhotoSuccessView::init()
{
    CommLang::setCurrentLanguage(QStringLiteral("English"));
    m_host = std::make_unique<RecordingHost>();
    m_host->resize(800, 500);
    m_editorButton = new KSHoverButton(m_host.get());
    m_editorButton->setGeometry(20, 20, 120, 30);
    m_editorButtonClicks = 0;
    m_editorButton->setAction([this](KSHoverButton *) { ++m_editorButtonClicks; });
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
}

void TestSavePhotoSuccessView::cleanup()
{
    m_host.reset();
}

void TestSavePhotoSuccessView::coversTheHostAndFollowsItsSize()
{
    KSSavePhotoSuccessView *view = KSSavePhotoSuccessView::showSaveSuccessView(m_host.get(), QStringLiteral("/tmp/a.jpg"));
    QVERIFY(view);
    QCOMPARE(view->parentWidget(), m_host.get());
    QCOMPARE(view->geometry(), m_host->rect());
    QVERIFY(!view->isErrorMode());
    QVERIFY(view->openFileBtn()->isVisible());
    // The notice names the file and its folder, and only dismisses itself.
    QCOMPARE(view->titleLabel()->text().remove(QChar(0x200B)),
             QStringLiteral("The picture is saved as “a.jpg” in the folder /tmp."));
    QCOMPARE(view->cancelBtn()->title(), QStringLiteral("OK"));
    m_host->resize(1000, 640);
    QCOMPARE(view->geometry(), QRect(0, 0, 1000, 640));
}

void TestSavePhotoSuccessView::clicksOnTheDimmedAreaGoNowhere_data()
{
    QTest::addColumn<QPoint>("where");
    QTest::newRow("over an editor button") << QPoint(60, 35);
    QTest::newRow("over the bare editor") << QPoint(700, 450);
}

void TestSavePhotoSuccessView::clicksOnTheDimmedAreaGoNowhere()
{
    QFETCH(QPoint, where);
    KSSavePhotoSuccessView *view = KSSavePhotoSuccessView::showSaveSuccessView(m_host.get(), QStringLiteral("/tmp/a.jpg"));
    QVERIFY(view);
    QVERIFY(!view->centerView()->geometry().contains(where));

    // Through the window, so the event finds its widget as a real click does.
    QWindow *window = m_host->windowHandle();
    QTest::mouseMove(window, where);
    QTest::mouseClick(window, Qt::LeftButton, {}, where);
    QTest::mouseDClick(window, Qt::LeftButton, {}, where);
    QTest::mousePress(window, Qt::LeftButton, {}, where);
    QTest::mouseMove(window, where + QPoint(30, 10));
    QTest::mouseRelease(window, Qt::LeftButton, {}, where + QPoint(30, 10));

    QCOMPARE(m_host->mouseEvents, 0);
    QCOMPARE(m_editorButtonClicks, 0);
    QVERIFY(view->isVisible());

    // Once it is gone, the same click reaches the editor again.
    view->actionForCancel();
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(60, 35));
    QCOMPARE(m_editorButtonClicks, 1);
}

void TestSavePhotoSuccessView::failedSaveShowsTheErrorInstead_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("emptyPath");

    QTest::newRow("English, empty path from the save") << QStringLiteral("English") << QString() << true;
    QTest::newRow("Chinese, empty path from the save") << QStringLiteral("ChineseSimplified") << QString() << true;
    QTest::newRow("English, with the cause") << QStringLiteral("English")
                                             << QStringLiteral("/media/full-disk/out is full") << false;
    QTest::newRow("Chinese, with the cause") << QStringLiteral("ChineseSimplified")
                                             << QStringLiteral("/readonly/out") << false;
}

void TestSavePhotoSuccessView::failedSaveShowsTheErrorInstead()
{
    QFETCH(QString, language);
    QFETCH(QString, reason);
    QFETCH(bool, emptyPath);

    CommLang::setCurrentLanguage(language);
    KSSavePhotoSuccessView *view = emptyPath
        ? KSSavePhotoSuccessView::showSaveSuccessView(m_host.get(), QString())
        : KSSavePhotoSuccessView::showSaveFailedView(m_host.get(), reason);
    QVERIFY(view);
    QVERIFY(view->isErrorMode());

    const QString failed = CommLang::textInLanguage(QStringLiteral("SaveFailed"), language).value();
    const QString saved = CommLang::textInLanguage(QStringLiteral("SaveSucess"), language).value();
    const QString shown = view->titleLabel()->text().remove(QChar(0x200B));
    QVERIFY(shown.startsWith(failed));
    QVERIFY(!shown.contains(saved));
    QVERIFY(shown.endsWith(reason));
    // Nothing was written, so there is nothing to reveal.
    QVERIFY(!view->openFileBtn()->isVisible());
    QVERIFY(view->cancelBtn()->isVisible());

    // The error overlay swallows clicks as well.
    QTest::mouseClick(m_host->windowHandle(), Qt::LeftButton, {}, QPoint(60, 35));
    QCOMPARE(m_editorButtonClicks, 0);

    QPointer<KSSavePhotoSuccessView> guard(view);
    QTest::mouseClick(view->cancelBtn(), Qt::LeftButton);
    QVERIFY(view->isHidden());
    QTRY_VERIFY(!guard);
}

void TestSavePhotoSuccessView::eachButtonDismissesOnlyItsOwnOverlay_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("cancel") << QStringLiteral("cancel");
    QTest::newRow("close") << QStringLiteral("close");
}

void TestSavePhotoSuccessView::eachButtonDismissesOnlyItsOwnOverlay()
{
    QFETCH(QString, button);
    QPointer<KSSavePhotoSuccessView> first = KSSavePhotoSuccessView::showSaveSuccessView(m_host.get(), QStringLiteral("/tmp/a.jpg"));
    QPointer<KSSavePhotoSuccessView> second = KSSavePhotoSuccessView::showSaveSuccessView(m_host.get(), QStringLiteral("/tmp/a(1).jpg"));
    QVERIFY(first && second);
    // The later overlay lies on top.
    QCOMPARE(m_host->childAt(5, 5), second.data());

    KSHoverButton *pressed = button == QStringLiteral("cancel") ? second->cancelBtn() : second->closeBtn();
    QTest::mouseClick(pressed, Qt::LeftButton);
    QTRY_VERIFY(!second);
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->filePath(), QStringLiteral("/tmp/a.jpg"));
}

void TestSavePhotoSuccessView::showInFolderFallsBackStepByStep_data()
{
    QTest::addColumn<int>("openerExit");
    QTest::addColumn<bool>("notice");

    // No file manager answers on the session bus in either row.
    QTest::newRow("the desktop's handler opens the folder") << 0 << false;
    QTest::newRow("nothing opens it: the path is copied, with a notice") << 3 << true;
}

void TestSavePhotoSuccessView::showInFolderFallsBackStepByStep()
{
    QFETCH(int, openerExit);
    QFETCH(bool, notice);

    FakeOpener opener(openerExit);
    NoticeLog log;
    const QList<KSNotice> &notices = log.notices;
    QGuiApplication::clipboard()->clear();

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // The file may be gone by the time the user asks for it.
    const QString path = folder.filePath(QStringLiteral("removed.jpg"));
    QPointer<KSSavePhotoSuccessView> view = KSSavePhotoSuccessView::showSaveSuccessView(m_host.get(), path);
    QVERIFY(view);
    QTest::mouseClick(view->openFileBtn(), Qt::LeftButton);
    QTRY_VERIFY(!view);
    QTRY_COMPARE(opener.opened(), folder.path());
    if (notice) {
        QTRY_COMPARE(notices.size(), 1);
        QCOMPARE(notices.first().detail, path);
        QCOMPARE(QGuiApplication::clipboard()->text(), path);
    } else {
        // Once the opener has ended its answer is in: nothing more is said.
        QTRY_VERIFY(QCoreApplication::instance()->findChildren<QProcess *>().isEmpty());
        QVERIFY(notices.isEmpty());
    }
}

QTEST_MAIN(TestSavePhotoSuccessView)
#include "tst_savephotosuccessview.moc"
