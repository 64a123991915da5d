#pragma once

#include "KSServiceStore.h"

#include <mutex>

struct sqlite3;

// The records of one desktop's service in one SQLite file of its data
// folder. The folder's lock makes its service the only one, so a claim
// never passes to another and leases are not kept.
class KSSqliteServiceStore final : public KSServiceStore
{
public:
    KSSqliteServiceStore() = default;
    ~KSSqliteServiceStore() override;

    [[nodiscard]] bool open(const QString &path, QString *error);
    void close();

    std::optional<qint64> makeSoleAccount(const QString &email, const QString &token, qint64 now,
                                          Files *dropped = nullptr) override;
    bool dropAccountRecords(qint64 accountId, Files *dropped) override;
    std::optional<MaskOwner> maskOwner(const QString &maskName) override;
    std::optional<qint64> accountForToken(const QString &token) override;
    bool addCredential(const Credential &credential) override;
    std::optional<Credential> credential(const QString &accessId) override;
    bool addResource(const Resource &resource) override;
    std::optional<Resource> resource(const QString &id) override;
    bool markRegistered(const QString &id) override;
    bool addTask(const Task &task) override;
    std::optional<AddedTask> addTaskOnce(const Task &task) override;
    std::optional<Task> task(const QString &id) override;
    std::optional<Claim> claimNextTask(qint64 now) override;
    bool renewClaims(const QStringList &) override { return true; }
    bool finishTask(const Claim &claim, int status, const QString &engine, const QString &error,
                    const QString &maskName, qint64 now) override;
    bool cancelTask(const QString &id, qint64 now, Files *dropped = nullptr) override;
    int recoverAfterStart(qint64 now) override;
    void purgeRecords(qint64 cutoff, qint64 now) override;

private:
    bool insertTask(const Task &task); // with the mutex held

    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
};
