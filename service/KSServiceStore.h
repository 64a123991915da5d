#pragma once

#include "KSTaskStatus.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// The service's records: accounts (by the hash of their token), short-lived
// storage credentials, uploaded resources and cut-out tasks. Times are
// milliseconds since the epoch. Safe to call from any thread. One desktop
// keeps them in SQLite in its data folder (KSSqliteServiceStore); a team's
// services share them in PostgreSQL (KSPostgresServiceStore), where the
// tasks are a queue that every service's workers take from.
class KSServiceStore
{
public:
    struct Credential
    {
        QString accessId;
        QString accessSecret;
        QString securityToken;
        qint64 accountId = 0;
        QString bucket;
        QString prefix; // every key of this credential starts with it
        qint64 expiresAt = 0;
    };

    struct Resource
    {
        QString id;
        qint64 accountId = 0;
        QString bucket;
        QString objectKey;
        qint64 size = 0;
        bool registered = false;
        qint64 createdAt = 0;
    };

    struct Task
    {
        QString id;
        qint64 accountId = 0;
        QString resourceId;
        QString type;
        int status = KSTaskStatus::waiting;
        QString engine;
        QString error;
        QString maskName;
        qint64 createdAt = 0;
        qint64 updatedAt = 0;
    };

    // The files behind records that went: objects as (bucket, key), masks
    // by name (without ".png").
    struct Files
    {
        QList<QPair<QString, QString>> objects;
        QStringList masks;
    };

    // The account a finished task's mask belongs to, and the key its
    // addresses are signed with (the hash of the account's token, so that a
    // new token or account voids every address given out before).
    struct MaskOwner
    {
        qint64 accountId = 0;
        QByteArray signingKey;
    };

    // A running task as its claimer holds it. Its result counts only while
    // the claim does: a claim whose lease ran out may have passed to
    // another service, and then the first one's result is dropped.
    struct Claim
    {
        QString taskId;
        QString token; // empty where claims cannot pass on (one service per store)
    };

    KSServiceStore() = default;
    virtual ~KSServiceStore() = default;
    KSServiceStore(const KSServiceStore &) = delete;
    KSServiceStore &operator=(const KSServiceStore &) = delete;

    // Makes this the store's one account, with this token, and returns its
    // id. Every other account goes with its credentials, resources and
    // tasks, so that no token given out before for another account works;
    // so do the records of this account when its token changed (the one
    // before was signed out). `dropped` receives the files of what went.
    virtual std::optional<qint64> makeSoleAccount(const QString &email, const QString &token, qint64 now,
                                                  Files *dropped = nullptr) = 0;
    // Drops the account's credentials, resources and tasks (it signed out);
    // the account and its token stay. False when the store refuses.
    virtual bool dropAccountRecords(qint64 accountId, Files *dropped) = 0;
    virtual std::optional<MaskOwner> maskOwner(const QString &maskName) = 0;
    virtual std::optional<qint64> accountForToken(const QString &token) = 0;

    virtual bool addCredential(const Credential &credential) = 0;
    virtual std::optional<Credential> credential(const QString &accessId) = 0;

    virtual bool addResource(const Resource &resource) = 0;
    virtual std::optional<Resource> resource(const QString &id) = 0;
    virtual bool markRegistered(const QString &id) = 0;

    virtual bool addTask(const Task &task) = 0;
    struct AddedTask
    {
        Task task;
        bool created = false;
    };
    // The account's task for the resource and type that has not failed, or
    // else `task` added: a creation sent again (its reply lost with the
    // service that made it) gets the task it made, never a second one.
    virtual std::optional<AddedTask> addTaskOnce(const Task &task) = 0;
    virtual std::optional<Task> task(const QString &id) = 0;

    // Moves the task that has waited longest to running and returns the
    // claim on it; none when no task waits (or the store refuses). Where
    // claims can pass on, a running task whose lease ran out is claimed
    // again first: its service stopped renewing it.
    virtual std::optional<Claim> claimNextTask(qint64 now) = 0;
    // Extends the leases of these claims; false when the store refuses.
    virtual bool renewClaims(const QStringList &tokens) = 0;
    // Ends a running task; false when the claim no longer holds (the task
    // was cancelled, or claimed again after its lease ran out).
    virtual bool finishTask(const Claim &claim, int status, const QString &engine, const QString &error,
                            const QString &maskName, qint64 now) = 0;
    // Fails a waiting or running task as cancelled; false when it had ended.
    // The task's upload and its record go too when no other waiting or
    // running task needs them; `dropped` receives the files to delete.
    virtual bool cancelTask(const QString &id, qint64 now, Files *dropped = nullptr) = 0;
    // At a service's start: the tasks its own stop cut short wait again
    // (where claims pass on, their leases see to that); returns how many
    // tasks wait.
    virtual int recoverAfterStart(qint64 now) = 0;

    // Drops records older than cutoff: finished tasks, resources, expired
    // credentials; fails tasks that have waited longer than that.
    virtual void purgeRecords(qint64 cutoff, qint64 now) = 0;
};
