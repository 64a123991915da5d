#include "CommPassport.h"
#include "KSNotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <sys/stat.h>

namespace {
int fileMode(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}
} // namespace

class TestCommPassport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void signInStoresAccountPrivately();
    void everyChangeIsPosted();
    void signOutForgetsToken();
    void looseModeOfAnOldFileIsTightened();

private:
    int posts = 0;
    QObject observer;
};

void TestCommPassport::initTestCase()
{
    QFile::remove(CommPassport::passportFilePath());
    KSNotificationCenter::defaultCenter()->observe(CommPassport::kPassportDidUpdateNotification,
                                                   &observer, [this](const QVariant &) { ++posts; });
    QVERIFY(!CommPassport::isLogged());
    QVERIFY(CommPassport::apiToken().isEmpty());
}

void TestCommPassport::signInStoresAccountPrivately()
{
    QVERIFY(CommPassport::signIn(QStringLiteral("tok-1"), QStringLiteral("Ann"),
                                 QStringLiteral("https://example.org/a.png")));
    QVERIFY(CommPassport::isLogged());
    QCOMPARE(CommPassport::apiToken(), QStringLiteral("tok-1"));
    QCOMPARE(CommPassport::userNickName(), QStringLiteral("Ann"));
    QCOMPARE(CommPassport::userAvatarUrl(), QStringLiteral("https://example.org/a.png"));

    const QString path = CommPassport::passportFilePath();
    QCOMPARE(fileMode(path), 0600);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("apiToken")).toString(),
             QStringLiteral("tok-1"));
}

void TestCommPassport::everyChangeIsPosted()
{
    const int before = posts;
    QVERIFY(CommPassport::signIn(QStringLiteral("tok-2"), QStringLiteral("Ann"), QString()));
    QCOMPARE(posts, before + 1);
    QVERIFY(CommPassport::signOut());
    QCOMPARE(posts, before + 2);
}

void TestCommPassport::signOutForgetsToken()
{
    QVERIFY(CommPassport::signIn(QStringLiteral("tok-3"), QStringLiteral("Bo"), QString()));
    QVERIFY(CommPassport::signOut());
    QVERIFY(!CommPassport::isLogged());
    QVERIFY(CommPassport::userNickName().isEmpty());
    QFile file(CommPassport::passportFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("tok-3"));

    // An empty token is a sign-out, not an account without a token.
    QVERIFY(CommPassport::signIn(QString(), QStringLiteral("Bo"), QString()));
    QVERIFY(!CommPassport::isLogged());
}

void TestCommPassport::looseModeOfAnOldFileIsTightened()
{
    const QString path = CommPassport::passportFilePath();
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                            | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QVERIFY(CommPassport::signIn(QStringLiteral("tok-4"), QStringLiteral("Cy"), QString()));
    QCOMPARE(fileMode(path), 0600);
}

QTEST_GUILESS_MAIN(TestCommPassport)
#include "tst_commpassport.moc"
