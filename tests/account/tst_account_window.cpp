#include "CommLang.h"
#include "CommPassport.h"
#include "KSAccountWindow.h"
#include "KSHoverButton.h"
#include "KSNotificationCenter.h"
#include "KSServiceConnection.h"
#include "KSShareLib.h"
#include "ScriptedHttpServer.h"
#include "WorkQuiet.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <memory>

namespace {
const QByteArray kGoodToken = "good-token";
} // namespace

// Signing in to a configured service (played by a scripted server): the
// fields are checked before anything is sent, the token is proved by the
// service's authentication call, and every change of account is announced.
class TestAccountWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fieldsAreCheckedBeforeAsking_data();
    void fieldsAreCheckedBeforeAsking();
    void tokenIsProvedByTheService_data();
    void tokenIsProvedByTheService();
    void signedInWindowSignsOut();

private:
    KSAccountWindow *openWindow();

    std::unique_ptr<ScriptedHttpServer> m_server;
    std::unique_ptr<QObject> m_observer;
    int m_accountChanges = 0;
};

void TestAccountWindow::initTestCase()
{
    m_server = std::make_unique<ScriptedHttpServer>();
    QVERIFY(m_server->isListening());
    m_server->script("GET", QStringLiteral("/api/authentications"), [](const RecordedRequest &request) {
        const bool known = request.header("Authorization") == "Bearer " + kGoodToken;
        return ScriptedReply::json(known ? R"({"status":"1","data":{}})" : R"({"status":"0","message":"unknown"})");
    });
    qputenv("CUTORA_SERVICE_URL", m_server->baseUrl().toUtf8());
    CommPassport::signOut();
    KSShareLib::setup();
    QCOMPARE(KSServiceConnection::defaultConnection()->mode(), KSServiceConnection::Mode::Remote);
    QCOMPARE(KSServiceConnection::defaultConnection()->state(), KSServiceConnection::State::Ready);
}

void TestAccountWindow::init()
{
    m_server->clearRequests();
    m_accountChanges = 0;
    m_observer = std::make_unique<QObject>();
    KSNotificationCenter::defaultCenter()->observe(CommPassport::kPassportDidUpdateNotification, m_observer.get(),
                                                   [this](const QVariant &) { ++m_accountChanges; });
}

void TestAccountWindow::cleanup()
{
    m_observer.reset();
    CommPassport::signOut();
    for (QWidget *window : QApplication::topLevelWidgets())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

KSAccountWindow *TestAccountWindow::openWindow()
{
    KSAccountWindow *window = KSShareLib::showShareLoginOrVipInfoWindow(nullptr);
    return window;
}

void TestAccountWindow::fieldsAreCheckedBeforeAsking_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("errorKey");

    QTest::newRow("no e-mail") << "" << "good-token" << "InvalidEmail";
    QTest::newRow("not an e-mail address") << "ann.example.com" << "good-token" << "InvalidEmail";
    QTest::newRow("no token") << "ann@example.com" << "   " << "EmptyToken";
}

void TestAccountWindow::fieldsAreCheckedBeforeAsking()
{
    QFETCH(QString, email);
    QFETCH(QString, token);
    QFETCH(QString, errorKey);

    KSAccountWindow *window = openWindow();
    QCOMPARE(window->currentPage(), KSAccountWindow::Page::RemoteSignIn);
    window->emailEdit()->setText(email);
    window->tokenEdit()->setText(token);
    window->actionForRemoteSignIn();

    QCOMPARE(window->errorLabel()->text(), CommLang::GetAppLang(errorKey));
    QVERIFY(window->errorLabel()->isVisibleTo(window));
    QVERIFY(waitUntilQuiet());
    QCOMPARE(m_server->requests().size(), 0);
    QVERIFY(!CommPassport::isLogged());
}

void TestAccountWindow::tokenIsProvedByTheService_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("token the service knows") << QString::fromLatin1(kGoodToken) << true;
    QTest::newRow("token the service refuses") << "wrong-token" << false;
}

void TestAccountWindow::tokenIsProvedByTheService()
{
    QFETCH(QString, token);
    QFETCH(bool, accepted);

    QPointer<KSAccountWindow> window = openWindow();
    window->emailEdit()->setText(QStringLiteral(" ann@example.com "));
    window->tokenEdit()->setText(token);
    QTest::mouseClick(window->findChild<KSHoverButton *>(QStringLiteral("remoteSignInBtn")), Qt::LeftButton);

    QTRY_COMPARE(m_server->requests().size(), 1);
    if (accepted) {
        QTRY_VERIFY(CommPassport::isLogged());
        QCOMPARE(CommPassport::apiToken(), token);
        QCOMPARE(CommPassport::userNickName(), QStringLiteral("ann@example.com"));
        QTRY_COMPARE(m_accountChanges, 1);
        // Signed in, the window has done its work.
        QTRY_VERIFY(!window || !window->isVisible());
    } else {
        QTRY_COMPARE(window->errorLabel()->text(), CommLang::GetAppLang(QStringLiteral("SignInFailed")));
        QVERIFY(!CommPassport::isLogged());
        QCOMPARE(m_accountChanges, 0);
        QVERIFY(window->isVisible());
    }
}

void TestAccountWindow::signedInWindowSignsOut()
{
    QVERIFY(CommPassport::signIn(QString::fromLatin1(kGoodToken), QStringLiteral("ann@example.com"), QString()));
    QTRY_COMPARE(m_accountChanges, 1);
    KSAccountWindow *window = openWindow();
    QCOMPARE(window->currentPage(), KSAccountWindow::Page::SignedIn);
    QCOMPARE(window->nickNameLabel()->text(), QStringLiteral("ann@example.com"));

    QTest::mouseClick(window->findChild<KSHoverButton *>(QStringLiteral("signOutBtn")), Qt::LeftButton);

    QVERIFY(!CommPassport::isLogged());
    QTRY_COMPARE(m_accountChanges, 2);
    QTRY_COMPARE(window->currentPage(), KSAccountWindow::Page::RemoteSignIn);
}

QTEST_MAIN(TestAccountWindow)
#include "tst_account_window.moc"
