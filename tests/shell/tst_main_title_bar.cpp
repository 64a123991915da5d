#include "CommLang.h"
#include "CommPassport.h"
#include "CommUpdate.h"
#include "FakeOpener.h"
#include "KSAboutWindow.h"
#include "KSInstalledModel.h"
#include "KSHoverButton.h"
#include "KSMainTitleBarView.h"
#include "KSMenu.h"
#include "KSMenuItem.h"
#include "KSNotificationCenter.h"
#include "KSShortcutKeys.h"
#include "KSUpdateWindow.h"
#include "NoticeLog.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
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
    void helpMenuOpensAboutAndShortcuts_data();
    void helpMenuOpensAboutAndShortcuts();
    void linksNoBrowserOpensShowTheirAddress_data();
    void linksNoBrowserOpensShowTheirAddress();
    void aboutNamesWhatCutsOut_data();
    void aboutNamesWhatCutsOut();

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
    // With no update feed the check cannot tell anything: asked from the
    // help menu, it says so, never that the version is the latest.
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
    QCOMPARE(titles.size(), 6);
    QCOMPARE(titles.first(), CommLang::GetAppLang(QStringLiteral("Course")));
    QVERIFY(titles.contains(CommLang::GetAppLang(QStringLiteral("Shortcuts"))));
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
    CommUpdateResult failed;
    failed.state = CommUpdateResult::State::Failed;
    QCOMPARE(answer->findChild<QLabel *>(QStringLiteral("messageLabel"))->text(), KSUpdateWindow::messageFor(failed));
    QVERIFY(!answer->findChild<QLabel *>(QStringLiteral("messageLabel"))->text().contains(QStringLiteral("latest")));
}

void TestMainTitleBar::helpMenuOpensAboutAndShortcuts_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("window");
    QTest::newRow("About") << "About" << "KSAboutWindow";
    QTest::newRow("Keyboard Shortcuts") << "Shortcuts" << "KSShortcutsWindow";
}

void TestMainTitleBar::helpMenuOpensAboutAndShortcuts()
{
    QFETCH(QString, item);
    QFETCH(QString, window);

    auto bar = newBar();
    bar->actionForHelp();
    KSMenu *menu = nullptr;
    QTRY_VERIFY((menu = bar->findChild<KSMenu *>()) != nullptr);
    for (KSMenuItem *row : menu->items())
        if (row->title() == CommLang::GetAppLang(item))
            QTest::mouseClick(row, Qt::LeftButton);

    QWidget *shown = nullptr;
    QTRY_VERIFY([&] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible() && QLatin1String(top->metaObject()->className()) == window)
                shown = top;
        return shown != nullptr;
    }());
    if (window == QLatin1String("KSAboutWindow")) {
        // A real About window: version, licences of the program and the model, credits.
        QVERIFY(shown->findChild<QLabel *>(QStringLiteral("versionLabel"))->text().contains(CommUpdate::runningVersion()));
        QVERIFY(!shown->findChild<QLabel *>(QStringLiteral("licenceLabel"))->text().isEmpty());
        // No model in this test's data folder: the window says which engine cuts out.
        QCOMPARE(shown->findChild<QLabel *>(QStringLiteral("modelLabel"))->text(),
                 CommLang::GetAppLang(QStringLiteral("AboutNoModel")));
        QVERIFY(shown->findChild<QLabel *>(QStringLiteral("creditsLabel"))->text().contains(QStringLiteral("OpenCV")));
    } else {
        // Every shortcut is listed with its keys, panning by its gestures.
        QStringList allKeys{CommLang::GetAppLang(QStringLiteral("ShortcutPanKeys"))};
        for (const KSShortcutKeys::Row &row : KSShortcutKeys::rows())
            allKeys << row.keys.toString(QKeySequence::NativeText);
        for (const QString &keys : allKeys) {
            bool listed = false;
            for (QLabel *label : shown->findChildren<QLabel *>())
                listed = listed || label->text() == keys;
            QVERIFY2(listed, qPrintable(keys));
        }
    }
}

void TestMainTitleBar::linksNoBrowserOpensShowTheirAddress_data()
{
    QTest::addColumn<int>("openerExit");
    QTest::newRow("a browser opens the page") << 0;
    QTest::newRow("no browser: the address is shown to copy") << 1;
}

void TestMainTitleBar::linksNoBrowserOpensShowTheirAddress()
{
    QFETCH(int, openerExit);
    FakeOpener opener(openerExit);
    NoticeLog log;
    const QList<KSNotice> &notices = log.notices;
    const QString address = QStringLiteral("https://www.cutora.app/support/");
    QVERIFY(KSMainTitleBarView::openAddress(address));
    QTRY_COMPARE(opener.opened(), address);
    QTRY_VERIFY(QCoreApplication::instance()->findChildren<QProcess *>().isEmpty());
    if (openerExit == 0) {
        QVERIFY(notices.isEmpty());
    } else {
        QTRY_COMPARE(notices.size(), 1);
        QCOMPARE(notices.first().detail, address);
    }
    // A malformed address opens nothing and says nothing.
    QVERIFY(!KSMainTitleBarView::openAddress(QStringLiteral("not a url")));
}

void TestMainTitleBar::aboutNamesWhatCutsOut_data()
{
    QTest::addColumn<QString>("model");      // CUTORA_MODEL: "-" unset, "FILE" a readable description
    QTest::addColumn<QString>("serviceUrl"); // a configured service
    QTest::addColumn<QString>("textKey");
    QTest::addColumn<QString>("runtime"); // what the built-in service noted it runs the model with

    QTest::newRow("no model anywhere") << "-" << "" << "AboutNoModel" << "";
    QTest::newRow("a model given by the environment") << "FILE" << "" << "AboutModel" << "";
    QTest::newRow("the environment's description unreadable") << "/nowhere/model.json" << ""
                                                                << "AboutClassicEngine" << "";
    QTest::newRow("the classical engine chosen") << "none" << "" << "AboutClassicEngine" << "";
    QTest::newRow("a configured service") << "FILE" << "https://cut.example.com" << "AboutRemoteService" << "";
    // Last: the note stays for the rest of the process.
    QTest::newRow("a model the built-in service loaded") << "FILE" << "" << "AboutModel"
                                                         << "oneDNN 2.6.3 (avx512_core)";
}

void TestMainTitleBar::aboutNamesWhatCutsOut()
{
    QFETCH(QString, model);
    QFETCH(QString, serviceUrl);
    QFETCH(QString, textKey);
    QFETCH(QString, runtime);
    const QString description = m_dir.filePath(QStringLiteral("given.json"));
    QFile file(description);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"name":"tiny-net","license":"MIT","file":"tiny.onnx"})");
    file.close();
    if (model != QLatin1String("-"))
        qputenv("CUTORA_MODEL", (model == QLatin1String("FILE") ? description : model).toUtf8());
    qputenv("CUTORA_SERVICE_URL", serviceUrl.toUtf8());
    const auto restore = qScopeGuard([] {
        qunsetenv("CUTORA_MODEL");
        qputenv("CUTORA_SERVICE_URL", QByteArray());
    });

    if (!runtime.isEmpty())
        KSInstalledModel::noteRuntime(description, runtime);

    const KSAboutWindow::Model told = KSMainTitleBarView::installedModel();
    KSAboutWindow *about = KSAboutWindow::showAbout(told);
    const QString shown = about->findChild<QLabel *>(QStringLiteral("modelLabel"))->text();
    const QString text = CommLang::GetAppLang(textKey);
    if (textKey == QLatin1String("AboutModel") && !runtime.isEmpty())
        QCOMPARE(shown, text.arg(QStringLiteral("tiny-net"), QStringLiteral("MIT")) + QLatin1Char('\n')
                            + CommLang::GetAppLang(QStringLiteral("AboutModelRuntime")).arg(runtime));
    else if (textKey == QLatin1String("AboutModel"))
        QCOMPARE(shown, text.arg(QStringLiteral("tiny-net"), QStringLiteral("MIT")));
    else if (textKey == QLatin1String("AboutRemoteService"))
        QCOMPARE(shown, text.arg(serviceUrl));
    else
        QCOMPARE(shown, text);
    about->close();
}

QTEST_MAIN(TestMainTitleBar)
#include "tst_main_title_bar.moc"
