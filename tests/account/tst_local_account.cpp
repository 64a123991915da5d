#include "CommPassport.h"
#include "KSAccountWindow.h"
#include "KSDataFolder.h"
#include "KSEraserNetwork.h"
#include "KSHoverButton.h"
#include "KSLocalService.h"
#include "KSPhotoPicker.h"
#include "KSServiceAddress.h"
#include "KSServiceConnection.h"
#include "KSShareLib.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileDialog>
#include <QImage>
#include <QPointer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

// Without a configured address the application starts the built-in service
// in-process and signs its local account in; after a sign-out, one click in
// the account window signs it in again.
class TestLocalAccount : public QObject
{
    Q_OBJECT

private slots:
    void builtInServiceStartsAndSignsLocalAccountIn();
    void signingOutDropsWhatTheAccountLeftInTheService();
    void accountWindowSignsLocalAccountInWithOneClick();
    void photoPickAsksForSignInThenOpensTheDialog_data();
    void photoPickAsksForSignInThenOpensTheDialog();
    void cleanupTestCase();
};

void TestLocalAccount::builtInServiceStartsAndSignsLocalAccountIn()
{
    QVERIFY(KSServiceAddress::configuredServiceURL().isEmpty());
    CommPassport::signOut();
    KSServiceConnection *connection = KSServiceConnection::defaultConnection();

    KSShareLib::setup();
    QCOMPARE(connection->mode(), KSServiceConnection::Mode::Local);
    // Started off the GUI thread: the window is up before the service is.
    QCOMPARE(connection->state(), KSServiceConnection::State::Starting);
    QTRY_COMPARE_WITH_TIMEOUT(connection->state(), KSServiceConnection::State::Ready, 30000);
    QVERIFY(CommPassport::isLogged());
    QVERIFY(!CommPassport::userNickName().isEmpty());
    QCOMPARE(KSServiceAddress::serviceURL(), connection->baseUrl());
    QVERIFY(connection->baseUrl().startsWith(QLatin1String("http://127.0.0.1:")));

    // The token is one the service itself accepts.
    bool answered = false, accepted = false;
    KSEraserNetwork::getAuthentications([&](bool success, const std::optional<QVariantMap> &) {
        accepted = success;
        answered = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 10000);
    QVERIFY(accepted);
}

namespace {
int filesUnder(const QString &folder)
{
    int count = 0;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++count;
    return count;
}
} // namespace

// The built-in service keeps a copy of every photo uploaded: a sign-out
// takes them away with the account, as the service sees it.
void TestLocalAccount::signingOutDropsWhatTheAccountLeftInTheService()
{
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.png"));
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    QVERIFY(picture.save(photo));
    const QString objects = KSDataFolder::resolve(KSLocalService::defaultDataDir()) + QStringLiteral("/objects");
    const int before = filesUnder(objects); // the test's home outlives a run
    std::atomic<int> uploaded{0}; // 1 stored, -1 failed
    KSEraserNetwork::uploadImage(photo, {}, [&](const std::optional<KSNetError> &error, const std::optional<QVariantMap> &) {
        uploaded = error ? -1 : 1;
    });
    QTRY_VERIFY_WITH_TIMEOUT(uploaded != 0, 10000);
    QCOMPARE(uploaded.load(), 1);
    QCOMPARE(filesUnder(objects), before + 1);

    KSServiceConnection::defaultConnection()->signOut();
    QVERIFY(!CommPassport::isLogged());
    QCOMPARE(filesUnder(objects), 0);
    QVERIFY(KSServiceConnection::defaultConnection()->signInLocalAccount());
}

void TestLocalAccount::accountWindowSignsLocalAccountInWithOneClick()
{
    const QString token = CommPassport::apiToken();
    QVERIFY(!token.isEmpty());
    CommPassport::signOut();

    QPointer<KSAccountWindow> window = KSShareLib::showShareLoginOrVipInfoWindow(nullptr);
    QCOMPARE(window->currentPage(), KSAccountWindow::Page::LocalSignIn);
    auto *signIn = window->findChild<KSHoverButton *>(QStringLiteral("localSignInBtn"));
    QVERIFY(signIn->isEnabled());
    QTest::mouseClick(signIn, Qt::LeftButton);

    QVERIFY(CommPassport::isLogged());
    QCOMPARE(CommPassport::apiToken(), token);
    QTRY_VERIFY(!window || !window->isVisible());
}

void TestLocalAccount::photoPickAsksForSignInThenOpensTheDialog_data()
{
    QTest::addColumn<bool>("signIn"); // else the window is closed signed out
    QTest::newRow("signed in: the dialog follows") << true;
    QTest::newRow("closed signed out: nothing follows") << false;
    // Twice, so that a request to the same window is not dropped.
    QTest::newRow("signed in again") << true;
}

void TestLocalAccount::photoPickAsksForSignInThenOpensTheDialog()
{
    QFETCH(bool, signIn);
    CommPassport::signOut();
    int dialogs = 0;
    KSPhotoPicker::setPhotoDialogRunner([&dialogs](QFileDialog &) {
        ++dialogs;
        return QStringList{};
    });
    const auto restore = qScopeGuard([] { KSPhotoPicker::setPhotoDialogRunner({}); });

    // What a card does while nobody is signed in: the account window asks.
    KSPhotoPicker::selectPhoto();
    QPointer<KSAccountWindow> window;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *account = qobject_cast<KSAccountWindow *>(top); account && account->isVisible())
            window = account;
    QVERIFY(window);
    QCOMPARE(dialogs, 0);
    if (signIn)
        QTest::mouseClick(window->findChild<KSHoverButton *>(QStringLiteral("localSignInBtn")), Qt::LeftButton);
    else
        window->close();
    QTRY_VERIFY(!window);
    QTRY_COMPARE(dialogs, signIn ? 1 : 0);
    QCoreApplication::processEvents();
    QCOMPARE(dialogs, signIn ? 1 : 0);
    if (!signIn)
        QVERIFY(KSServiceConnection::defaultConnection()->signInLocalAccount());
}

void TestLocalAccount::cleanupTestCase()
{
    CommPassport::signOut();
    KSServiceConnection::defaultConnection()->stop();
}

QTEST_MAIN(TestLocalAccount)
#include "tst_local_account.moc"
