#include "KSLocalService.h"

#include "KSClassicCutoutEngine.h"
#include "KSDataFolder.h"
#include "KSDataFolderFull.h"
#include "KSGuardedServer.h"
#include "KSHybridCutoutEngine.h"
#include "KSInstalledModel.h"
#include "KSLearnedCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSObjectStorage.h"
#include "KSServiceApi.h"
#include "KSStorageEndpoint.h"
#include "KSServiceLog.h"
#include "KSServiceRandom.h"
#include "KSPostgresServiceStore.h"
#include "KSSqliteServiceStore.h"
#include "KSTaskLeases.h"
#include "KSTaskProgress.h"
#include "KSTaskRunner.h"
#include "KSTaskSignal.h"
#include "KSTaskWorkerPool.h"
#include "KSWriteFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct KSLocalService::Private
{
    Options options;
    QString dataDir;
    QString baseUrl;
    QString token;
    std::optional<qint64> accountId;
    QString error;
    Failure failure = Failure::None;
    quint16 port = 0;

    std::unique_ptr<KSDataFolder> folder;
    std::unique_ptr<KSServiceStore> store;
    KSPostgresServiceStore *team = nullptr; // the store, when it is a team's
    std::unique_ptr<KSObjectStorage> objects;
    std::unique_ptr<KSServiceApi> api;
    std::unique_ptr<KSStorageEndpoint> storage;
    std::unique_ptr<KSGuardedServer> server;
    std::shared_ptr<KSLearnedModel> model; // shared by every worker's engine
    KSTaskWorkerPool pool;
    KSTaskLeases leases;
    KSTaskSignal taskSignal;
    KSTaskProgress taskProgress;
    std::thread listenThread;

    std::thread purgeThread;
    std::mutex purgeMutex;
    std::condition_variable purgeWake;
    bool stopping = false;

    qint64 nowMs() const
    {
        return options.clock ? options.clock().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
    }
    QString masksDir() const { return dataDir + QStringLiteral("/masks"); }
    void removeFiles(const KSServiceStore::Files &files)
    {
        int removed = 0;
        for (const auto &[bucket, key] : files.objects)
            removed += objects->remove(bucket, key) ? 1 : 0;
        for (const QString &mask : files.masks)
            removed += QFile::remove(masksDir() + QLatin1Char('/') + mask + QStringLiteral(".png")) ? 1 : 0;
        if (removed > 0)
            KSServiceLog::I(QStringLiteral("removed %1 file(s) of an account that signed out or was replaced").arg(removed));
    }
    bool fail(const QString &why, Failure kind = Failure::Other)
    {
        // SQLite and the folder's own writes say little when there is no
        // room; with less than this left, that is why the start failed.
        constexpr qint64 kRoomToStart = 1024 * 1024;
        const bool full = kind == Failure::Other && QFileInfo(dataDir).isDir()
                          && KSWriteFailure::isDiskFull(dataDir, kRoomToStart);
        error = full ? QStringLiteral("%1: %2").arg(KSDataFolderFull::message(dataDir), why) : why;
        failure = kind;
        KSServiceLog::E(QStringLiteral("the local cut-out service cannot start: %1").arg(error));
        return false;
    }
    KSCutoutEngineFactory engineFactory();
};

KSCutoutEngineFactory KSLocalService::Private::engineFactory()
{
    if (options.engineFactory)
        return options.engineFactory;
    const auto classic = [] { return std::unique_ptr<KSCutoutEngine>(new KSClassicCutoutEngine); };
    const QString told = options.modelDescription.isEmpty() ? qEnvironmentVariable("CUTORA_MODEL")
                                                            : options.modelDescription;
    // The installed model cuts out when it is there; without it, or when
    // told "none" (or "classic"), the classical engine does.
    const QString description = KSInstalledModel::descriptionFor(told);
    if (description.isEmpty()) {
        if (told.isEmpty())
            KSServiceLog::I(QStringLiteral("the classical engine cuts out: no learned model at %1 "
                                           "(scripts/install-model.sh installs one)")
                                .arg(defaultModelDescription()));
        return classic;
    }
    model = std::make_shared<KSLearnedModel>(description);
    return [shared = model] { return std::unique_ptr<KSCutoutEngine>(new KSHybridCutoutEngine(shared)); };
}

KSLocalService::KSLocalService()
    : d(std::make_unique<Private>())
{
}

KSLocalService::~KSLocalService()
{
    stop();
}

QString KSLocalService::defaultDataDir()
{
    // Beside the application's other data, whatever the organisation name.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Cutora/service");
}

QString KSLocalService::defaultModelDescription()
{
    return KSInstalledModel::descriptionPath();
}

bool KSLocalService::start(const Options &options)
{
    stop();
    d->options = options;
    d->error.clear();
    d->failure = Failure::None;
    d->dataDir = KSDataFolder::resolve(options.dataDir.isEmpty() ? defaultDataDir() : options.dataDir);
    d->folder = std::make_unique<KSDataFolder>(d->dataDir);
    QString error;
    const bool team = !options.database.isEmpty();
    switch (d->folder->claim(&error, team ? KSDataFolder::Sharing::Team : KSDataFolder::Sharing::Sole)) {
    case KSDataFolder::Claim::Owned: break;
    case KSDataFolder::Claim::InUse: return d->fail(error, Failure::DataFolderInUse);
    case KSDataFolder::Claim::Failed: return d->fail(error);
    }
    // Whatever the service was doing when it was last killed is undone
    // before anything else looks at the folder.
    d->folder->tidy();
    if (!KSDataFolder::makePrivateFolders(d->masksDir())
        || !KSDataFolder::makePrivateFolders(d->dataDir + QStringLiteral("/objects"))) {
        stop();
        return d->fail(QStringLiteral("cannot create the data folder %1").arg(d->dataDir));
    }

    if (team) {
        auto store = std::make_unique<KSPostgresServiceStore>(options.database.toUtf8(), std::max(1, options.taskLeaseMs));
        if (!store->open(&error)) {
            stop();
            return d->fail(error);
        }
        d->team = store.get();
        d->store = std::move(store);
    } else {
        const QString database = d->dataDir + QStringLiteral("/service.sqlite");
        // SQLite gives its journal files the database's mode.
        if (!d->folder->makePrivateFile(QStringLiteral("service.sqlite"))) {
            stop();
            return d->fail(QStringLiteral("cannot create the database %1").arg(database));
        }
        auto store = std::make_unique<KSSqliteServiceStore>();
        if (!store->open(database, &error)) {
            stop();
            return d->fail(QStringLiteral("cannot open the database: %1").arg(error));
        }
        d->store = std::move(store);
    }
    d->objects = std::make_unique<KSObjectStorage>(d->dataDir + QStringLiteral("/objects"));
    d->token = options.token.isEmpty() ? d->folder->localToken() : options.token;
    KSServiceStore::Files dropped;
    // A team's account is the team's: a service given another token is
    // misconfigured, and must not revoke the work of every other service.
    if (team && !options.replaceTeamAccount && !d->token.isEmpty() && d->team->hasAccount()) {
        d->accountId = d->store->accountForToken(d->token);
        if (!d->accountId) {
            stop();
            return d->fail(QStringLiteral("the team's database has an account with another token; give this service "
                                          "the team's token, or replace the account (and drop its work) on purpose"));
        }
    } else {
        d->accountId = d->token.isEmpty()
                           ? std::nullopt
                           : d->store->makeSoleAccount(options.accountEmail, d->token, d->nowMs(), &dropped);
    }
    if (!d->accountId) {
        stop();
        return d->fail(QStringLiteral("cannot set up the account %1").arg(options.accountEmail));
    }
    // The uploads and masks of the account before (or of its token before) go with its records.
    d->removeFiles(dropped);
    d->taskSignal.reset();

    KSConnectionGate::Limits limits = options.connections;
    // Room for a streamed upload's chunk framing; the storage endpoint
    // itself refuses an object above maxUploadBytes.
    if (limits.body.maxBodyBytes <= 0)
        limits.body.maxBodyBytes = 2 * options.maxUploadBytes + 1024 * 1024;
    // The folder's own user is the one whose requests get the workers
    // reserved for the owner: whoever else connects has no token to offer.
    if (const QFileInfo folder(d->dataDir); !limits.ownerUid && folder.ownerId() != uint(-2))
        limits.ownerUid = uid_t(folder.ownerId());
    d->server = std::make_unique<KSGuardedServer>(limits);
    d->server->set_payload_max_length(size_t(options.maxUploadBytes));
    const std::string address = options.address.toStdString();
    const int port = d->server->bindTo(address, options.port);
    if (port <= 0) {
        stop();
        return d->fail(QStringLiteral("cannot listen on %1 port %2").arg(options.address).arg(options.port),
                       Failure::CannotListen);
    }
    d->port = quint16(port);
    const QString host = options.address.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(options.address)
                                                                     : options.address;
    QString hostPort = QStringLiteral("%1:%2").arg(host).arg(port);
    d->baseUrl = QStringLiteral("http://") + hostPort;
    // Behind a proxy the addresses handed out are the team's, so that an
    // upload, its callback and a mask's download reach any of its services.
    QString virtualHost;
    if (const QUrl publicUrl(options.publicUrl); !options.publicUrl.isEmpty()) {
        if (!publicUrl.isValid() || publicUrl.host().isEmpty()
            || (publicUrl.scheme() != QLatin1String("http") && publicUrl.scheme() != QLatin1String("https"))
            || !(publicUrl.path().isEmpty() || publicUrl.path() == QLatin1String("/"))) {
            stop();
            return d->fail(QStringLiteral("the public address %1 is not an http or https address without a path")
                               .arg(options.publicUrl));
        }
        d->baseUrl = publicUrl.toString(QUrl::RemovePath | QUrl::StripTrailingSlash);
        hostPort = publicUrl.toString(QUrl::RemovePath | QUrl::StripTrailingSlash);
        virtualHost = publicUrl.host();
    }

    KSServiceApi::Context api;
    api.store = d->store.get();
    api.objects = d->objects.get();
    api.pool = &d->pool;
    api.taskSignal = &d->taskSignal;
    api.progress = &d->taskProgress;
    api.pollHoldMs = std::max(0, options.pollHoldMs);
    api.masksDir = d->masksDir();
    api.baseUrl = d->baseUrl;
    api.storageEndpoint = hostPort;
    api.bucket = QStringLiteral("cutora-local");
    api.callbackSecret = KSServiceRandomHex(32).toLatin1();
    api.credentialLifetimeMs = qint64(options.credentialLifetimeSeconds) * 1000;
    api.nowMs = [p = d.get()] { return p->nowMs(); };
    d->api = std::make_unique<KSServiceApi>(api);
    d->api->install(*d->server);
    KSStorageEndpoint::Context storage;
    storage.store = d->store.get();
    storage.virtualHost = virtualHost;
    storage.objects = d->objects.get();
    storage.baseUrl = d->baseUrl;
    storage.callbackSecret = api.callbackSecret;
    storage.nowMs = api.nowMs;
    storage.maxObjectBytes = options.maxUploadBytes;
    storage.deliverCallback = [web = d->api.get()](const httplib::Request &req, httplib::Response &res) {
        web->storageCallback(req, res);
    };
    d->storage = std::make_unique<KSStorageEndpoint>(storage);
    d->storage->install(*d->server);

    const int workers = options.workers >= 0 ? options.workers : std::max(1, QThread::idealThreadCount() / 2);
    KSTaskRunner::Context runner{d->store.get(), d->objects.get(), &d->taskSignal, d->masksDir(), options.maxUploadBytes,
                                 options.maxPixels, api.nowMs};
    runner.progress = &d->taskProgress;
    const KSCutoutEngineFactory engines = d->engineFactory();
    KSTaskLeases *leases = team ? &d->leases : nullptr;
    if (leases) {
        leases->start([store = d->store.get()](const QStringList &tokens) { return store->renewClaims(tokens); },
                      std::chrono::milliseconds(std::max(1, options.taskLeaseMs / 3)));
    }
    KSServiceStore *store = d->store.get();
    d->pool.start(
        workers,
        [runner, engines, leases]() -> KSTaskWorkerPool::Job {
            auto taskRunner = std::make_shared<KSTaskRunner>(runner, engines());
            return [taskRunner, leases](const KSServiceStore::Claim &claim) {
                if (leases)
                    leases->hold(claim.token);
                taskRunner->run(claim);
                if (leases)
                    leases->release(claim.token);
            };
        },
        [store, p = d.get()] { return store->claimNextTask(p->nowMs()); },
        std::chrono::milliseconds(team ? std::max(50, options.teamPollMs) : 0));
    if (d->team) {
        d->team->listen([p = d.get()](bool taskAdded) {
            if (taskAdded)
                p->pool.wake();
            else
                p->taskSignal.notify();
        });
    }
    const int waiting = d->store->recoverAfterStart(d->nowMs());

    d->listenThread = std::thread([server = d->server.get()] { server->listen_after_bind(); });
    for (int i = 0; i < 5000 && !d->server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!d->server->is_running()) {
        stop();
        return d->fail(QStringLiteral("the server did not start"));
    }
    // A team's folder is no one service's: clients are told the team's address.
    if (!team)
        d->folder->publishAddress(d->baseUrl);

    d->stopping = false;
    d->purgeThread = std::thread([this] {
        std::unique_lock lock(d->purgeMutex);
        do {
            lock.unlock();
            purge();
            lock.lock();
        } while (!d->purgeWake.wait_for(lock, std::chrono::seconds(std::max(1, d->options.purgeIntervalSeconds)),
                                        [this] { return d->stopping; }));
    });

    KSServiceLog::I(QStringLiteral("local cut-out service at %1, data in %2, %3 worker(s), %4 waiting task(s)")
                        .arg(d->baseUrl, d->dataDir)
                        .arg(workers)
                        .arg(waiting));
    return true;
}

void KSLocalService::stop()
{
    if (d->purgeThread.joinable()) {
        {
            std::lock_guard lock(d->purgeMutex);
            d->stopping = true;
        }
        d->purgeWake.notify_all();
        d->purgeThread.join();
    }
    // Held polls answer now, so that the server can stop.
    d->taskSignal.shutdown();
    if (d->server) {
        d->server->stop();
        if (d->listenThread.joinable())
            d->listenThread.join();
    }
    // Notices from the database wake the pool: no more of them first.
    if (d->team)
        d->team->stopListening();
    d->pool.stop();
    d->leases.stop();
    d->model.reset();
    d->storage.reset();
    d->api.reset();
    d->server.reset();
    d->objects.reset();
    d->accountId.reset();
    d->team = nullptr;
    d->store.reset();
    // Last: another program may take the folder over from here.
    d->folder.reset();
    d->baseUrl.clear();
    d->port = 0;
}

bool KSLocalService::isRunning() const
{
    return d->server && d->server->is_running();
}

QString KSLocalService::baseUrl() const
{
    return d->baseUrl;
}

QString KSLocalService::localToken() const
{
    return d->token;
}

quint16 KSLocalService::port() const
{
    return d->port;
}

QString KSLocalService::dataDir() const
{
    return d->dataDir;
}

QString KSLocalService::errorString() const
{
    return d->error;
}

KSLocalService::Failure KSLocalService::failure() const
{
    return d->failure;
}

KSConnectionGate::Counts KSLocalService::connectionCounts() const
{
    return d->server ? d->server->connectionCounts() : KSConnectionGate::Counts();
}

bool KSLocalService::dropAccountData()
{
    if (!d->objects || !d->accountId)
        return false;
    KSServiceStore::Files dropped;
    if (!d->store->dropAccountRecords(*d->accountId, &dropped))
        return false;
    d->removeFiles(dropped);
    return true;
}

int KSLocalService::purge()
{
    if (!d->objects)
        return 0;
    const qint64 now = d->nowMs();
    const qint64 cutoff = now - qint64(d->options.purgeAgeSeconds) * 1000;
    const QDateTime cutoffTime = QDateTime::fromMSecsSinceEpoch(cutoff);
    const int removed = KSObjectStorage::purgeFilesOlderThan(d->objects->root(), cutoffTime)
                        + KSObjectStorage::purgeFilesOlderThan(d->masksDir(), cutoffTime);
    d->store->purgeRecords(cutoff, now);
    if (removed > 0)
        KSServiceLog::I(QStringLiteral("purged %1 file(s) older than %2 s").arg(removed).arg(d->options.purgeAgeSeconds));
    return removed;
}
