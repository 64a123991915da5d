#include "KSPostgresServiceStore.h"

#include "KSServiceLog.h"
#include "KSServiceRandom.h"

#include <QCryptographicHash>

#include <libpq-fe.h>
#include <poll.h>

#include <initializer_list>
#include <variant>

namespace {
using Value = std::variant<qint64, QString>;

QString tokenHash(const QString &token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

// Keys of the advisory locks that make migrations and account changes one
// service at a time.
constexpr qint64 kMigrationLock = 0x437574'6f7261'01;
constexpr qint64 kAccountLock = 0x437574'6f7261'02;

// Each entry brings the schema from its index to the next version; applied
// in order, each in its own transaction, and never changed once released.
const char *const kMigrations[] = {
    R"sql(
CREATE FUNCTION cutora_now_ms() RETURNS bigint LANGUAGE sql VOLATILE
  AS $$ SELECT (extract(epoch FROM clock_timestamp()) * 1000)::bigint $$;
CREATE TABLE accounts(
  id BIGSERIAL PRIMARY KEY, email TEXT UNIQUE NOT NULL, token_hash TEXT UNIQUE NOT NULL,
  created_at BIGINT NOT NULL);
CREATE TABLE credentials(
  access_id TEXT PRIMARY KEY, access_secret TEXT NOT NULL, security_token TEXT NOT NULL,
  account_id BIGINT NOT NULL, bucket TEXT NOT NULL, prefix TEXT NOT NULL, expires_at BIGINT NOT NULL);
CREATE INDEX credentials_account ON credentials(account_id);
CREATE TABLE resources(
  id TEXT PRIMARY KEY, account_id BIGINT NOT NULL, bucket TEXT NOT NULL, object_key TEXT NOT NULL,
  size BIGINT NOT NULL, registered BOOLEAN NOT NULL DEFAULT false, created_at BIGINT NOT NULL);
CREATE INDEX resources_account ON resources(account_id);
CREATE TABLE tasks(
  id TEXT PRIMARY KEY, seq BIGSERIAL, account_id BIGINT NOT NULL, resource_id TEXT NOT NULL,
  type TEXT NOT NULL, status INTEGER NOT NULL, engine TEXT NOT NULL DEFAULT '',
  error TEXT NOT NULL DEFAULT '', mask_name TEXT NOT NULL DEFAULT '',
  created_at BIGINT NOT NULL, updated_at BIGINT NOT NULL,
  claim TEXT, lease_until BIGINT);
CREATE INDEX tasks_waiting ON tasks(created_at, seq) WHERE status = 0;
CREATE INDEX tasks_leased ON tasks(lease_until) WHERE status = 1;
CREATE INDEX tasks_claim ON tasks(claim) WHERE status = 1;
CREATE INDEX tasks_resource ON tasks(resource_id);
CREATE INDEX tasks_account ON tasks(account_id);
CREATE INDEX tasks_mask ON tasks(mask_name) WHERE mask_name <> '';
-- Claims the task whose lease ran out first (its service stopped), else
-- the oldest waiting one; rows another claim is taking are skipped.
CREATE FUNCTION cutora_claim_task(p_claim TEXT, p_lease_ms BIGINT, p_now BIGINT) RETURNS TEXT
LANGUAGE plpgsql AS $$
DECLARE
  picked TEXT;
BEGIN
  SELECT id INTO picked FROM tasks WHERE status = 1 AND lease_until < cutora_now_ms()
    ORDER BY lease_until LIMIT 1 FOR UPDATE SKIP LOCKED;
  IF picked IS NULL THEN
    SELECT id INTO picked FROM tasks WHERE status = 0
      ORDER BY created_at, seq LIMIT 1 FOR UPDATE SKIP LOCKED;
  END IF;
  IF picked IS NOT NULL THEN
    UPDATE tasks SET status = 1, claim = p_claim, lease_until = cutora_now_ms() + p_lease_ms,
      updated_at = p_now WHERE id = picked;
  END IF;
  RETURN picked;
END $$;
)sql",
};
static_assert(std::size(kMigrations) == KSPostgresServiceStore::kSchemaVersion);

const char *const taskColumns =
    "id, account_id, resource_id, type, status, engine, error, mask_name, created_at, updated_at";
const char *const credentialColumns =
    "access_id, access_secret, security_token, account_id, bucket, prefix, expires_at";

// A statement's result, cleared when it goes out of scope.
class Rows
{
public:
    explicit Rows(PGresult *result = nullptr)
        : m_result(result)
    {
    }
    ~Rows() { PQclear(m_result); }
    Rows(Rows &&other) noexcept
        : m_result(std::exchange(other.m_result, nullptr))
    {
    }
    Rows &operator=(Rows &&other) noexcept
    {
        std::swap(m_result, other.m_result);
        return *this;
    }

    bool ok() const
    {
        const ExecStatusType status = m_result ? PQresultStatus(m_result) : PGRES_FATAL_ERROR;
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    }
    int count() const { return ok() ? PQntuples(m_result) : 0; }
    int changed() const { return ok() ? QByteArray(PQcmdTuples(m_result)).toInt() : 0; }
    bool isNull(int row, int column) const { return PQgetisnull(m_result, row, column) != 0; }
    QString text(int row, int column) const
    {
        return QString::fromUtf8(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
    }
    qint64 integer(int row, int column) const { return QByteArray(PQgetvalue(m_result, row, column)).toLongLong(); }
    QString error() const
    {
        return m_result ? QString::fromUtf8(PQresultErrorMessage(m_result)).trimmed() : QStringLiteral("no connection");
    }

private:
    PGresult *m_result;
};

KSServiceStore::Task readTask(const Rows &rows, int row)
{
    return {rows.text(row, 0), rows.integer(row, 1), rows.text(row, 2), rows.text(row, 3), int(rows.integer(row, 4)),
            rows.text(row, 5), rows.text(row, 6), rows.text(row, 7), rows.integer(row, 8), rows.integer(row, 9)};
}

QByteArray withColumns(const char *before, const char *columns, const char *after)
{
    return QByteArray(before) + columns + after;
}
} // namespace

// One connection of the pool for as long as it lives. A statement that
// finds the connection dropped (the server restarted) is sent once more on
// a new one, unless a transaction was open on it.
class KSPostgresServiceStore::Session
{
public:
    explicit Session(KSPostgresServiceStore *store)
        : m_store(store)
        , m_connection(store->acquire())
    {
    }
    ~Session()
    {
        if (m_connection)
            m_store->giveBack(m_connection);
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool connected() const { return m_connection != nullptr; }

    Rows exec(const char *sql, std::initializer_list<Value> values = {})
    {
        Rows rows = send(sql, values);
        if (!rows.ok() && !m_inTransaction && m_connection && PQstatus(m_connection) == CONNECTION_BAD) {
            PQfinish(m_connection);
            m_connection = m_store->acquire();
            rows = send(sql, values);
        }
        if (!rows.ok())
            KSServiceLog::E(QStringLiteral("database statement failed: %1").arg(rows.error()));
        return rows;
    }

    // Several statements at once, without parameters (a migration).
    Rows script(const char *sql)
    {
        Rows rows(m_connection ? PQexec(m_connection, sql) : nullptr);
        if (!rows.ok())
            KSServiceLog::E(QStringLiteral("database script failed: %1").arg(rows.error()));
        return rows;
    }

    bool begin()
    {
        m_inTransaction = exec("BEGIN").ok();
        return m_inTransaction;
    }
    // Commits when ok, else rolls back; returns whether it committed.
    bool end(bool ok)
    {
        ok = exec(ok ? "COMMIT" : "ROLLBACK").ok() && ok;
        m_inTransaction = false;
        return ok;
    }

private:
    Rows send(const char *sql, std::initializer_list<Value> values)
    {
        if (!m_connection)
            return Rows();
        std::vector<QByteArray> texts;
        texts.reserve(values.size());
        for (const Value &value : values) {
            if (const auto *number = std::get_if<qint64>(&value))
                texts.push_back(QByteArray::number(*number));
            else
                texts.push_back(std::get<QString>(value).toUtf8());
        }
        std::vector<const char *> pointers;
        for (const QByteArray &text : texts)
            pointers.push_back(text.constData());
        return Rows(PQexecParams(m_connection, sql, int(pointers.size()), nullptr, pointers.data(), nullptr, nullptr, 0));
    }

    KSPostgresServiceStore *m_store;
    PGconn *m_connection;
    bool m_inTransaction = false;
};

KSPostgresServiceStore::KSPostgresServiceStore(QByteArray connection, qint64 leaseMs)
    : m_connection(std::move(connection))
    , m_leaseMs(leaseMs)
{
}

KSPostgresServiceStore::~KSPostgresServiceStore()
{
    close();
}

PGconn *KSPostgresServiceStore::acquire()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            PGconn *connection = m_idle.back();
            m_idle.pop_back();
            return connection;
        }
    }
    PGconn *connection = PQconnectdb(m_connection.constData());
    if (PQstatus(connection) != CONNECTION_OK) {
        KSServiceLog::E(QStringLiteral("cannot reach the database: %1")
                            .arg(QString::fromUtf8(PQerrorMessage(connection)).trimmed()));
        PQfinish(connection);
        return nullptr;
    }
    // Notices (an object that already exists) are no news for the log.
    PQsetNoticeProcessor(connection, [](void *, const char *) {}, nullptr);
    return connection;
}

void KSPostgresServiceStore::giveBack(PGconn *connection)
{
    if (PQstatus(connection) != CONNECTION_OK || PQtransactionStatus(connection) != PQTRANS_IDLE) {
        PQfinish(connection);
        return;
    }
    std::lock_guard lock(m_mutex);
    if (!m_open) {
        PQfinish(connection);
        return;
    }
    m_idle.push_back(connection);
}

bool KSPostgresServiceStore::open(QString *error)
{
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
    }
    const auto fail = [&](const QString &why) {
        *error = why;
        close();
        return false;
    };
    Session session(this);
    if (!session.connected()) {
        PGconn *probe = PQconnectdb(m_connection.constData());
        const QString why = QString::fromUtf8(PQerrorMessage(probe)).trimmed();
        PQfinish(probe);
        return fail(QStringLiteral("cannot reach the database: %1").arg(why));
    }
    // One service migrates at a time; the others find the work done. The
    // lock is the connection's and goes with it if this service dies.
    if (!session.exec("SELECT pg_advisory_lock($1)", {kMigrationLock}).ok())
        return fail(QStringLiteral("cannot lock the database's schema"));
    const auto unlock = [&] { session.exec("SELECT pg_advisory_unlock($1)", {kMigrationLock}); };
    Rows applied;
    if (!session.exec("CREATE TABLE IF NOT EXISTS cutora_schema(version INTEGER PRIMARY KEY, "
                      "applied_at TIMESTAMPTZ NOT NULL DEFAULT now())")
             .ok()
        || !(applied = session.exec("SELECT coalesce(max(version), 0) FROM cutora_schema")).ok()) {
        unlock();
        return fail(QStringLiteral("cannot read the database's schema version: %1").arg(applied.error()));
    }
    const int version = int(applied.integer(0, 0));
    if (version > kSchemaVersion) {
        unlock();
        return fail(QStringLiteral("the database's schema is version %1, newer than this service knows (%2): "
                                   "update this service")
                        .arg(version)
                        .arg(kSchemaVersion));
    }
    for (int next = version; next < kSchemaVersion; ++next) {
        session.begin();
        Rows migrated = session.script(kMigrations[next]);
        const bool ok = migrated.ok()
                        && session.exec("INSERT INTO cutora_schema(version) VALUES($1)", {qint64(next + 1)}).ok();
        if (!session.end(ok)) {
            unlock();
            return fail(QStringLiteral("cannot bring the database's schema to version %1: %2")
                            .arg(next + 1)
                            .arg(migrated.error()));
        }
        KSServiceLog::I(QStringLiteral("the database's schema is at version %1").arg(next + 1));
    }
    unlock();
    return true;
}

void KSPostgresServiceStore::close()
{
    stopListening();
    std::lock_guard lock(m_mutex);
    m_open = false;
    for (PGconn *connection : m_idle)
        PQfinish(connection);
    m_idle.clear();
}

void KSPostgresServiceStore::listen(std::function<void(bool taskAdded)> changed)
{
    stopListening();
    m_listening = true;
    m_listener = std::thread([this, changed = std::move(changed)] {
        PGconn *connection = nullptr;
        while (m_listening) {
            if (!connection || PQstatus(connection) != CONNECTION_OK) {
                PQfinish(connection);
                connection = PQconnectdb(m_connection.constData());
                Rows listening(PQstatus(connection) == CONNECTION_OK
                                   ? PQexec(connection, (QByteArray("LISTEN ") + kChannel).constData())
                                   : nullptr);
                if (!listening.ok()) {
                    PQfinish(connection);
                    connection = nullptr;
                    std::this_thread::sleep_for(std::chrono::seconds(1));
                    continue;
                }
                // What was missed while no connection listened may wait.
                changed(true);
            }
            pollfd socket{PQsocket(connection), POLLIN, 0};
            if (::poll(&socket, 1, 200) <= 0)
                continue;
            if (!PQconsumeInput(connection))
                continue; // the connection dropped: made again above
            while (PGnotify *notice = PQnotifies(connection)) {
                changed(qstrcmp(notice->extra, "added") == 0);
                PQfreemem(notice);
            }
        }
        PQfinish(connection);
    });
}

void KSPostgresServiceStore::stopListening()
{
    m_listening = false;
    if (m_listener.joinable())
        m_listener.join();
}

namespace {
// Collects the files behind the records of the accounts `which` selects (an
// SQL condition on account_id), then deletes those records; inside a
// transaction.
bool dropRecordsOf(KSPostgresServiceStore::Session &session, const char *which, std::initializer_list<Value> values,
                   KSServiceStore::Files *files)
{
    const Rows objects = session.exec(QByteArray("SELECT bucket, object_key FROM resources WHERE ").append(which).constData(),
                                      values);
    for (int row = 0; row < objects.count(); ++row)
        files->objects.append({objects.text(row, 0), objects.text(row, 1)});
    const Rows masks = session.exec(
        QByteArray("SELECT mask_name FROM tasks WHERE mask_name <> '' AND ").append(which).constData(), values);
    for (int row = 0; row < masks.count(); ++row)
        files->masks.append(masks.text(row, 0));
    bool ok = objects.ok() && masks.ok();
    for (const char *table : {"tasks", "resources", "credentials"})
        ok = ok && session.exec((QByteArray("DELETE FROM ") + table + " WHERE " + which).constData(), values).ok();
    return ok;
}
} // namespace

std::optional<qint64> KSPostgresServiceStore::makeSoleAccount(const QString &email, const QString &token, qint64 now,
                                                              Files *dropped)
{
    Session session(this);
    if (!session.begin())
        return std::nullopt;
    const QString hash = tokenHash(token);
    Files files;
    bool ok = session.exec("SELECT pg_advisory_xact_lock($1)", {kAccountLock}).ok();
    ok = ok
         && dropRecordsOf(session,
                          "account_id NOT IN (SELECT id FROM accounts WHERE email = $1 AND token_hash = $2)",
                          {email, hash}, &files);
    ok = ok && session.exec("DELETE FROM accounts WHERE email <> $1", {email}).ok();
    Rows row;
    if (ok) {
        row = session.exec("INSERT INTO accounts(email, token_hash, created_at) VALUES($1, $2, $3) "
                           "ON CONFLICT(email) DO UPDATE SET token_hash = excluded.token_hash RETURNING id",
                           {email, hash, now});
    }
    if (!session.end(ok && row.count() == 1))
        return std::nullopt;
    if (dropped)
        *dropped = std::move(files);
    return row.integer(0, 0);
}

bool KSPostgresServiceStore::dropAccountRecords(qint64 accountId, Files *dropped)
{
    Session session(this);
    if (!session.begin())
        return false;
    Files files;
    if (!session.end(dropRecordsOf(session, "account_id = $1", {accountId}, &files)))
        return false;
    if (dropped)
        *dropped = std::move(files);
    return true;
}

std::optional<KSServiceStore::MaskOwner> KSPostgresServiceStore::maskOwner(const QString &maskName)
{
    if (maskName.isEmpty())
        return std::nullopt;
    const Rows row = Session(this).exec(
        "SELECT accounts.id, accounts.token_hash FROM tasks JOIN accounts ON accounts.id = tasks.account_id "
        "WHERE tasks.mask_name = $1 AND tasks.status = 2",
        {maskName});
    if (row.count() != 1)
        return std::nullopt;
    return MaskOwner{row.integer(0, 0), row.text(0, 1).toLatin1()};
}

bool KSPostgresServiceStore::hasAccount()
{
    const Rows row = Session(this).exec("SELECT EXISTS (SELECT 1 FROM accounts)");
    return row.count() == 1 && row.text(0, 0) == QLatin1String("t");
}

std::optional<qint64> KSPostgresServiceStore::accountForToken(const QString &token)
{
    if (token.isEmpty())
        return std::nullopt;
    const Rows row = Session(this).exec("SELECT id FROM accounts WHERE token_hash = $1", {tokenHash(token)});
    if (row.count() != 1)
        return std::nullopt;
    return row.integer(0, 0);
}

bool KSPostgresServiceStore::addCredential(const Credential &c)
{
    return Session(this)
        .exec("INSERT INTO credentials(access_id, access_secret, security_token, account_id, bucket, prefix, "
              "expires_at) VALUES($1, $2, $3, $4, $5, $6, $7)",
              {c.accessId, c.accessSecret, c.securityToken, c.accountId, c.bucket, c.prefix, c.expiresAt})
        .ok();
}

std::optional<KSServiceStore::Credential> KSPostgresServiceStore::credential(const QString &accessId)
{
    const Rows row = Session(this).exec(
        withColumns("SELECT ", credentialColumns, " FROM credentials WHERE access_id = $1").constData(), {accessId});
    if (row.count() != 1)
        return std::nullopt;
    return Credential{row.text(0, 0), row.text(0, 1), row.text(0, 2), row.integer(0, 3),
                      row.text(0, 4), row.text(0, 5), row.integer(0, 6)};
}

bool KSPostgresServiceStore::addResource(const Resource &r)
{
    return Session(this)
        .exec("INSERT INTO resources(id, account_id, bucket, object_key, size, registered, created_at) "
              "VALUES($1, $2, $3, $4, $5, $6 <> 0, $7)",
              {r.id, r.accountId, r.bucket, r.objectKey, r.size, qint64(r.registered), r.createdAt})
        .ok();
}

std::optional<KSServiceStore::Resource> KSPostgresServiceStore::resource(const QString &id)
{
    const Rows row = Session(this).exec("SELECT id, account_id, bucket, object_key, size, registered::int, created_at "
                                        "FROM resources WHERE id = $1",
                                        {id});
    if (row.count() != 1)
        return std::nullopt;
    return Resource{row.text(0, 0), row.integer(0, 1), row.text(0, 2), row.text(0, 3), row.integer(0, 4),
                    row.integer(0, 5) != 0, row.integer(0, 6)};
}

bool KSPostgresServiceStore::markRegistered(const QString &id)
{
    return Session(this).exec("UPDATE resources SET registered = true WHERE id = $1", {id}).ok();
}

namespace {
const char *const kInsertTask =
    "INSERT INTO tasks(id, account_id, resource_id, type, status, engine, error, mask_name, created_at, updated_at) "
    "VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10)";
} // namespace

bool KSPostgresServiceStore::addTask(const Task &t)
{
    Session session(this);
    session.begin();
    const bool ok = session
                        .exec(kInsertTask, {t.id, t.accountId, t.resourceId, t.type, qint64(t.status), t.engine,
                                            t.error, t.maskName, t.createdAt, t.updatedAt})
                        .ok()
                    && session.exec("SELECT pg_notify($1, 'added')", {QString::fromLatin1(kChannel)}).ok();
    return session.end(ok);
}

std::optional<KSServiceStore::AddedTask> KSPostgresServiceStore::addTaskOnce(const Task &t)
{
    Session session(this);
    if (!session.begin())
        return std::nullopt;
    // Two services given the same creation at once (a client sending it
    // again elsewhere) make one task: the second waits here for the first.
    bool ok = session.exec("SELECT pg_advisory_xact_lock(hashtext($1))",
                           {QStringLiteral("%1/%2/%3").arg(t.accountId).arg(t.resourceId, t.type)})
                  .ok();
    const Rows existing = session.exec(
        withColumns("SELECT ", taskColumns,
                    " FROM tasks WHERE account_id = $1 AND resource_id = $2 AND type = $3 AND status <> $4 "
                    "ORDER BY created_at DESC, seq DESC LIMIT 1")
            .constData(),
        {t.accountId, t.resourceId, t.type, qint64(KSTaskStatus::failed)});
    ok = ok && existing.ok();
    if (ok && existing.count() == 1) {
        session.end(true);
        return AddedTask{readTask(existing, 0), false};
    }
    ok = ok
         && session
                .exec(kInsertTask, {t.id, t.accountId, t.resourceId, t.type, qint64(t.status), t.engine, t.error,
                                    t.maskName, t.createdAt, t.updatedAt})
                .ok()
         && session.exec("SELECT pg_notify($1, 'added')", {QString::fromLatin1(kChannel)}).ok();
    if (!session.end(ok))
        return std::nullopt;
    return AddedTask{t, true};
}

std::optional<KSServiceStore::Task> KSPostgresServiceStore::task(const QString &id)
{
    const Rows row = Session(this).exec(withColumns("SELECT ", taskColumns, " FROM tasks WHERE id = $1").constData(), {id});
    if (row.count() != 1)
        return std::nullopt;
    return readTask(row, 0);
}

std::optional<KSServiceStore::Claim> KSPostgresServiceStore::claimNextTask(qint64 now)
{
    const QString token = KSServiceRandomHex(16);
    const Rows row = Session(this).exec("SELECT cutora_claim_task($1, $2, $3)", {token, m_leaseMs, now});
    if (row.count() != 1 || row.isNull(0, 0))
        return std::nullopt;
    return Claim{row.text(0, 0), token};
}

bool KSPostgresServiceStore::renewClaims(const QStringList &tokens)
{
    if (tokens.isEmpty())
        return true;
    // Claim tokens are hex: the array's text needs no quoting.
    return Session(this)
        .exec("UPDATE tasks SET lease_until = cutora_now_ms() + $2 WHERE status = 1 AND claim = ANY($1::text[])",
              {QLatin1Char('{') + tokens.join(QLatin1Char(',')) + QLatin1Char('}'), m_leaseMs})
        .ok();
}

bool KSPostgresServiceStore::finishTask(const Claim &claim, int status, const QString &engine, const QString &error,
                                        const QString &maskName, qint64 now)
{
    // Only the claim that holds the task ends it; the notice wakes the
    // polls held on every service.
    const Rows row = Session(this).exec(
        "WITH ended AS (UPDATE tasks SET status = $3, engine = $4, error = $5, mask_name = $6, updated_at = $7, "
        "claim = NULL, lease_until = NULL WHERE id = $1 AND status = 1 AND claim = $2 RETURNING id) "
        "SELECT pg_notify($8, 'ended') FROM ended",
        {claim.taskId, claim.token, qint64(status), engine, error, maskName, now, QString::fromLatin1(kChannel)});
    return row.count() == 1;
}

bool KSPostgresServiceStore::cancelTask(const QString &id, qint64 now, Files *dropped)
{
    Session session(this);
    if (!session.begin())
        return false;
    const Rows cancelled = session.exec("UPDATE tasks SET status = -1, error = 'cancelled by the client', "
                                        "updated_at = $2, claim = NULL, lease_until = NULL "
                                        "WHERE id = $1 AND status IN (0, 1) RETURNING mask_name, resource_id",
                                        {id, now});
    if (cancelled.count() != 1) {
        session.end(false);
        return false;
    }
    Files files;
    if (!cancelled.text(0, 0).isEmpty())
        files.masks.append(cancelled.text(0, 0));
    // The upload goes with its record unless another task still waits for
    // it or runs on it (the same photo cut as the other type).
    const Rows objects = session.exec("DELETE FROM resources WHERE id = $1 AND NOT EXISTS "
                                      "(SELECT 1 FROM tasks WHERE resource_id = $1 AND id <> $2 AND status IN (0, 1)) "
                                      "RETURNING bucket, object_key",
                                      {cancelled.text(0, 1), id});
    for (int row = 0; row < objects.count(); ++row)
        files.objects.append({objects.text(row, 0), objects.text(row, 1)});
    const bool ok = objects.ok() && session.exec("SELECT pg_notify($1, 'ended')", {QString::fromLatin1(kChannel)}).ok();
    if (!session.end(ok))
        return false;
    if (dropped)
        *dropped = std::move(files);
    return true;
}

int KSPostgresServiceStore::recoverAfterStart(qint64)
{
    // Running tasks may be other services' work: the leases of a stopped
    // service's tasks run out, and those tasks are claimed again then.
    const Rows row = Session(this).exec("SELECT count(*) FROM tasks WHERE status = 0");
    return row.count() == 1 ? int(row.integer(0, 0)) : 0;
}

void KSPostgresServiceStore::purgeRecords(qint64 cutoff, qint64 now)
{
    Session session(this);
    session.exec("DELETE FROM tasks WHERE status IN (2, -1) AND updated_at < $1", {cutoff});
    session.exec("UPDATE tasks SET status = -1, error = 'the task waited too long and its picture was removed', "
                 "updated_at = $2 WHERE status = 0 AND created_at < $1",
                 {cutoff, now});
    session.exec("DELETE FROM resources WHERE created_at < $1", {cutoff});
    session.exec("DELETE FROM credentials WHERE expires_at < $1", {cutoff});
}
