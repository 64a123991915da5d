#pragma once

#include "KSServiceStore.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct pg_conn;

// The records of a team's services in one PostgreSQL database, which every
// service of the team opens. The schema is brought up to date at open, one
// service at a time (an advisory lock), so that services started together
// migrate it once. Tasks are a queue: a claim takes the oldest waiting task
// that no other claim is taking (FOR UPDATE SKIP LOCKED) and holds it for a
// lease its claimer renews; leases run on the database's clock, so that the
// machines' clocks need not agree. A claim whose lease ran out is taken
// again, and the late result of the claim before is dropped.
class KSPostgresServiceStore final : public KSServiceStore
{
public:
    // The NOTIFY channel: "added" when a task waits, "ended" when one ends.
    static constexpr const char *kChannel = "cutora_tasks";
    // The schema version this build brings a database to.
    static constexpr int kSchemaVersion = 1;

    // `connection`: a libpq connection URI or key=value string.
    explicit KSPostgresServiceStore(QByteArray connection, qint64 leaseMs = 30'000);
    ~KSPostgresServiceStore() override;

    // Connects and migrates; false with the error set when the database
    // cannot be reached or its schema is newer than this build knows.
    [[nodiscard]] bool open(QString *error);
    void close();

    // Calls `changed(taskAdded)` on a thread of its own for every
    // notification of the channel, from this service or another, until
    // stopListening(). Reconnects when the connection drops.
    void listen(std::function<void(bool taskAdded)> changed);
    void stopListening();

    [[nodiscard]] qint64 leaseMs() const { return m_leaseMs; }
    // Whether the database has an account yet (a team's first start makes it).
    [[nodiscard]] bool hasAccount();

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
    bool renewClaims(const QStringList &tokens) override;
    bool finishTask(const Claim &claim, int status, const QString &engine, const QString &error,
                    const QString &maskName, qint64 now) override;
    bool cancelTask(const QString &id, qint64 now, Files *dropped = nullptr) override;
    int recoverAfterStart(qint64 now) override;
    void purgeRecords(qint64 cutoff, qint64 now) override;

    class Session; // one pooled connection, held for a statement or a transaction

private:
    friend class Session;
    pg_conn *acquire();
    void giveBack(pg_conn *connection);

    QByteArray m_connection;
    qint64 m_leaseMs;
    std::mutex m_mutex;
    std::vector<pg_conn *> m_idle;
    bool m_open = false;

    std::thread m_listener;
    std::atomic<bool> m_listening{false};
};
