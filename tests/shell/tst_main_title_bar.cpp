#include "CommLang.h"
#include "CommPassport.h"
#include "CommUpdate.h"
#include "KSHoverButton.h"
#include "KSMainTitleBarView.h"
#include "KSMenu.h"
#include "KSMenuItem.h"
#include "KSNotificationCenter.h"
#include "KSUpdateWindow.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <thread>

class TestMainTitleBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void settingsButtonPostsOncePerClick_data();
    void settingsButtonPostsOncePerClick();
    void userButtonFollowsAccountNotification_data();
    void userButtonFollowsAccountNotification();
    void helpMenuUpdateItemShowsTheAnswer();

private:
    std::unique_ptr<KSMainTitleBarView> newBar();
    QTemporaryDir m_dir;
};

void TestMainTitleBar::initTestCase()
{
    QVERIFY(m_dir.isValid());
    CommPassport::signOut();
}

void TestMainTitleBar::cleanup()
{
    CommPassport::signOut();
    for (QWidget *window : QApplication::topLevelWidgets())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::unique_ptr<KSMainTitleBarView> TestMainTitleBar::newBar()
{
    auto bar = std::make_unique<KSMainTitleBarView>();
    bar->resize(1080, 44);
    bar->show();
    return bar;
}

void TestMainTitleBar::settingsButtonPostsOncePerClick_data()
{
    QTest::addColumn<int>("clicks");
    QTest::newRow("one click") << 1;
    QTest::newRow("three clicks") << 3;
}

void TestMainTitleBar::settingsButtonPostsOncePerClick()
{
    QFETCH(int, clicks);
    auto bar = newBar();
    QObject observer;
    int posts = 0;
    KSNotificationCenter::defaultCenter()->observe(KSMainTitleBarView::kNotificationShowSettingView, &observer,
                                                   [&posts](const QVariant &object) {
        QVERIFY(!object.isValid());
        ++posts;
    });

    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(bar->settingBtn(), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(posts, clicks);
}

void TestMainTitleBar::userButtonFollowsAccountNotification_data()
{
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<QString>("nickName");
    QTest::addColumn<QString>("avatarFile"); // relative to the test folder; empty: no address
    QTest::addColumn<bool>("expectAvatar");

    const QString longName = QStringLiteral("Annabelle-Marguerite Featherstonehaugh-Cholmondeley of Example");
    QTest::newRow("signed out: the sign-in prompt") << false << "" << QString() << false;
    QTest::newRow("signed in with a picture: round avatar and nickname") << true << "Ann" << "face.png" << true;
    QTest::newRow("signed in, empty avatar address: nickname only") << true << "Ann" << QString() << false;
    QTest::newRow("signed in, avatar that cannot load: nickname only") << true << "Ann" << "missing.png" << false;
    // Shortened so that it cannot push the other buttons off the bar.
    QTest::newRow("signed in, very long nickname") << true << longName << QString() << false;
}

void TestMainTitleBar::userButtonFollowsAccountNotification()
{
    QFETCH(bool, signIn);
    QFETCH(QString, nickName);
    QFETCH(QString, avatarFile);
    QFETCH(bool, expectAvatar);

    QImage face(64, 48, QImage::Format_ARGB32);
    face.fill(Qt::red);
    QVERIFY(face.save(m_dir.filePath(QStringLiteral("face.png"))));
    const QString avatarUrl =
        avatarFile.isEmpty() ? QString() : QUrl::fromLocalFile(m_dir.filePath(avatarFile)).toString();

    auto bar = newBar();
    QCOMPARE(bar->userBtn()->title(), CommLang::GetAppLang(QStringLiteral("Login")));

    // The account service may post from any thread.
    std::thread([signIn, nickName, avatarUrl] {
        if (signIn)
            CommPassport::signIn(QStringLiteral("token-1"), nickName, avatarUrl);
        else
            CommPassport::signOut();
    }).join();

    if (!signIn) {
        QTRY_COMPARE(bar->userBtn()->title(), CommLang::GetAppLang(QStringLiteral("Login")));
    } else if (nickName.size() < 20) {
        QTRY_COMPARE(bar->userBtn()->title(), nickName);
    } else {
        QTRY_COMPARE(bar->userBtn()->toolTip(), nickName);
        const QString shown = bar->userBtn()->title();
        QVERIFY(shown.size() < nickName.size());
        QVERIFY(shown.startsWith(nickName.left(5)) && shown.endsWith(nickName.right(3)));
    }
    QCOMPARE(!bar->avatar().isNull(), expectAvatar);
    if (expectAvatar) {
        const QImage avatar = bar->avatar().toImage();
        QCOMPARE(avatar.size(), QSize(20, 20));
        // Cut to a circle: the corners are clear, the middle is the picture.
        QCOMPARE(qAlpha(avatar.pixel(0, 0)), 0);
        QCOMPARE(QColor(avatar.pixel(10, 10)), QColor(Qt::red));
    }
}

void TestMainTitleBar::helpMenuUpdateItemShowsTheAnswer()
{
    // With no update feed the check answers "up to date" at once; asked from
    // the help menu, that answer is shown.
    KSUpdateWindow::installPresenter();
    auto bar = newBar();
    bar->actionForHelp();
    KSMenu *menu = nullptr;
    QTRY_VERIFY((menu = bar->findChild<KSMenu *>()) != nullptr);

    QStringList titles;
    KSMenuItem *update = nullptr;
    for (KSMenuItem *item : menu->items()) {
        titles.append(item->title());
        if (item->title() == CommLang::GetAppLang(QStringLiteral("Update")))
            update = item;
    }
    QCOMPARE(titles.size(), 5);
    QCOMPARE(titles.first(), CommLang::GetAppLang(QStringLiteral("Course")));
    QCOMPARE(titles.last(), CommLang::GetAppLang(QStringLiteral("About")));
    QVERIFY(update);
    QTest::mouseClick(update, Qt::LeftButton);

    KSUpdateWindow *answer = nullptr;
    QTRY_VERIFY([&answer] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if ((answer = qobject_cast<KSUpdateWindow *>(window)) && window->isVisible())
                return true;
        }
        return false;
    }());
    CommUpdateResult upToDate;
    upToDate.runningVersion = CommUpdate::runningVersion();
    QCOMPARE(answer->findChild<QLabel *>(QStringLiteral("messageLabel"))->text(),
             KSUpdateWindow::messageFor(upToDate));
}

QTEST_MAIN(TestMainTitleBar)
#include "tst_main_title_bar.moc"
