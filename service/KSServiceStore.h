#pragma once

#include "KSTaskStatus.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

struct sqlite3;

// The service's records in one SQLite file: accounts (by the hash of their
// token), short-lived storage credentials, uploaded resources and cut-out
// tasks. Times are milliseconds since the epoch. Safe to call from any thread.
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

    KSServiceStore() = default;
    ~KSServiceStore();
    KSServiceStore(const KSServiceStore &) = delete;
    KSServiceStore &operator=(const KSServiceStore &) = delete;

    [[nodiscard]] bool open(const QString &path, QString *error);
    void close();

    // Makes this the store's one account, with this token, and returns its
    // id. Every other account goes with its credentials, resources and
    // tasks, so that no token given out before for another account works;
    // so do the records of this account when its token changed (the one
    // before was signed out). `dropped` receives the files of what went.
    std::optional<qint64> makeSoleAccount(const QString &email, const QString &token, qint64 now,
                                          Files *dropped = nullptr);
    // Drops the account's credentials, resources and tasks (it signed out);
    // the account and its token stay. False when the store refuses.
    bool dropAccountRecords(qint64 accountId, Files *dropped);
    std::optional<MaskOwner> maskOwner(const QString &maskName);
    std::optional<qint64> accountForToken(const QString &token);

    bool addCredential(const Credential &credential);
    std::optional<Credential> credential(const QString &accessId);

    bool addResource(const Resource &resource);
    std::optional<Resource> resource(const QString &id);
    bool markRegistered(const QString &id);

    bool addTask(const Task &task);
    struct AddedTask
    {
        Task task;
        bool created = false;
    };
    // The account's task for the resource and type that has not failed, or
    // else `task` added: a creation sent again (its reply lost with the
    // service that made it) gets the task it made, never a second one.
    std::optional<AddedTask> addTaskOnce(const Task &task);
    std::optional<Task> task(const QString &id);
    // Moves a waiting task to running; false when it is not waiting.
    bool claimTask(const QString &id, qint64 now);
    // Ends a running task; false when it is not running (it was cancelled).
    bool finishTask(const QString &id, int status, const QString &engine, const QString &error,
                    const QString &maskName, qint64 now);
    // Fails a waiting or running task as cancelled; false when it had ended.
    // The task's upload and its record go too when no other waiting or
    // running task needs them; `dropped` receives the files to delete.
    bool cancelTask(const QString &id, qint64 now, Files *dropped = nullptr);
    // Tasks cut short by a stop wait again; returns every waiting task, oldest first.
    QStringList waitingTasksAfterRestart(qint64 now);

    // Drops records older than cutoff: finished tasks, resources, expired
    // credentials; fails tasks that have waited longer than that.
    void purgeRecords(qint64 cutoff, qint64 now);

private:
    bool insertTask(const Task &task); // with the mutex held

    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
};
