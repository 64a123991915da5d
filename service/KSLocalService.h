#pragma once

#include "KSConnectionGate.h"
#include "KSCutoutEngine.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

// The local cut-out service: the web API, the storage endpoint and a pool of
// workers running the cut-out engine, speaking the cloud service's protocol
// on 127.0.0.1. The application starts it in-process; the cutora-service
// executable runs it on its own. Records live in SQLite and files in the data
// folder, so waiting tasks survive a restart; files older than a day go.
// One service owns a data folder at a time (KSDataFolder), with one account:
// starting with another account (or another token) revokes the tokens of
// the one before and removes its uploads and masks.
//
// Given a database, the service is one of a team's: its records are in that
// PostgreSQL database, its data folder is shared with the team's other
// services (storage they all mount), and its workers take tasks from the
// queue every service of the team adds to.
class KSLocalService
{
public:
    struct Options
    {
        QString address = QStringLiteral("127.0.0.1");
        quint16 port = 0;          // 0: a free port
        QString dataDir;           // empty: defaultDataDir(); see KSDataFolder::resolve()
        QString accountEmail = QStringLiteral("local");
        QString token;             // empty: the data folder's own local token, made once
        int workers = -1;          // -1: half the cores, at least one; 0: tasks only wait
        qint64 maxUploadBytes = 64LL * 1024 * 1024;
        qint64 maxPixels = 25'000'000;
        int credentialLifetimeSeconds = 3600;
        int purgeAgeSeconds = 24 * 3600;
        int purgeIntervalSeconds = 3600;
        // A poll of an unfinished task may wait this long for it to end, so
        // that the client hears of a quick task without another poll.
        int pollHoldMs = 1500;
        // The JSON file describing a learned model. Empty: CUTORA_MODEL when
        // set, else the classical engine; "none": the classical engine;
        // "installed": defaultModelDescription(). The model loads in the
        // background while the service already answers.
        QString modelDescription;
        // How connections are admitted and served; the body limit follows
        // maxUploadBytes unless set.
        KSConnectionGate::Limits connections;
        // A team's database (a libpq URI or key=value string); empty: SQLite
        // in the data folder, the service being the folder's only one.
        QString database;
        // Where the team's clients reach its services (a reverse proxy in
        // front of them), for the addresses the service hands out; empty:
        // this service's own address.
        QString publicUrl;
        // A team's task is claimed for this long and its claim renewed a
        // third of it; a killed service's tasks are claimed again after it.
        int taskLeaseMs = 30'000;
        // A team's idle workers look for tasks this often even when no
        // notice told them of one (a notice lost with a connection).
        int teamPollMs = 2000;
        // A team's service started with a token that is not the database's
        // account's refuses to start, rather than revoke the team's work,
        // unless told to replace the account. One desktop always replaces.
        bool replaceTeamAccount = false;
        KSCutoutEngineFactory engineFactory; // set: used instead of the above
        std::function<QDateTime()> clock;    // empty: the current time (tests move it)
    };

    KSLocalService();
    ~KSLocalService();
    KSLocalService(const KSLocalService &) = delete;
    KSLocalService &operator=(const KSLocalService &) = delete;

    enum class Failure { None, DataFolderInUse, CannotListen, Other };

    // Returns once the server answers; false with failure() and
    // errorString() set otherwise.
    [[nodiscard]] bool start(const Options &options);
    // Finishes the tasks being cut out; waiting tasks stay for the next start.
    void stop();

    [[nodiscard]] bool isRunning() const;
    // "http://127.0.0.1:<port>"; the web service's address for the client.
    [[nodiscard]] QString baseUrl() const;
    // The bearer token of the local account.
    [[nodiscard]] QString localToken() const;
    [[nodiscard]] quint16 port() const;
    [[nodiscard]] QString dataDir() const;
    [[nodiscard]] QString errorString() const;
    [[nodiscard]] Failure failure() const;
    // Connections the server holds now.
    [[nodiscard]] KSConnectionGate::Counts connectionCounts() const;

    // The account signed out: its uploads, masks, tasks and credentials go
    // (its token stays, the local account's being the folder's). False
    // when the service does not run or its store refuses.
    bool dropAccountData();

    // Removes files and records older than the purge age now (it also runs
    // on start and every purge interval); returns how many files went.
    int purge();

    // The data folder used when Options::dataDir is empty:
    // "~/.local/share/Cutora/service" (after XDG_DATA_HOME).
    [[nodiscard]] static QString defaultDataDir();
    // Where the install script puts the learned model's description:
    // "~/.local/share/Cutora/models/isnet.json" (after XDG_DATA_HOME).
    [[nodiscard]] static QString defaultModelDescription();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
