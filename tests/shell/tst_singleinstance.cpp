#include "KSSingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <future>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// Two instances in one test: the hand-over blocks, so it runs on a thread
// while this one serves the socket.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void laterStartHandsItsPhotoOver_data();
    void laterStartHandsItsPhotoOver();
    void staleSocketDoesNotBlockTheNextStart();
    void nobodyTakesAPhotoWhenNoWindowRuns();
    void socketIsPerUserAndDisplay();

private:
    QString m_path;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("window.socket"));
}

void TestSingleInstance::laterStartHandsItsPhotoOver_data()
{
    QTest::addColumn<QStringList>("photos");
    QTest::newRow("a photo with spaces and Chinese") << QStringList{QStringLiteral("/photos/my dog 小狗.jpg")};
    // `cutora` alone only raises the running window.
    QTest::newRow("no photo") << QStringList{};
}

void TestSingleInstance::laterStartHandsItsPhotoOver()
{
    QFETCH(QStringList, photos);
    auto first = std::make_unique<KSSingleInstance>(m_path);
    QVERIFY(first->listen());
    QSignalSpy asked(first.get(), &KSSingleInstance::activationRequested);

    KSSingleInstance second(m_path);
    QVERIFY(!second.listen());
    std::future<bool> handed = std::async(std::launch::async, [&] { return second.handOver(photos); });
    QTRY_COMPARE(asked.size(), 1);
    QCOMPARE(asked.first().first().toStringList(), photos);
    QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(handed.get());

    // Once the first has ended, the next start is the window.
    first.reset();
    KSSingleInstance third(m_path);
    QVERIFY(third.listen());
}

void TestSingleInstance::staleSocketDoesNotBlockTheNextStart()
{
    // What a killed instance leaves: a socket file nobody listens on.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(m_path);
    std::memcpy(address.sun_path, name.constData(), name.size());
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(QFile::exists(m_path));

    KSSingleInstance next(m_path);
    QVERIFY(next.listen());
    QSignalSpy asked(&next, &KSSingleInstance::activationRequested);
    KSSingleInstance later(m_path);
    std::future<bool> handed = std::async(std::launch::async, [&] { return later.handOver({QStringLiteral("/a.png")}); });
    QTRY_COMPARE(asked.size(), 1);
    QVERIFY(handed.get());
}

void TestSingleInstance::nobodyTakesAPhotoWhenNoWindowRuns()
{
    KSSingleInstance alone(m_path);
    QVERIFY(!alone.handOver({QStringLiteral("/a.png")}, 500));
    // Something that is not a window's socket is not taken over either.
    QFile plain(m_path);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!alone.handOver({}, 500));
}

void TestSingleInstance::socketIsPerUserAndDisplay()
{
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":92");
    const QString onThisDisplay = KSSingleInstance::defaultSocketPath();
    QVERIFY2(onThisDisplay.contains(QStringLiteral("-%1-").arg(::getuid())), qPrintable(onThisDisplay));
    qputenv("DISPLAY", ":93");
    QVERIFY(KSSingleInstance::defaultSocketPath() != onThisDisplay);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
