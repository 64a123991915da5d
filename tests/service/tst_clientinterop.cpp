#include "KSLocalService.h"

#include "CommPassport.h"
#include "KSEraserManager.h"
#include "KSEraserNetwork.h"
#include "KSJobProgress.h"
#include "KSServiceAddress.h"
#include "PhotoFixtures.h"
#include "WorkQuiet.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

// The application's own protocol client and job manager against the local
// service, started in-process as the application starts it.
class TestClientInterop : public QObject
{
    Q_OBJECT

private:
    struct Report
    {
        bool success = false;
        std::optional<QString> path;
        double progress = 0;
    };

    QTemporaryDir m_dir;
    KSLocalService m_service;

    QString writePhoto(const QString &name, QSize size, const char *format) const
    {
        const QString path = m_dir.filePath(name);
        return PhotoFixtures::standingSubject(size).save(path, format, 95) ? path : QString();
    }

    static bool isFinal(const Report &report) { return report.success || report.progress < 0; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        KSLocalService::Options options;
        options.dataDir = m_dir.filePath(QStringLiteral("service"));
        QVERIFY2(m_service.start(options), qPrintable(m_service.errorString()));
        KSServiceAddress::setDefaultServiceURL(m_service.baseUrl());
        QVERIFY(KSServiceAddress::configuredServiceURL().isEmpty());
    }

    void init() { QVERIFY(CommPassport::signIn(m_service.localToken(), QStringLiteral("local"), QString())); }

    void cleanupTestCase()
    {
        CommPassport::signOut();
        KSServiceAddress::setDefaultServiceURL(QString());
        m_service.stop();
    }

    void aJobComesBackAtFullSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("type");
        // Larger than the upload limit: reduced for the service, composited at full size.
        QTest::newRow("person, JPEG above the upload size") << "person.jpg" << QSize(3000, 2000) << QByteArray("JPEG") << int(KSEraserType::person);
        QTest::newRow("object, PNG below it") << "object.png" << QSize(640, 480) << QByteArray("PNG") << int(KSEraserType::object);
    }

    void aJobComesBackAtFullSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        QFETCH(int, type);
        const QString photo = writePhoto(name, size, format.constData());
        QVERIFY(!photo.isEmpty());

        QList<Report> reports;
        KSEraserManager::startEraser(photo, KSEraserType(type), [&reports](bool success, const std::optional<QString> &path, double progress) {
            reports.append({success, path, progress});
        });
        QVERIFY(QTest::qWaitFor([&] { return !reports.isEmpty() && isFinal(reports.last()); }, 60000));

        const Report last = reports.last();
        QVERIFY2(last.success, "the job failed");
        QCOMPARE(last.progress, 1.0);
        QCOMPARE(reports.first().progress, KSJobProgress::kPrepared);
        // The whole upload is reported, whatever follows it.
        QString sequence;
        for (const Report &r : reports)
            sequence += QString::number(r.progress) + QLatin1Char(' ');
        QVERIFY2(std::any_of(reports.cbegin(), reports.cend(),
                             [](const Report &r) { return std::abs(r.progress - KSJobProgress::kUploaded) < 1e-6; }),
                 qPrintable(sequence));
        for (qsizetype i = 1; i < reports.size(); ++i)
            QVERIFY(reports[i].progress >= reports[i - 1].progress);

        QImageReader reader(*last.path);
        const QImage cut = reader.read();
        QCOMPARE(cut.size(), size);
        QVERIFY(cut.hasAlphaChannel());
        QCOMPARE(qAlpha(cut.pixel(3, 3)), 0);
        QCOMPARE(qAlpha(cut.pixel(size.width() / 2, size.height() * 3 / 10)), 255);
        QCOMPARE(qAlpha(cut.pixel(size.width() / 2, size.height() - 1)), 255); // touching the frame
        QFile::remove(*last.path);
    }

    void aFailedTaskIsOneFailureReport()
    {
        // Not a picture: stored and registered, then failed by the service.
        const QString path = m_dir.filePath(QStringLiteral("not-a-picture.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("these bytes are no picture");
        file.close();

        std::optional<QString> resourceId;
        std::atomic<bool> uploaded = false;
        KSEraserNetwork::uploadImage(path, nullptr, [&](const std::optional<KSNetError> &error, const std::optional<QVariantMap> &payload) {
            if (!error && payload)
                resourceId = payload->value(QStringLiteral("resource_id")).toString();
            uploaded = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return uploaded.load(); }, 20000));
        QVERIFY(resourceId && !resourceId->isEmpty());

        QList<Report> reports;
        QMutex mutex;
        KSEraserNetwork::createTask(*resourceId, KSEraserType::object, [&](bool success, const std::optional<QString> &mask, double progress) {
            QMutexLocker lock(&mutex);
            reports.append({success, mask, progress});
        });
        QVERIFY(QTest::qWaitFor([&] { QMutexLocker lock(&mutex); return !reports.isEmpty(); }, 20000));
        // A report after the failure would come from a transfer still running.
        QVERIFY(waitUntilQuiet(20000));
        QMutexLocker lock(&mutex);
        QCOMPARE(reports.size(), 1);
        QVERIFY(!reports.first().success);
        QCOMPARE(reports.first().progress, -1.0);
    }

    void aWrongTokenStopsAtAuthentication()
    {
        QVERIFY(CommPassport::signIn(QStringLiteral("not-the-local-token"), QStringLiteral("someone"), QString()));
        const QString photo = writePhoto(QStringLiteral("wrong-token.jpg"), QSize(320, 240), "JPEG");
        QList<double> progress;
        std::atomic<bool> completed = false;
        KSEraserNetwork::uploadImage(photo, [&](double p) { progress.append(p); },
                                     [&](const std::optional<KSNetError> &, const std::optional<QVariantMap> &) { completed = true; });
        QVERIFY(QTest::qWaitFor([&] { return !progress.isEmpty(); }, 20000));
        QVERIFY(waitUntilQuiet(20000));
        QCOMPARE(progress, QList<double>{-1.0});
        QVERIFY(!completed.load());
    }
};

QTEST_MAIN(TestClientInterop)
#include "tst_clientinterop.moc"
