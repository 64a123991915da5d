#include "KSServiceConnection.h"

#include "CallLog.h"
#include "CommLog.h"
#include "KSDataFolder.h"
#include "KSEraserManager.h"
#include "KSJobProgress.h"
#include "KSLocalService.h"
#include "KSReconnect.h"
#include "KSServiceAddress.h"
#include "KSTaskFlow.h"
#include "LogWatch.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>

using namespace std::chrono_literals;

namespace {

// Another program's service on this program's data folder: a cutora-service
// that tasks only wait in, so that they are still there when it goes.
class OtherProgram
{
public:
    ~OtherProgram() { end(); }

    bool start()
    {
        m_process.start(QStringLiteral(CUTORA_SERVICE_BINARY),
                        {"--port", "0", "--workers", "0", "--model", "none", "--data",
                         KSDataFolder::resolve(KSLocalService::defaultDataDir())});
        QByteArray printed;
        while (!printed.contains("token ") || !printed.endsWith('\n')) {
            if (!m_process.waitForReadyRead(20000))
                return false;
            printed += m_process.readAllStandardOutput();
        }
        m_url = QString::fromUtf8(printed.mid(printed.indexOf("url ") + 4).split('\n').value(0).trimmed());
        return true;
    }
    void signal(int number) const { ::kill(pid_t(m_process.processId()), number); }
    void end()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        signal(SIGCONT);
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    [[nodiscard]] const QString &url() const { return m_url; }

private:
    QProcess m_process;
    QString m_url;
};

// A blue disc on grey: something the classical engine cuts out.
QString writePhoto(const QTemporaryDir &dir)
{
    QImage photo(200, 150, QImage::Format_RGB32);
    photo.fill(QColor(232, 232, 236));
    QPainter painter(&photo);
    painter.setBrush(QColor(40, 60, 140));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(60, 30, 80, 90));
    painter.end();
    const QString path = dir.filePath(QStringLiteral("photo.png"));
    return photo.save(path) ? path : QString();
}

struct Report
{
    bool success = false;
    std::optional<QString> path;
    double progress = 0;
};

KSServiceConnection *startConnection()
{
    KSServiceConnection *connection = KSServiceConnection::defaultConnection();
    connection->start();
    return connection;
}

} // namespace

class TestServiceConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void aJobGoesOnWhenTheOwnerIsKilled();
    void aHungOwnerIsGivenUpWithItsCause();
    void aHungOwnerThatAnswersAgainIsUsed();

private:
    QTemporaryDir m_data;
};

void TestServiceConnection::initTestCase()
{
    // A data folder of this run alone: tasks an earlier run left waiting
    // would be taken up with this run's.
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    KSTaskFlow::setPollInterval(100ms);
    KSReconnect::setPolicy({100ms, 15s});
}

void TestServiceConnection::cleanup()
{
    // The next test starts a connection of its own, on a free folder.
    delete KSServiceConnection::defaultConnection();
    KSServiceAddress::setDefaultServiceURL(QString());
}

void TestServiceConnection::aJobGoesOnWhenTheOwnerIsKilled()
{
    KSServiceConnection::setPatience({});
    OtherProgram owner;
    QVERIFY(owner.start());
    KSServiceConnection *connection = startConnection();
    QTRY_COMPARE_WITH_TIMEOUT(connection->state(), KSServiceConnection::State::Ready, 20000);
    QCOMPARE(connection->baseUrl(), owner.url());

    QTemporaryDir dir;
    const QString photo = writePhoto(dir);
    LogWatch log(CommLog::logFilePath());
    CallLog<Report> reports;
    KSEraserManager::startEraser(photo, KSEraserType::object,
                                 [&reports](bool success, const std::optional<QString> &path, double progress) {
                                     reports.add({success, path, progress});
                                 });
    // The task waits in the owner, whose service holds each poll a while:
    // the kill drops a poll under way.
    QTRY_VERIFY_WITH_TIMEOUT(reports.count() > 0 && reports.last().progress >= KSJobProgress::kUploaded, 20000);
    QTest::qWait(300);
    owner.signal(SIGKILL);

    QTRY_VERIFY_WITH_TIMEOUT(reports.count() > 0 && (reports.last().success || reports.last().progress < 0), 30000);
    QVERIFY2(reports.last().success, qPrintable(log.newText()));
    QCOMPARE(QImage(*reports.last().path).size(), QSize(200, 150));
    QFile::remove(*reports.last().path);
    // This program took the service over, on the same address, and ran the
    // task the owner left: once.
    QCOMPARE(connection->baseUrl(), owner.url());
    const QString written = log.newText();
    QVERIFY(written.contains(QStringLiteral("built-in cut-out service taken over at ")));
    QCOMPARE(written.count(QRegularExpression(QStringLiteral("task [0-9a-f]{32} done by"))), 1);
}

void TestServiceConnection::aHungOwnerIsGivenUpWithItsCause()
{
    KSServiceConnection::setPatience({20ms, 300ms, 100ms, 1500ms});
    OtherProgram owner;
    QVERIFY(owner.start());
    owner.signal(SIGSTOP);
    LogWatch log(CommLog::logFilePath());
    KSServiceConnection *connection = startConnection();
    QTRY_COMPARE_WITH_TIMEOUT(connection->state(), KSServiceConnection::State::Failed, 10000);
    QVERIFY2(connection->errorString().contains(QStringLiteral("%1, which holds the data folder, does not answer").arg(owner.url())),
             qPrintable(connection->errorString()));
    QVERIFY(!log.newText().contains(QStringLiteral("does not take this data folder's token")));
}

void TestServiceConnection::aHungOwnerThatAnswersAgainIsUsed()
{
    KSServiceConnection::setPatience({20ms, 300ms, 100ms, 10s});
    OtherProgram owner;
    QVERIFY(owner.start());
    owner.signal(SIGSTOP);
    KSServiceConnection *connection = startConnection();
    bool waited = false;
    connect(connection, &KSServiceConnection::waitingForAnotherService, this, [&waited] { waited = true; });
    QTRY_VERIFY_WITH_TIMEOUT(waited, 5000);
    QCOMPARE(connection->state(), KSServiceConnection::State::Starting);
    owner.signal(SIGCONT);
    QTRY_COMPARE_WITH_TIMEOUT(connection->state(), KSServiceConnection::State::Ready, 5000);
    QCOMPARE(connection->baseUrl(), owner.url());
}

QTEST_GUILESS_MAIN(TestServiceConnection)
#include "tst_serviceconnection.moc"
