#include "KSDataFolder.h"
#include "KSPostgresServiceStore.h"
#include "KSProtocolPaths.h"
#include "PostgresTestServer.h"
#include "ServiceTestClient.h"

#include <QDirIterator>
#include <QProcess>
#include <QSet>

#include <libpq-fe.h>

#include <thread>

// A team's services on one PostgreSQL database and one shared folder: the
// schema they migrate together, the queue their workers share, and what a
// client sees whichever service it reaches.
class TestTeamService : public QObject
{
    Q_OBJECT

private:
    static KSServiceStore::Task waitingTask(const QString &id, qint64 createdAt)
    {
        KSServiceStore::Task task;
        task.id = id;
        task.accountId = 1;
        task.resourceId = QStringLiteral("r-") + id;
        task.type = QStringLiteral("person");
        task.createdAt = createdAt;
        task.updatedAt = createdAt;
        return task;
    }

    static QString scalar(const QString &database, const char *sql)
    {
        PGconn *connection = PQconnectdb(database.toUtf8().constData());
        PGresult *result = PQexec(connection, sql);
        const QString value = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1
                                  ? QString::fromUtf8(PQgetvalue(result, 0, 0))
                                  : QStringLiteral("error: %1").arg(QString::fromUtf8(PQerrorMessage(connection)));
        PQclear(result);
        PQfinish(connection);
        return value;
    }

    static KSLocalService::Options teamOptions(const ServiceTestClient &client, const QString &folder,
                                               const QString &database, int workers)
    {
        KSLocalService::Options options = client.options(folder, workers);
        options.database = database;
        options.token = QStringLiteral("0123456789abcdef0123456789abcdef");
        options.accountEmail = QStringLiteral("team@example.org");
        options.teamPollMs = 100;
        return options;
    }

    static int filesUnder(const QString &folder)
    {
        int count = 0;
        QDirIterator it(KSDataFolder::resolve(folder) + QStringLiteral("/objects"), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        for (; it.hasNext(); it.next())
            ++count;
        return count;
    }

private slots:
    void initTestCase()
    {
        // No server, no test: these fail rather than skip.
        QVERIFY2(PostgresTestServer::shared().isRunning(), qPrintable(PostgresTestServer::shared().error()));
    }

    void servicesStartingTogetherMigrateOnce()
    {
        const QString database = PostgresTestServer::shared().freshDatabase();
        QStringList errors(4);
        std::vector<std::thread> starts;
        for (int i = 0; i < 4; ++i) {
            starts.emplace_back([database, error = &errors[i]] {
                KSPostgresServiceStore store(database.toUtf8());
                (void)store.open(error);
            });
        }
        for (std::thread &start : starts)
            start.join();
        QCOMPARE(errors, QStringList(4));
        QCOMPARE(scalar(database, "SELECT count(*) || ':' || max(version) FROM cutora_schema"), QStringLiteral("1:1"));
    }

    void aDatabaseThatCannotServeIsRefusedClearly_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("error");
        QTest::newRow("no server there") << QStringLiteral("host=/nonexistent port=1 connect_timeout=2")
                                         << QStringLiteral("cannot reach the database");
        // A later build migrated it: this one would misread the records.
        const QString newer = PostgresTestServer::shared().freshDatabase();
        {
            KSPostgresServiceStore store(newer.toUtf8());
            QString error;
            QVERIFY(store.open(&error));
        }
        QCOMPARE(scalar(newer, "INSERT INTO cutora_schema(version) VALUES(99) RETURNING version"), QStringLiteral("99"));
        QTest::newRow("schema newer than the service") << newer << QStringLiteral("newer than this service knows");
    }

    void aDatabaseThatCannotServeIsRefusedClearly()
    {
        QFETCH(QString, database);
        QFETCH(QString, error);
        QTemporaryDir dir;
        ServiceTestClient client;
        QVERIFY(!client.service.start(teamOptions(client, dir.path(), database, 1)));
        QVERIFY2(client.service.errorString().contains(error), qPrintable(client.service.errorString()));
        QVERIFY(!client.service.isRunning());
    }

    void everyTaskIsClaimedByOneWorkerOnly()
    {
        const QString database = PostgresTestServer::shared().freshDatabase();
        KSPostgresServiceStore first(database.toUtf8()), second(database.toUtf8());
        QString error;
        QVERIFY(first.open(&error) && second.open(&error));
        constexpr int kTasks = 300;
        for (int i = 0; i < kTasks; ++i)
            QVERIFY(first.addTask(waitingTask(QStringLiteral("t%1").arg(i), 1000 + i)));

        // Eight workers of two services take from one queue at once.
        std::mutex mutex;
        QStringList claimed;
        std::vector<std::thread> workers;
        for (int w = 0; w < 8; ++w) {
            workers.emplace_back([&, store = w % 2 ? &first : &second] {
                while (const auto claim = store->claimNextTask(5000)) {
                    const bool finished = store->finishTask(*claim, KSTaskStatus::done, "none", {}, {}, 5000);
                    std::lock_guard lock(mutex);
                    claimed << (finished ? claim->taskId : QStringLiteral("lost ") + claim->taskId);
                }
            });
        }
        for (std::thread &worker : workers)
            worker.join();
        QCOMPARE(claimed.size(), kTasks);
        QCOMPARE(QSet<QString>(claimed.begin(), claimed.end()).size(), kTasks);
        QVERIFY(!claimed.join(QLatin1Char(' ')).contains(QLatin1String("lost")));
        QCOMPARE(scalar(database, "SELECT count(*) FROM tasks WHERE status = 2"), QString::number(kTasks));
    }

    void aLapsedLeaseIsClaimedAgainAndItsLateResultDropped()
    {
        const QString database = PostgresTestServer::shared().freshDatabase();
        KSPostgresServiceStore killed(database.toUtf8(), 300), survivor(database.toUtf8(), 300);
        QString error;
        QVERIFY(killed.open(&error) && survivor.open(&error));
        QVERIFY(killed.addTask(waitingTask(QStringLiteral("older"), 1000)));
        QVERIFY(killed.addTask(waitingTask(QStringLiteral("newer"), 2000)));

        const auto lost = killed.claimNextTask(3000);
        QVERIFY(lost && lost->taskId == QLatin1String("older"));
        // Renewed, the claim holds past its first lease.
        for (int i = 0; i < 4; ++i) {
            QThread::msleep(120);
            QVERIFY(killed.renewClaims({lost->token}));
        }
        const auto next = survivor.claimNextTask(3000);
        QVERIFY(next && next->taskId == QLatin1String("newer"));
        QVERIFY(!survivor.claimNextTask(3000));

        // Its service stops renewing: the task goes to another claim, ahead
        // of what waits, and only that claim's result counts.
        QThread::msleep(400);
        const auto again = survivor.claimNextTask(3000);
        QVERIFY(again && again->taskId == QLatin1String("older") && again->token != lost->token);
        QVERIFY(!killed.finishTask(*lost, KSTaskStatus::done, "late", {}, QStringLiteral("a"), 4000));
        QVERIFY(!killed.renewClaims({lost->token}) || survivor.task(QStringLiteral("older"))->status == KSTaskStatus::running);
        QVERIFY(survivor.finishTask(*again, KSTaskStatus::done, "engine", {}, QStringLiteral("b"), 4000));
        QVERIFY(!survivor.finishTask(*again, KSTaskStatus::failed, "engine", {}, {}, 4000));
        const auto task = survivor.task(QStringLiteral("older"));
        QCOMPARE(task->status, int(KSTaskStatus::done));
        QCOMPARE(task->maskName, QStringLiteral("b"));
        QCOMPARE(task->engine, QStringLiteral("engine"));
    }

    void aFolderIsATeamsOrOneDesktops()
    {
        QTemporaryDir dir;
        KSDataFolder teamOne(dir.path()), teamTwo(dir.path()), desktop(dir.path());
        QString error;
        QCOMPARE(teamOne.claim(&error, KSDataFolder::Sharing::Team), KSDataFolder::Claim::Owned);
        QCOMPARE(teamTwo.claim(&error, KSDataFolder::Sharing::Team), KSDataFolder::Claim::Owned);
        QCOMPARE(desktop.claim(&error), KSDataFolder::Claim::InUse);
        teamOne.release();
        teamTwo.release();
        QCOMPARE(desktop.claim(&error), KSDataFolder::Claim::Owned);
        QCOMPARE(teamOne.claim(&error, KSDataFolder::Sharing::Team), KSDataFolder::Claim::InUse);
        QVERIFY2(error.contains(QLatin1String("desktop")), qPrintable(error));
    }

    void aTeamsFolderKeepsWhatAnotherServiceIsWriting()
    {
        QTemporaryDir dir;
        KSDataFolder folder(dir.filePath(QStringLiteral("team")));
        QString error;
        QCOMPARE(folder.claim(&error, KSDataFolder::Sharing::Team), KSDataFolder::Claim::Owned);
        const QString staging = folder.path() + QStringLiteral("/objects/.staging");
        QVERIFY(QDir().mkpath(staging));
        const auto staged = [&](const char *name, int ageSeconds) {
            QFile file(staging + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write("part of an upload") > 0 && file.flush());
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
        };
        staged("another-service-is-writing", 5);
        staged("left-by-a-killed-service", KSDataFolder::kTeamStaleSeconds + 60);
        folder.tidy();
        QCOMPARE(QDir(staging).entryList(QDir::Files), QStringList{QStringLiteral("another-service-is-writing")});
    }

    void aPublicAddressMustBeAWebAddress_data()
    {
        QTest::addColumn<QString>("publicUrl");
        QTest::newRow("another scheme") << QStringLiteral("ftp://cutout.example.org");
        QTest::newRow("a path") << QStringLiteral("https://cutout.example.org/cutora");
        QTest::newRow("no host") << QStringLiteral("cutout");
    }

    void aPublicAddressMustBeAWebAddress()
    {
        QFETCH(QString, publicUrl);
        QTemporaryDir dir;
        ServiceTestClient client;
        KSLocalService::Options options =
            teamOptions(client, dir.path(), PostgresTestServer::shared().freshDatabase(), 0);
        options.publicUrl = publicUrl;
        QVERIFY(!client.service.start(options));
        QVERIFY2(client.service.errorString().contains(QLatin1String("public address")),
                 qPrintable(client.service.errorString()));
    }

    void theProgramTellsItsTeamOptions()
    {
        QProcess help;
        help.start(QStringLiteral(CUTORA_SERVICE_BINARY), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(10000));
        const QByteArray text = help.readAllStandardOutput();
        for (const char *option : {"--database", "--public-url", "--lease-seconds", "--replace-account",
                                   "CUTORA_SERVICE_DATABASE", "CUTORA_SERVICE_TOKEN"})
            QVERIFY2(text.contains(option), option);

        QProcess refused;
        refused.start(QStringLiteral(CUTORA_SERVICE_BINARY), {QStringLiteral("--lease-seconds"), QStringLiteral("0")});
        QVERIFY(refused.waitForFinished(10000));
        QCOMPARE(refused.exitCode(), 2);
        QVERIFY(refused.readAllStandardError().contains("lease"));
    }

    void aTaskMadeAtOneServiceIsCutAtAnotherAndFetchedAnywhere()
    {
        QTemporaryDir dir;
        const QString database = PostgresTestServer::shared().freshDatabase();
        ServiceTestClient front, back;
        QVERIFY2(front.service.start(teamOptions(front, dir.path(), database, 0)), qPrintable(front.service.errorString()));
        QVERIFY2(back.service.start(teamOptions(back, dir.path(), database, 1)), qPrintable(back.service.errorString()));
        const QString token = front.service.localToken();

        // Credentials from the front, the upload through the back.
        const QJsonObject credentials = front.credentials(token);
        ServiceTestClient::Upload upload;
        upload.callbackJson = QJsonDocument(QJsonObject{
            {QStringLiteral("callbackUrl"), back.service.baseUrl() + QLatin1String(KSProtocolPaths::storageCallback)},
            {QStringLiteral("callbackBody"), QStringLiteral("bucket=${bucket}&object=${object}")},
        }).toJson(QJsonDocument::Compact).toStdString();
        const httplib::Result stored = back.put(credentials, studioPicture(160, 120).toStdString(), upload);
        QVERIFY(stored);
        QCOMPARE(stored->status, 200);
        const QString resourceId = ServiceTestClient::data(stored).value(QStringLiteral("resource")).toObject()
                                       .value(QStringLiteral("resource_id")).toString();
        QVERIFY(!resourceId.isEmpty());
        const QString taskId = front.taskFor(token, resourceId);
        QVERIFY(!taskId.isEmpty());
        // The front has no workers: the back cuts it out, and the front's
        // held poll hears of it.
        const QJsonObject done = front.waitForTask(token, taskId);
        QCOMPARE(done.value(QStringLiteral("status")).toInt(), 2);
        const std::string mask = QUrl(done.value(QStringLiteral("mask_file_url")).toString())
                                     .toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).toStdString();
        for (const ServiceTestClient *service : {&front, &back}) {
            const httplib::Result fetched = service->client()->Get(mask.c_str());
            QVERIFY(fetched);
            QCOMPARE(fetched->status, 200);
            QVERIFY(QImage::fromData(QByteArray::fromStdString(fetched->body)).size() == QSize(160, 120));
        }
    }

    void aCancelAtAnyServiceEndsTheTask()
    {
        QTemporaryDir dir;
        const QString database = PostgresTestServer::shared().freshDatabase();
        ServiceTestClient one, two;
        QVERIFY(one.service.start(teamOptions(one, dir.path(), database, 0)));
        QVERIFY(two.service.start(teamOptions(two, dir.path(), database, 0)));
        const QString token = one.service.localToken();
        const QString taskId = one.createTask(token, studioPicture(96, 72));
        QVERIFY(!taskId.isEmpty());
        QCOMPARE(filesUnder(dir.path()), 1);
        QVERIFY(two.post("/api/tasks/" + taskId.toStdString() + "/cancel", {}, token));
        QCOMPARE(ServiceTestClient::data(one.get("/api/tasks/" + taskId.toStdString(), token))
                     .value(QStringLiteral("status")).toInt(), -1);
        QCOMPARE(filesUnder(dir.path()), 0);
    }

    void aServiceGivenAnotherTokenLeavesTheTeamsWorkAlone()
    {
        QTemporaryDir dir;
        const QString database = PostgresTestServer::shared().freshDatabase();
        ServiceTestClient first, stray;
        QVERIFY(first.service.start(teamOptions(first, dir.path(), database, 0)));
        const QString token = first.service.localToken();
        const QString taskId = first.createTask(token, studioPicture(96, 72));
        QVERIFY(!taskId.isEmpty());

        KSLocalService::Options options = teamOptions(stray, dir.path(), database, 0);
        options.token = QStringLiteral("fedcba9876543210fedcba9876543210");
        QVERIFY(!stray.service.start(options));
        QVERIFY2(stray.service.errorString().contains(QLatin1String("another token")),
                 qPrintable(stray.service.errorString()));
        QCOMPARE(ServiceTestClient::data(first.get("/api/tasks/" + taskId.toStdString(), token))
                     .value(QStringLiteral("status")).toInt(), 0);
        QCOMPARE(filesUnder(dir.path()), 1);
    }

    void uploadsAddressedToTheTeamsHostReachAnyService()
    {
        // Behind a proxy the client is given a host name and puts the bucket
        // before it; the service knows the name it was given.
        QTemporaryDir dir;
        const QString database = PostgresTestServer::shared().freshDatabase();
        ServiceTestClient client;
        KSLocalService::Options options = teamOptions(client, dir.path(), database, 1);
        options.publicUrl = QStringLiteral("https://cutout.example.org");
        QVERIFY2(client.service.start(options), qPrintable(client.service.errorString()));
        const QString token = client.service.localToken();
        const QJsonObject credentials = client.credentials(token);
        QCOMPARE(credentials.value(QStringLiteral("endpoint")).toString(), QStringLiteral("https://cutout.example.org"));
        QCOMPARE(credentials.value(QStringLiteral("callback")).toObject().value(QStringLiteral("callbackUrl")).toString(),
                 QStringLiteral("https://cutout.example.org") + QLatin1String(KSProtocolPaths::storageCallback));

        const std::string key = credentials.value(QStringLiteral("path")).toObject()
                                    .value(QStringLiteral("images")).toString().toStdString() + "photo.jpg";
        ServiceTestClient::Upload upload;
        upload.key = key;
        upload.encodedPath = "/" + key;
        upload.afterSigning = [](httplib::Headers &headers) { headers.emplace("Host", "cutora-local.cutout.example.org"); };
        const httplib::Result stored = client.put(credentials, studioPicture(96, 72).toStdString(), upload);
        QVERIFY(stored);
        QVERIFY2(stored->status == 200, stored->body.c_str());
        QCOMPARE(filesUnder(dir.path()), 1);

        // Another host name names no bucket: read path-style, the address
        // is outside what the credentials cover.
        upload.key = key + ".2";
        upload.encodedPath = "/" + upload.key;
        upload.afterSigning = [](httplib::Headers &headers) { headers.emplace("Host", "cutora-local.elsewhere.example.org"); };
        const httplib::Result refused = client.put(credentials, "bytes", upload);
        QVERIFY(refused);
        QCOMPARE(refused->status, 403);
        QCOMPARE(filesUnder(dir.path()), 1);
    }
};

QTEST_MAIN(TestTeamService)
#include "tst_teamservice.moc"
