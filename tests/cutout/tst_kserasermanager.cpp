#include "KSEraserManager.h"
#include "KSJobProgress.h"

#include "CallLog.h"
#include "CommLang.h"
#include "CommLog.h"
#include "CommPassport.h"
#include "KSBookmark.h"
#include "KSEraserNetwork.h"
#include "KSFileConst.h"
#include "KSPictureLimits.h"
#include "KSReconnect.h"
#include "KSServiceAddress.h"
#include "KSStorageSignature.h"
#include "KSTaskFlow.h"
#include "LogWatch.h"
#include "PhotoFixtures.h"
#include "ScriptedCutoutService.h"
#include "WorkQuiet.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(KSEraserFailure::Kind)

namespace {

struct Report
{
    bool success = false;
    std::optional<QString> path;
    double progress = 0;
};

bool isFinal(const Report &report)
{
    return report.success || report.progress < 0;
}

QSet<QString> tempFiles()
{
    const QStringList names = QDir(KSTempAppPathDirector()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    return {names.cbegin(), names.cend()};
}

QImage decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).read();
}

// Runs a job to its final report and until its threads are idle and what
// they posted is delivered, so that a report after the final one is seen.
QList<CallLog<Report>::Entry> runJob(const QString &photo, KSEraserType type, QList<KSEraserFailure> *failures = nullptr)
{
    CallLog<Report> reports;
    KSEraserManager::startEraser(
        photo, type,
        [&reports](bool success, const std::optional<QString> &path, double progress) {
            reports.add({success, path, progress});
        },
        [&reports, failures](const KSEraserFailure &failure) {
            // Told before the final report, never after it.
            QVERIFY(reports.count() == 0 || !isFinal(reports.last()));
            if (failures)
                failures->append(failure);
        });
    if (!QTest::qWaitFor([&] { return reports.count() > 0 && isFinal(reports.last()); }, 10000))
        qWarning("the job gave no final report");
    if (!waitUntilQuiet())
        qWarning("the job's threads are still busy");
    return reports.entries();
}

} // namespace

class TestKSEraserManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void successKeepsFullSizeAndCleansUp();
    void requestsCarryTokenParametersAndSignature();
    void uploadCopyIsNamedForTheTiffItHolds();
    void everyFailureEndsInOneReport_data();
    void everyFailureEndsInOneReport();
    void resultNeverReplacesThePhoto();
    void resultOfALongNameLeavesRoomToWriteIt();
    void photosOfOneNameCutOutAtOnceKeepTheirOwnResults();
    void aHugePhotoIsReadAgainForItsCutout_data();
    void aHugePhotoIsReadAgainForItsCutout();
    void photoProblemsAreToldByCause_data();
    void photoProblemsAreToldByCause();
    void causesGiveTheirOwnAdviceInBothLanguages();
    void unreachableServiceIsToldAsSuch();
    void theTasksMiddleIsTheBarsMiddle();
    void cancelDeletesTheFilesAndDropsTheTask_data();
    void cancelDeletesTheFilesAndDropsTheTask();

private:
    QString writePhoto(const QString &name, QSize size);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedCutoutService> m_service;
};

void TestKSEraserManager::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("cutora.protocol.debug=false"));
    QVERIFY(m_dir.isValid());
    // No test here times the polls: they need not wait a second, nor a
    // service that is not there long.
    KSTaskFlow::setPollInterval(std::chrono::milliseconds(100));
    KSReconnect::setPolicy({std::chrono::milliseconds(100), std::chrono::milliseconds(500)});
}

void TestKSEraserManager::init()
{
    QVERIFY(CommPassport::signIn(QStringLiteral("user-token"), QStringLiteral("Tester"), QString()));
    m_service = std::make_unique<ScriptedCutoutService>();
    QVERIFY(m_service->server.isListening());
    KSServiceAddress::setDefaultServiceURL(m_service->baseUrl());
}

QString TestKSEraserManager::writePhoto(const QString &name, QSize size)
{
    QImage photo(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, y % 256, 90));
    const QString path = m_dir.filePath(name);
    if (!photo.save(path, "PNG"))
        return {};
    return path;
}

void TestKSEraserManager::successKeepsFullSizeAndCleansUp()
{
    const QString photo = writePhoto(QStringLiteral("wide photo.png"), QSize(2400, 1200));
    const QSet<QString> before = tempFiles();

    const auto entries = runJob(photo, KSEraserType::person);
    QVERIFY(!entries.isEmpty());
    const Report last = entries.last().value;
    QVERIFY(last.success);
    QCOMPARE(last.progress, 1.0);
    QCOMPARE(*last.path, KSTempAppWithFileName(QStringLiteral("wide photo.png")));

    // Reports: the prepared photo first, then rising upload, task, download
    // and cut-out shares, all on the main thread, the result last and alone.
    QCOMPARE(entries.first().value.progress, KSJobProgress::kPrepared);
    double previous = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Report &report = entries[i].value;
        QCOMPARE(entries[i].thread, QThread::currentThread());
        QVERIFY(report.progress >= previous);
        previous = report.progress;
        if (i + 1 < entries.size()) {
            QVERIFY(!report.success && !report.path);
            QVERIFY(report.progress >= KSJobProgress::kPrepared && report.progress < 1.0);
        }
    }

    // The upload was the reduced copy; the result keeps the full size with
    // the mask stretched over it as alpha.
    const RecordedRequest put = m_service->server.requests("PUT", ScriptedCutoutService::kPutPath).value(0);
    QCOMPARE(decode(put.body).size(), QSize(2000, 1000));
    QImageReader reader(*last.path);
    QCOMPARE(reader.format(), QByteArray("tiff"));
    const QImage result = reader.read();
    QCOMPARE(result.size(), QSize(2400, 1200));
    QCOMPARE(qAlpha(result.pixel(10, 600)), 255);
    QCOMPARE(qAlpha(result.pixel(2390, 600)), 0);
    QCOMPARE(qRed(result.pixel(100, 600)), 100);

    // Upload copy and mask are gone; only the result stays, the user's alone.
    QCOMPARE(tempFiles() - before, QSet<QString>{QStringLiteral("wide photo.png")});
    QCOMPARE(QFileInfo(*last.path).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::remove(*last.path);
}

void TestKSEraserManager::requestsCarryTokenParametersAndSignature()
{
    const QString photo = writePhoto(QStringLiteral("small.png"), QSize(60, 40));
    const auto entries = runJob(photo, KSEraserType::object);
    QVERIFY(entries.last().value.success);
    QFile::remove(*entries.last().value.path);

    const ScriptedHttpServer &server = m_service->server;
    const RecordedRequest auth = server.requests("GET", ScriptedCutoutService::kAuthPath).value(0);
    QCOMPARE(auth.header("Authorization"), QByteArray("Bearer user-token"));
    QVERIFY(auth.query.isEmpty());

    const QList<RecordedRequest> puts = server.requests("PUT", ScriptedCutoutService::kPutPath);
    QCOMPARE(puts.size(), 1);
    const RecordedRequest &put = puts.first();
    QVERIFY(QRegularExpression(QStringLiteral("^/cutora/uploads/[0-9a-f]{32}\\.jpg$")).match(QString::fromUtf8(put.path)).hasMatch());
    QCOMPARE(put.header("x-oss-security-token"), ScriptedCutoutService::kSecurityToken);
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromBase64(put.header("x-oss-callback"))).toVariant().toMap(),
             m_service->callback());
    QVERIFY(put.header("Authorization").startsWith("OSS " + ScriptedCutoutService::kAccessId + ':'));
    QVERIFY(KSStorageSignature::verify(put.header("Authorization"), ScriptedCutoutService::kAccessSecret, "PUT", put.headers,
                              put.path));
    QCOMPARE(decode(put.body).size(), QSize(60, 40));

    const RecordedRequest resources = server.requests("POST", ScriptedCutoutService::kResourcesPath).value(0);
    QCOMPARE(resources.params.value("api_token"), QStringLiteral("user-token"));
    QCOMPARE(resources.params.value("resource_id"), ScriptedCutoutService::kResourceId);
    // In the head too: a service reads no body before the token is proved.
    QCOMPARE(resources.header("Authorization"), QByteArray("Bearer user-token"));

    const RecordedRequest task = server.requests("POST", ScriptedCutoutService::kTaskPath).value(0);
    QCOMPARE(task.path, QByteArray("/api/tasks/object"));
    QCOMPARE(task.params.value("file_id"), ScriptedCutoutService::kResourceId);
    QCOMPARE(task.header("Authorization"), QByteArray("Bearer user-token"));

    QCOMPARE(server.requests("GET", ScriptedCutoutService::kPollPath).size(), 1);
    QCOMPARE(server.requests("GET", ScriptedCutoutService::kMaskPath).size(), 1);
}

void TestKSEraserManager::uploadCopyIsNamedForTheTiffItHolds()
{
    // What the temporary folder holds while the storage takes the copy.
    const QSet<QString> before = tempFiles();
    QMutex mutex;
    QSet<QString> duringPut;
    m_service->server.script("PUT", ScriptedCutoutService::kPutPath, [&](const RecordedRequest &) {
        QMutexLocker lock(&mutex);
        duringPut = tempFiles() - before;
        return ScriptedReply::json(ScriptedCutoutService::envelope(
            {{"resource", QVariantMap{{"resource_id", ScriptedCutoutService::kResourceId}}}}));
    });
    const auto entries = runJob(writePhoto(QStringLiteral("photo.png"), QSize(60, 40)), KSEraserType::object);
    QVERIFY(entries.last().value.success);
    QFile::remove(*entries.last().value.path);

    QMutexLocker lock(&mutex);
    QCOMPARE(duringPut.size(), 1);
    QCOMPARE(QFileInfo(*duringPut.cbegin()).suffix(), QStringLiteral("tif"));
    QBuffer sent;
    sent.setData(m_service->server.requests("PUT", ScriptedCutoutService::kPutPath).value(0).body);
    QCOMPARE(QImageReader(&sent).format(), QByteArray("tiff"));
}

void TestKSEraserManager::everyFailureEndsInOneReport_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("route");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("logLine"); // the error line the cause leaves, if any
    QTest::addColumn<KSEraserFailure::Kind>("failure"); // what the user is told

    const auto envelope = [](const QVariantMap &data, const QVariant &status = QStringLiteral("1")) {
        return ScriptedCutoutService::envelope(data, status);
    };
    const QString auth = ScriptedCutoutService::kAuthPath;
    const QString put = ScriptedCutoutService::kPutPath;
    const QString resources = ScriptedCutoutService::kResourcesPath;
    const QString task = ScriptedCutoutService::kTaskPath;
    const QString poll = ScriptedCutoutService::kPollPath;
    const QString mask = ScriptedCutoutService::kMaskPath;
    const QString pollFailed = QStringLiteral("cut-out failed: polling the task failed");
    using Kind = KSEraserFailure::Kind;

    QTest::newRow("authentication: server error") << QByteArray("GET") << auth << 500 << QByteArray("{}") << QString()
        << Kind::serviceError;
    QTest::newRow("authentication: reply not a dictionary") << QByteArray("GET") << auth << 200 << QByteArray("[1]") << QString()
        << Kind::serviceError;
    QTest::newRow("authentication: status 0") << QByteArray("GET") << auth << 200 << envelope({}, "0") << QString()
        << Kind::serviceError;
    QTest::newRow("authentication: status missing") << QByteArray("GET") << auth << 200 << envelope({}, QVariant())
                                                    << QStringLiteral("status is missing or not text")
        << Kind::serviceError;
    QTest::newRow("authentication: status a number") << QByteArray("GET") << auth << 200 << envelope({}, 1)
                                                     << QStringLiteral("status is missing or not text")
        << Kind::serviceError;
    QTest::newRow("credentials: no security token")
        << QByteArray("GET") << auth << 200
        << envelope({{"endpoint", "127.0.0.1:1"}, {"access_id", "i"}, {"access_secret", "s"}, {"bucket", "cutora"},
                     {"path", QVariantMap{{"images", "u/"}}}, {"callback", QVariantMap{{"callbackUrl", "x"}}}})
        << QStringLiteral("the storage credentials lack the fields security_token")
        << Kind::serviceError;
    QTest::newRow("credentials: no data") << QByteArray("GET") << auth << 200 << QByteArray(R"({"status":"1"})")
                                          << QStringLiteral("the reply has no data object")
        << Kind::serviceError;
    QTest::newRow("storage: refused") << QByteArray("PUT") << put << 403 << QByteArray("<Error/>") << QString()
        << Kind::serviceError;
    // The service's own words for a full data folder name it, XML escapes and all.
    QTest::newRow("storage: the service's data folder is full")
        << QByteArray("PUT") << put << 507
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>InsufficientStorage</Code><Message>"
                      "the data folder /srv/cutora &amp; data is full: the object cannot be stored.</Message></Error>\n")
        << QString() << Kind::serviceFolderFull;
    QTest::newRow("callback: status 0") << QByteArray("PUT") << put << 200 << envelope({}, "0") << QString()
        << Kind::serviceError;
    QTest::newRow("callback: no reply text") << QByteArray("PUT") << put << 200 << QByteArray()
                                             << QStringLiteral("the storage callback's reply is no JSON object")
        << Kind::serviceError;
    QTest::newRow("callback: no resource_id") << QByteArray("PUT") << put << 200 << envelope({{"resource", QVariantMap{}}})
                                              << QStringLiteral("the storage callback's reply has no resource_id")
        << Kind::serviceError;
    QTest::newRow("registration: server error") << QByteArray("POST") << resources << 500 << QByteArray("{}") << QString()
        << Kind::serviceError;
    QTest::newRow("registration: status 0") << QByteArray("POST") << resources << 200 << envelope({{"resource_id", "r"}}, "0")
                                            << QString()
        << Kind::serviceError;
    QTest::newRow("registration: not a dictionary") << QByteArray("POST") << resources << 200 << QByteArray("\"ok\"")
                                                    << QStringLiteral("registering the resource failed: the reply is no dictionary")
        << Kind::serviceError;
    QTest::newRow("registration: no resource_id") << QByteArray("POST") << resources << 200 << envelope({{"id", "r"}})
                                                  << QStringLiteral("the registration's reply has no resource_id")
        << Kind::serviceError;
    QTest::newRow("task: server error") << QByteArray("POST") << task << 500 << QByteArray("{}") << QString()
        << Kind::serviceError;
    QTest::newRow("task: not a dictionary") << QByteArray("POST") << task << 200 << QByteArray("[]") << QString()
        << Kind::serviceError;
    QTest::newRow("task: no data object") << QByteArray("POST") << task << 200 << QByteArray(R"({"status":"1","data":"x"})")
                                          << QString()
        << Kind::serviceError;
    QTest::newRow("task: task_id not text") << QByteArray("POST") << task << 200 << envelope({{"task_id", 7}}) << QString()
        << Kind::serviceError;
    QTest::newRow("task: status 2") << QByteArray("POST") << task << 200 << envelope({{"task_id", "t"}}, "2") << QString()
        << Kind::serviceError;
    QTest::newRow("task: status missing") << QByteArray("POST") << task << 200 << envelope({{"task_id", "t"}}, QVariant())
                                          << QStringLiteral("status is missing or not text")
        << Kind::serviceError;
    QTest::newRow("poll: failed task") << QByteArray("GET") << poll << 200 << envelope({{"status", -1}})
                                       << QStringLiteral("cut-out failed: polling the task failed: status -1")
        << Kind::engineFailed;
    // The service's own cause travels to the error screen and the terminal.
    QTest::newRow("poll: no subject found") << QByteArray("GET") << poll << 200
                                            << envelope({{"status", -1},
                                                         {"error", "no subject found: the whole picture has the colours of its border"}})
                                            << QStringLiteral("no subject found")
        << Kind::noSubject;
    QTest::newRow("poll: task failed for a full data folder")
        << QByteArray("GET") << poll << 200
        << envelope({{"status", -1}, {"error", "the mask cannot be written: the data folder /srv/cutora & data is full"}})
        << QStringLiteral("status -1") << Kind::serviceFolderFull;
    QTest::newRow("poll: done without URL") << QByteArray("GET") << poll << 200 << envelope({{"status", 2}})
                                            << QStringLiteral("cut-out failed: polling the task failed: the reply has no mask URL")
        << Kind::serviceError;
    QTest::newRow("poll: URL that is no URL") << QByteArray("GET") << poll << 200
                                              << envelope({{"status", 2}, {"mask_file_url", "::not a url"}})
                                              << QStringLiteral("the reply has no mask URL")
        << Kind::serviceError;
    QTest::newRow("poll: file URL refused") << QByteArray("GET") << poll << 200
                                            << envelope({{"status", 2}, {"mask_file_url", "file:///etc/passwd"}})
                                            << QStringLiteral("not http or https")
        << Kind::serviceError;
    QTest::newRow("poll: request fails") << QByteArray("GET") << poll << 500 << QByteArray("{}") << pollFailed
        << Kind::serviceError;
    QTest::newRow("poll: not a dictionary") << QByteArray("GET") << poll << 200 << QByteArray("[2]") << pollFailed
        << Kind::serviceError;
    QTest::newRow("poll: no data") << QByteArray("GET") << poll << 200 << QByteArray(R"({"status":"1"})") << pollFailed
        << Kind::serviceError;
    QTest::newRow("poll: status as text") << QByteArray("GET") << poll << 200 << envelope({{"status", "2"}}) << pollFailed
        << Kind::serviceError;
    QTest::newRow("download: not found") << QByteArray("GET") << mask << 404 << QByteArray()
                                         << QStringLiteral("cut-out failed: downloading the mask failed: ")
        << Kind::serviceError;
    QTest::newRow("mask: not a picture") << QByteArray("GET") << mask << 200 << QByteArray("not a png")
                                         << QStringLiteral("cannot read the mask")
        << Kind::serviceError;
    // Not a route: the account and the photo themselves.
    QTest::newRow("no account token") << QByteArray("signout") << QString() << 0 << QByteArray()
                                      << QStringLiteral("not signed in, no account token")
        << Kind::signedOut;
    QTest::newRow("photo cannot be loaded") << QByteArray("photo") << QString() << 0 << QByteArray()
                                            << QStringLiteral("cannot read the photo")
        << Kind::damagedPicture;
    QTest::newRow("photo cut off") << QByteArray("cut-off") << QString() << 0 << QByteArray()
                                   << QStringLiteral("damaged or incomplete")
        << Kind::damagedPicture;
}

void TestKSEraserManager::everyFailureEndsInOneReport()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, route);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, logLine);
    QFETCH(KSEraserFailure::Kind, failure);

    QString photo = writePhoto(QStringLiteral("photo.png"), QSize(60, 40));
    if (method == "signout") {
        QVERIFY(CommPassport::signOut());
    } else if (method == "photo") {
        photo = m_dir.filePath(QStringLiteral("corrupt.jpg"));
        QFile corrupt(photo);
        QVERIFY(corrupt.open(QIODevice::WriteOnly));
        corrupt.write("\xff\xd8\xff\xe0 not really a jpeg");
        corrupt.close();
        QVERIFY(KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(photo));
    } else if (method == "cut-off") {
        // The first 30 % of a JPEG, which its decoder would fill with grey.
        QImage picture(600, 400, QImage::Format_RGB32);
        picture.fill(QColor(90, 120, 200));
        const QByteArray bytes = PhotoFixtures::encoded(picture, "jpeg");
        photo = m_dir.filePath(QStringLiteral("cut-off.jpg"));
        QVERIFY(PhotoFixtures::writeFile(photo, bytes.left(bytes.size() * 3 / 10)));
    } else if (method == "tiny") {
        photo = writePhoto(QStringLiteral("tiny.png"), QSize(1, 1));
    } else {
        m_service->server.script(method, route, {ScriptedReply::json(body, status)});
    }
    const QSet<QString> before = tempFiles();
    LogWatch log(CommLog::logFilePath());

    QList<KSEraserFailure> failures;
    const auto entries = runJob(photo, KSEraserType::person, &failures);
    QVERIFY(!entries.isEmpty());
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.constFirst().kind, failure);
    if (failure == KSEraserFailure::Kind::noSubject)
        QVERIFY(failures.constFirst().detail.startsWith(QLatin1String("no subject found: the whole picture")));
    if (failure == KSEraserFailure::Kind::serviceFolderFull) {
        const QString folder = QStringLiteral("/srv/cutora & data");
        QCOMPARE(failures.constFirst().folder, folder);
        QVERIFY2(failures.constFirst().englishText().contains(folder), qPrintable(failures.constFirst().englishText()));
    }
    int finals = 0;
    for (const auto &entry : entries) {
        finals += isFinal(entry.value) ? 1 : 0;
        QCOMPARE(entry.thread, QThread::currentThread());
    }
    QCOMPARE(finals, 1);
    const Report last = entries.last().value;
    QVERIFY(!last.success);
    QVERIFY(!last.path);
    QCOMPARE(last.progress, -1.0);
    // The upload copy and any mask are gone whatever failed.
    QCOMPARE(tempFiles() - before, QSet<QString>());
    if (!logLine.isEmpty())
        QVERIFY2(log.newText().contains(logLine), qPrintable(log.newText()));
    // The access opened to read the photo is closed again.
    QCOMPARE(KSBookmark::defaultShareBookmark()->openAccessCount(photo), 0);
}

void TestKSEraserManager::resultOfALongNameLeavesRoomToWriteIt()
{
    // A photo's name may have the 255 bytes a name can have; the cut-out is
    // written through a temporary name 7 bytes longer than its own.
    const QString photo = QDir(m_dir.path()).filePath(QString(251, u'l') + QStringLiteral(".jpg"));
    const QString first = KSEraserManager::resultPathFor(photo);
    const QString second = KSEraserManager::resultPathFor(photo);
    for (const QString &path : {first, second}) {
        QVERIFY(!path.isEmpty());
        QVERIFY2(QFile::encodeName(QFileInfo(path).fileName()).size() + 7 <= 255, qPrintable(path));
        QVERIFY(path.endsWith(QStringLiteral(".jpg")));
        QSaveFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("cut-out");
        QVERIFY2(file.commit(), qPrintable(file.errorString()));
        QFile::remove(path);
    }
    QVERIFY(second.endsWith(QStringLiteral("(1).jpg")));
}

void TestKSEraserManager::resultNeverReplacesThePhoto()
{
    const QString outside = QDir(m_dir.path()).filePath(QStringLiteral("a.jpg"));
    const QString reserved = KSEraserManager::resultPathFor(outside);
    QCOMPARE(reserved, KSTempAppWithFileName(QStringLiteral("a.jpg")));
    // The name is the job's from now on: the next job gets another.
    QCOMPARE(KSEraserManager::resultPathFor(outside), KSTempAppWithFileName(QStringLiteral("a(1).jpg")));
    QFile::remove(reserved);
    QFile::remove(KSTempAppWithFileName(QStringLiteral("a(1).jpg")));

    // A photo picked from the temporary folder itself.
    const QString inside = KSTempAppWithFileName(QStringLiteral("picked.png"));
    QVERIFY(QFile::copy(writePhoto(QStringLiteral("picked.png"), QSize(30, 20)), inside));
    QFile original(inside);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    original.close();

    const auto entries = runJob(inside, KSEraserType::object);
    QVERIFY(entries.last().value.success);
    QCOMPARE(*entries.last().value.path, KSTempAppWithFileName(QStringLiteral("picked(1).png")));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), bytes);
    QFile::remove(inside);
    QFile::remove(*entries.last().value.path);
}

void TestKSEraserManager::aHugePhotoIsReadAgainForItsCutout_data()
{
    QTest::addColumn<bool>("changedMeanwhile");
    QTest::newRow("the photo as it was") << false;
    QTest::newRow("the photo replaced while the service worked") << true;
}

void TestKSEraserManager::aHugePhotoIsReadAgainForItsCutout()
{
    QFETCH(bool, changedMeanwhile);
    // Above 50 megapixels the job lets the photo go while the service works.
    QImage huge(7200, 7000, QImage::Format_RGB32);
    huge.fill(QColor(90, 120, 200));
    const QString photo = m_dir.filePath(QStringLiteral("huge.jpg"));
    QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(huge, "jpeg", 50)));
    huge = QImage();
    const QByteArray smaller = PhotoFixtures::encoded(QImage(300, 200, QImage::Format_RGB32), "jpeg");
    m_service->server.script("GET", ScriptedCutoutService::kPollPath, [&](const RecordedRequest &) {
        if (changedMeanwhile)
            PhotoFixtures::writeFile(photo, smaller);
        return ScriptedReply::json(ScriptedCutoutService::envelope(
            {{"status", 2}, {"mask_file_url", m_service->maskUrl()}}));
    });
    LogWatch log(CommLog::logFilePath());

    const auto entries = runJob(photo, KSEraserType::object);
    const Report last = entries.last().value;
    QCOMPARE(last.success, !changedMeanwhile);
    if (changedMeanwhile) {
        QVERIFY2(log.newText().contains(QStringLiteral("the photo changed during the cut-out")), qPrintable(log.newText()));
        return;
    }
    QImageReader cutout(*last.path);
    QCOMPARE(cutout.size(), QSize(7200, 7000));
    QFile::remove(*last.path);
}

void TestKSEraserManager::photosOfOneNameCutOutAtOnceKeepTheirOwnResults()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("first"));
    QDir(m_dir.path()).mkpath(QStringLiteral("second"));
    const QString first = writePhoto(QStringLiteral("first/same.png"), QSize(40, 30));
    const QString second = writePhoto(QStringLiteral("second/same.png"), QSize(50, 20));
    CallLog<Report> firstReports;
    CallLog<Report> secondReports;
    KSEraserManager::startEraser(first, KSEraserType::object, [&](bool success, const std::optional<QString> &path, double progress) {
        firstReports.add({success, path, progress});
    });
    KSEraserManager::startEraser(second, KSEraserType::object, [&](bool success, const std::optional<QString> &path, double progress) {
        secondReports.add({success, path, progress});
    });
    QTRY_VERIFY_WITH_TIMEOUT(firstReports.count() > 0 && isFinal(firstReports.last()) && secondReports.count() > 0
                                 && isFinal(secondReports.last()),
                             20000);
    QVERIFY(firstReports.last().success && secondReports.last().success);
    QVERIFY(*firstReports.last().path != *secondReports.last().path);
    // Each cut-out is of its own photo.
    QCOMPARE(QImageReader(*firstReports.last().path).size(), QSize(40, 30));
    QCOMPARE(QImageReader(*secondReports.last().path).size(), QSize(50, 20));
    QFile::remove(*firstReports.last().path);
    QFile::remove(*secondReports.last().path);
}

void TestKSEraserManager::photoProblemsAreToldByCause_data()
{
    using Kind = KSEraserFailure::Kind;
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // "dir" makes a folder, "none" nothing
    QTest::addColumn<KSEraserFailure::Kind>("failure");

    QTest::newRow("a text file named .jpg") << "notes.jpg" << QByteArray("shopping list\n") << Kind::notAPicture;
    QTest::newRow("an empty file") << "empty.png" << QByteArray() << Kind::notAPicture;
    QTest::newRow("a folder") << "album.jpg" << QByteArray("dir") << Kind::folder;
    QTest::newRow("a file gone since it was chosen") << "gone.jpg" << QByteArray("none") << Kind::missingFile;
    // A PNG whose header claims 20000 x 20000 pixels, refused before decoding.
    const auto bigEndian = [](quint32 value) {
        QByteArray bytes;
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((value >> shift) & 0xFF));
        return bytes;
    };
    const auto chunk = [&bigEndian](const QByteArray &type, const QByteArray &data) {
        quint32 crc = 0xFFFFFFFFu;
        for (char byte : type + data) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return bigEndian(quint32(data.size())) + type + data + bigEndian(~crc);
    };
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8)
                           + chunk("IHDR", bigEndian(20000) + bigEndian(20000) + QByteArray("\x08\x02\x00\x00\x00", 5))
                           + chunk("IDAT", {}) + chunk("IEND", {});
    QTest::newRow("a picture beyond the pixel limit") << "huge.png" << png << Kind::pictureTooLarge;
    QTest::newRow("a picture too small to cut out") << "tiny.png" << QByteArray("tiny") << Kind::pictureTooSmall;
    // Damaged, not "no picture": its advice is another copy, not another format.
    QTest::newRow("a JPEG cut off half way") << "cut.jpg" << QByteArray("cut") << Kind::damagedPicture;
}

void TestKSEraserManager::photoProblemsAreToldByCause()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(KSEraserFailure::Kind, failure);

    QString photo = m_dir.filePath(name);
    if (content == "dir") {
        QVERIFY(QDir().mkpath(photo));
    } else if (content == "tiny") {
        photo = writePhoto(name, QSize(12, 40));
    } else if (content == "cut") {
        QImage picture(300, 200, QImage::Format_RGB32);
        picture.fill(QColor(40, 120, 200));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(picture.save(&buffer, "JPEG"));
        QFile file(photo);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(buffer.data().left(buffer.data().size() / 2));
    } else if (content != "none") {
        QFile file(photo);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QSet<QString> before = tempFiles();
    QList<KSEraserFailure> failures;
    const auto entries = runJob(photo, KSEraserType::person, &failures);
    QVERIFY(!entries.isEmpty());
    QCOMPARE(entries.last().value.progress, -1.0);
    QCOMPARE(failures, QList<KSEraserFailure>{{failure}});
    // Nothing was sent for a photo that cannot be cut out.
    QVERIFY(m_service->server.requests("GET", ScriptedCutoutService::kAuthPath).isEmpty());
    QCOMPARE(tempFiles() - before, QSet<QString>());

    // A photo named from outside gets the same answer from the cheap look,
    // except that a file not there was never there; a good one passes.
    const std::optional<KSEraserFailure> checked = KSEraserFailure::checkPhotoFile(photo);
    QVERIFY(checked);
    QCOMPARE(checked->kind, failure == KSEraserFailure::Kind::missingFile ? KSEraserFailure::Kind::noSuchFile : failure);
    QVERIFY(!checked->canRetry());
    QVERIFY(!KSEraserFailure::checkPhotoFile(writePhoto(QStringLiteral("good.png"), QSize(40, 30))));
}

void TestKSEraserManager::causesGiveTheirOwnAdviceInBothLanguages()
{
    using Kind = KSEraserFailure::Kind;
    const auto restore = qScopeGuard([] { CommLang::setCurrentLanguage(QStringLiteral("English")); });
    for (const QString language : {QStringLiteral("English"), QStringLiteral("ChineseSimplified")}) {
        CommLang::setCurrentLanguage(language);
        const KSEraserFailure notAPicture(Kind::notAPicture);
        const KSEraserFailure damaged(Kind::damagedPicture);
        QVERIFY2(notAPicture.advice().contains(KSPictureLimits::photoFormatNames()), qPrintable(notAPicture.advice()));
        QVERIFY2(!damaged.advice().contains(QStringLiteral(".jpg")), qPrintable(damaged.advice()));
        QVERIFY(damaged.message() != notAPicture.message());
        const KSEraserFailure never(Kind::noSuchFile);
        QVERIFY(never.message() != KSEraserFailure(Kind::missingFile).message());
        for (const QString &text : {notAPicture.message(), damaged.message(), damaged.advice(), never.message(),
                                    never.advice()})
            QVERIFY2(!text.isEmpty() && !text.contains(u'%') && text != damaged.messageKey(), qPrintable(text));
    }
    // The command line tells the same cause in the same words.
    QVERIFY(KSEraserFailure(Kind::damagedPicture).englishText().contains(QStringLiteral("damaged or incomplete")));
    QVERIFY(KSEraserFailure(Kind::folder).englishText().contains(QStringLiteral("folder, not a photo")));
}

void TestKSEraserManager::unreachableServiceIsToldAsSuch()
{
    // Nothing listens on port 1 of this machine: the connection is refused.
    KSServiceAddress::setDefaultServiceURL(QStringLiteral("http://127.0.0.1:1"));
    QList<KSEraserFailure> failures;
    const auto entries = runJob(writePhoto(QStringLiteral("photo.png"), QSize(60, 40)), KSEraserType::object, &failures);
    QCOMPARE(entries.last().value.progress, -1.0);
    QCOMPARE(failures, QList<KSEraserFailure>{{KSEraserFailure::Kind::serviceUnreachable}});
}

void TestKSEraserManager::theTasksMiddleIsTheBarsMiddle()
{
    // The service's task is most of a job: half of it is about half the bar.
    // A poll without progress (the cloud service's) moves nothing, and one
    // that falls back does not move the bar back.
    auto running = [](const QVariantMap &fields) {
        QVariantMap poll{{"status", 1}};
        poll.insert(fields);
        return ScriptedReply::json(ScriptedCutoutService::envelope(poll));
    };
    m_service->server.script(
        "GET", ScriptedCutoutService::kPollPath,
        {running({{"progress", 0.25}}), running({{"progress", 0.5}}), running({{"progress", 0.75}}),
         running({{"progress", 0.3}}), running({}),
         ScriptedReply::json(ScriptedCutoutService::envelope({{"status", 2}, {"mask_file_url", m_service->maskUrl()}}))});
    const auto entries = runJob(writePhoto(QStringLiteral("photo.png"), QSize(60, 40)), KSEraserType::person);
    QVERIFY(entries.last().value.success);
    QFile::remove(*entries.last().value.path);
    QList<double> during;
    double previous = 0;
    for (const auto &entry : entries) {
        QVERIFY2(entry.value.progress >= previous, qPrintable(QString::number(entry.value.progress)));
        previous = entry.value.progress;
        if (entry.value.progress > KSJobProgress::kUploaded && entry.value.progress < KSJobProgress::kTaskDone)
            during << entry.value.progress;
    }
    QCOMPARE(during.size(), 4);
    QVERIFY2(during[1] > 0.4 && during[1] < 0.6, qPrintable(QString::number(during[1])));
    QCOMPARE(during[3], during[2]);
    // Refining and writing the cut-out at its full size have their share.
    QVERIFY(std::any_of(entries.begin(), entries.end(),
                        [](const auto &entry) { return entry.value.progress == KSJobProgress::kCutDone; }));
}

void TestKSEraserManager::cancelDeletesTheFilesAndDropsTheTask_data()
{
    QTest::addColumn<bool>("whileUploading");
    QTest::newRow("while the copy is uploaded") << true;
    QTest::newRow("while the service's task runs") << false;
}

void TestKSEraserManager::cancelDeletesTheFilesAndDropsTheTask()
{
    QFETCH(bool, whileUploading);

    ScriptedHttpServer &server = m_service->server;
    const QString cancelPath = ScriptedCutoutService::kPollPath + QStringLiteral("/cancel");
    if (whileUploading) {
        ScriptedReply slowPut = ScriptedReply::json(
            ScriptedCutoutService::envelope({{"resource", QVariantMap{{"resource_id", ScriptedCutoutService::kResourceId}}}}));
        slowPut.delayMs = 800;
        server.script("PUT", ScriptedCutoutService::kPutPath, {slowPut});
    } else {
        server.script("GET", ScriptedCutoutService::kPollPath,
                      {ScriptedReply::json(ScriptedCutoutService::envelope({{"status", 1}, {"progress", 0.2}}))});
    }
    server.script("POST", cancelPath, {ScriptedReply::json(ScriptedCutoutService::envelope({{"status", -1}}))});

    const QSet<QString> before = tempFiles();
    CallLog<Report> reports;
    const KSEraserManager::JobId job = KSEraserManager::startEraser(
        writePhoto(QStringLiteral("photo.png"), QSize(60, 40)), KSEraserType::person,
        [&reports](bool success, const std::optional<QString> &path, double progress) {
            reports.add({success, path, progress});
        });
    if (whileUploading) {
        // The copy on its way to the storage is in the temporary folder.
        QTRY_COMPARE((tempFiles() - before).size(), 1);
    } else {
        QTRY_VERIFY(!server.requests("GET", ScriptedCutoutService::kPollPath).isEmpty());
    }
    QVERIFY(KSEraserManager::cancelEraser(job));
    QVERIFY(!KSEraserManager::cancelEraser(job));
    QCOMPARE(tempFiles() - before, QSet<QString>());
    if (!whileUploading)
        QTRY_COMPARE(server.requests("POST", cancelPath).size(), 1);
    QVERIFY(waitUntilQuiet());

    // No report after the cancel, let alone a final one; no file left behind.
    for (const auto &entry : reports.entries())
        QVERIFY(!isFinal(entry.value));
    QCOMPARE(tempFiles() - before, QSet<QString>());
    if (whileUploading)
        QVERIFY(server.requests("POST", ScriptedCutoutService::kTaskPath).isEmpty());
}

QTEST_MAIN(TestKSEraserManager)
#include "tst_kserasermanager.moc"
