#include "KSSqliteServiceStore.h"

#include "KSServiceLog.h"

#include <QCryptographicHash>

#include <sqlite3.h>

#include <initializer_list>
#include <variant>

namespace {
using Value = std::variant<qint64, QString>;

// One prepared statement, finalized when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql, std::initializer_list<Value> values)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
            KSServiceLog::E(QStringLiteral("database statement failed: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
            m_stmt = nullptr;
            return;
        }
        int index = 1;
        for (const Value &value : values) {
            if (const auto *number = std::get_if<qint64>(&value)) {
                sqlite3_bind_int64(m_stmt, index, *number);
            } else {
                const QByteArray text = std::get<QString>(value).toUtf8();
                sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            }
            ++index;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // True while a row is available.
    bool next() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_ROW; }
    // Runs a statement that returns no rows.
    bool exec() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_DONE; }

    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const
    {
        const auto *chars = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return chars ? QString::fromUtf8(chars, sqlite3_column_bytes(m_stmt, column)) : QString();
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

QString tokenHash(const QString &token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

const char *const schema = R"sql(
PRAGMA journal_mode=WAL;
PRAGMA synchronous=NORMAL;
CREATE TABLE IF NOT EXISTS accounts(
  id INTEGER PRIMARY KEY, email TEXT UNIQUE NOT NULL, token_hash TEXT UNIQUE NOT NULL,
  created_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS credentials(
  access_id TEXT PRIMARY KEY, access_secret TEXT NOT NULL, security_token TEXT NOT NULL,
  account_id INTEGER NOT NULL, bucket TEXT NOT NULL, prefix TEXT NOT NULL,
  expires_at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS credentials_prefix ON credentials(prefix);
CREATE TABLE IF NOT EXISTS resources(
  id TEXT PRIMARY KEY, account_id INTEGER NOT NULL, bucket TEXT NOT NULL,
  object_key TEXT NOT NULL, size INTEGER NOT NULL, registered INTEGER NOT NULL DEFAULT 0,
  created_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS tasks(
  id TEXT PRIMARY KEY, account_id INTEGER NOT NULL, resource_id TEXT NOT NULL,
  type TEXT NOT NULL, status INTEGER NOT NULL, engine TEXT NOT NULL DEFAULT '',
  error TEXT NOT NULL DEFAULT '', mask_name TEXT NOT NULL DEFAULT '',
  created_at INTEGER NOT NULL, updated_at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS tasks_status ON tasks(status, created_at);
CREATE INDEX IF NOT EXISTS tasks_resource ON tasks(resource_id);
CREATE INDEX IF NOT EXISTS tasks_mask ON tasks(mask_name);
)sql";

const char *const credentialColumns =
    "access_id, access_secret, security_token, account_id, bucket, prefix, expires_at";

const char *const taskColumns =
    "id, account_id, resource_id, type, status, engine, error, mask_name, created_at, updated_at";

KSServiceStore::Task readTask(const Statement &row)
{
    return {row.text(0), row.integer(1), row.text(2), row.text(3), int(row.integer(4)),
            row.text(5), row.text(6), row.text(7), row.integer(8), row.integer(9)};
}

KSServiceStore::Credential readCredential(const Statement &row)
{
    return {row.text(0), row.text(1), row.text(2), row.integer(3), row.text(4), row.text(5), row.integer(6)};
}
} // namespace

KSSqliteServiceStore::~KSSqliteServiceStore()
{
    close();
}

bool KSSqliteServiceStore::open(const QString &path, QString *error)
{
    std::lock_guard lock(m_mutex);
    if (m_db)
        return true;
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW,
                        nullptr)
        != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    char *message = nullptr;
    if (sqlite3_exec(m_db, schema, nullptr, nullptr, &message) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(message);
        sqlite3_free(message);
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    return true;
}

void KSSqliteServiceStore::close()
{
    std::lock_guard lock(m_mutex);
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

namespace {
// Collects the files behind the records of the accounts `which` selects
// (an SQL condition on account_id), then deletes those records. Called
// inside a transaction.
bool dropRecordsOf(sqlite3 *db, const char *which, std::initializer_list<Value> values, KSServiceStore::Files *dropped)
{
    if (dropped) {
        Statement objects(db, (QByteArray("SELECT bucket, object_key FROM resources WHERE ") + which).constData(), values);
        while (objects.next())
            dropped->objects.append({objects.text(0), objects.text(1)});
        Statement masks(db, (QByteArray("SELECT mask_name FROM tasks WHERE mask_name <> '' AND ") + which).constData(),
                        values);
        while (masks.next())
            dropped->masks.append(masks.text(0));
    }
    bool ok = true;
    for (const char *table : {"tasks", "resources", "credentials"}) {
        const QByteArray sql = QByteArray("DELETE FROM ") + table + " WHERE " + which;
        ok = ok && Statement(db, sql.constData(), values).exec();
    }
    return ok;
}
} // namespace

std::optional<qint64> KSSqliteServiceStore::makeSoleAccount(const QString &email, const QString &token, qint64 now,
                                                      Files *dropped)
{
    std::lock_guard lock(m_mutex);
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return std::nullopt;
    const QString hash = tokenHash(token);
    Files files;
    bool ok = dropRecordsOf(m_db, "account_id NOT IN (SELECT id FROM accounts WHERE email = ?1 AND token_hash = ?2)",
                            {email, hash}, &files);
    ok = ok && Statement(m_db, "DELETE FROM accounts WHERE email <> ?1", {email}).exec();
    ok = ok
         && Statement(m_db,
                      "INSERT INTO accounts(email, token_hash, created_at) VALUES(?1, ?2, ?3) "
                      "ON CONFLICT(email) DO UPDATE SET token_hash = excluded.token_hash",
                      {email, hash, now})
                .exec();
    std::optional<qint64> id;
    if (ok) {
        Statement row(m_db, "SELECT id FROM accounts WHERE email = ?1", {email});
        if (row.next())
            id = row.integer(0);
    }
    sqlite3_exec(m_db, id ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    if (id && dropped)
        *dropped = std::move(files);
    return id;
}

bool KSSqliteServiceStore::dropAccountRecords(qint64 accountId, Files *dropped)
{
    std::lock_guard lock(m_mutex);
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    Files files;
    const bool ok = dropRecordsOf(m_db, "account_id = ?1", {accountId}, &files);
    sqlite3_exec(m_db, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    if (ok && dropped)
        *dropped = std::move(files);
    return ok;
}

std::optional<KSServiceStore::MaskOwner> KSSqliteServiceStore::maskOwner(const QString &maskName)
{
    if (maskName.isEmpty())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    Statement row(m_db,
                  "SELECT accounts.id, accounts.token_hash FROM tasks JOIN accounts ON accounts.id = tasks.account_id "
                  "WHERE tasks.mask_name = ?1 AND tasks.status = 2",
                  {maskName});
    if (!row.next())
        return std::nullopt;
    return MaskOwner{row.integer(0), row.text(1).toLatin1()};
}

std::optional<qint64> KSSqliteServiceStore::accountForToken(const QString &token)
{
    if (token.isEmpty())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    Statement row(m_db, "SELECT id FROM accounts WHERE token_hash = ?1", {tokenHash(token)});
    if (!row.next())
        return std::nullopt;
    return row.integer(0);
}

bool KSSqliteServiceStore::addCredential(const Credential &c)
{
    std::lock_guard lock(m_mutex);
    return Statement(m_db,
                     "INSERT INTO credentials(access_id, access_secret, security_token, account_id, bucket, "
                     "prefix, expires_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                     {c.accessId, c.accessSecret, c.securityToken, c.accountId, c.bucket, c.prefix, c.expiresAt})
        .exec();
}

std::optional<KSServiceStore::Credential> KSSqliteServiceStore::credential(const QString &accessId)
{
    std::lock_guard lock(m_mutex);
    Statement row(m_db, QByteArray("SELECT ").append(credentialColumns).append(" FROM credentials WHERE access_id = ?1").constData(),
                  {accessId});
    if (!row.next())
        return std::nullopt;
    return readCredential(row);
}

bool KSSqliteServiceStore::addResource(const Resource &r)
{
    std::lock_guard lock(m_mutex);
    return Statement(m_db,
                     "INSERT INTO resources(id, account_id, bucket, object_key, size, registered, created_at) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                     {r.id, r.accountId, r.bucket, r.objectKey, r.size, qint64(r.registered), r.createdAt})
        .exec();
}

std::optional<KSServiceStore::Resource> KSSqliteServiceStore::resource(const QString &id)
{
    std::lock_guard lock(m_mutex);
    Statement row(m_db,
                  "SELECT id, account_id, bucket, object_key, size, registered, created_at FROM resources "
                  "WHERE id = ?1",
                  {id});
    if (!row.next())
        return std::nullopt;
    return Resource{row.text(0), row.integer(1), row.text(2), row.text(3), row.integer(4), row.integer(5) != 0,
                    row.integer(6)};
}

bool KSSqliteServiceStore::markRegistered(const QString &id)
{
    std::lock_guard lock(m_mutex);
    return Statement(m_db, "UPDATE resources SET registered = 1 WHERE id = ?1", {id}).exec();
}

bool KSSqliteServiceStore::addTask(const Task &t)
{
    std::lock_guard lock(m_mutex);
    return insertTask(t);
}

bool KSSqliteServiceStore::insertTask(const Task &t)
{
    return Statement(m_db,
                     "INSERT INTO tasks(id, account_id, resource_id, type, status, engine, error, mask_name, "
                     "created_at, updated_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
                     {t.id, t.accountId, t.resourceId, t.type, qint64(t.status), t.engine, t.error, t.maskName,
                      t.createdAt, t.updatedAt})
        .exec();
}

std::optional<KSServiceStore::Task> KSSqliteServiceStore::task(const QString &id)
{
    std::lock_guard lock(m_mutex);
    Statement row(m_db, (QByteArray("SELECT ") + taskColumns + " FROM tasks WHERE id = ?1").constData(), {id});
    if (!row.next())
        return std::nullopt;
    return readTask(row);
}

std::optional<KSServiceStore::AddedTask> KSSqliteServiceStore::addTaskOnce(const Task &t)
{
    std::lock_guard lock(m_mutex);
    Statement row(m_db,
                  (QByteArray("SELECT ") + taskColumns
                   + " FROM tasks WHERE account_id = ?1 AND resource_id = ?2 AND type = ?3 AND status != ?4 "
                     "ORDER BY created_at DESC LIMIT 1")
                      .constData(),
                  {t.accountId, t.resourceId, t.type, qint64(KSTaskStatus::failed)});
    if (row.next())
        return AddedTask{readTask(row), false};
    if (!insertTask(t))
        return std::nullopt;
    return AddedTask{t, true};
}

std::optional<KSServiceStore::Claim> KSSqliteServiceStore::claimNextTask(qint64 now)
{
    std::lock_guard lock(m_mutex);
    Statement row(m_db,
                  "UPDATE tasks SET status = 1, updated_at = ?1 WHERE rowid = (SELECT rowid FROM tasks "
                  "WHERE status = 0 ORDER BY created_at, rowid LIMIT 1) RETURNING id",
                  {now});
    if (!row.next())
        return std::nullopt;
    return Claim{row.text(0), QString()};
}

bool KSSqliteServiceStore::finishTask(const Claim &claim, int status, const QString &engine, const QString &error,
                                const QString &maskName, qint64 now)
{
    std::lock_guard lock(m_mutex);
    if (!Statement(m_db,
                   "UPDATE tasks SET status = ?2, engine = ?3, error = ?4, mask_name = ?5, updated_at = ?6 "
                   "WHERE id = ?1 AND status = 1",
                   {claim.taskId, qint64(status), engine, error, maskName, now})
             .exec())
        return false;
    return sqlite3_changes(m_db) == 1;
}

bool KSSqliteServiceStore::cancelTask(const QString &id, qint64 now, Files *dropped)
{
    std::lock_guard lock(m_mutex);
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    bool cancelled = Statement(m_db,
                               "UPDATE tasks SET status = -1, error = 'cancelled by the client', updated_at = ?2 "
                               "WHERE id = ?1 AND status IN (0, 1)",
                               {id, now})
                         .exec()
                     && sqlite3_changes(m_db) == 1;
    Files files;
    if (cancelled) {
        Statement mask(m_db, "SELECT mask_name FROM tasks WHERE id = ?1 AND mask_name <> ''", {id});
        if (mask.next())
            files.masks.append(mask.text(0));
        // The upload goes with its record unless another task still waits
        // for it or runs on it (the same photo cut as the other type).
        static const char *const unused = "id = (SELECT resource_id FROM tasks WHERE id = ?1) AND NOT EXISTS "
                                          "(SELECT 1 FROM tasks WHERE resource_id = resources.id AND id <> ?1 "
                                          "AND status IN (0, 1))";
        Statement object(m_db, (QByteArray("SELECT bucket, object_key FROM resources WHERE ") + unused).constData(),
                         {id});
        while (object.next())
            files.objects.append({object.text(0), object.text(1)});
        cancelled = Statement(m_db, (QByteArray("DELETE FROM resources WHERE ") + unused).constData(), {id}).exec();
    }
    sqlite3_exec(m_db, cancelled ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    if (cancelled && dropped)
        *dropped = std::move(files);
    return cancelled;
}

int KSSqliteServiceStore::recoverAfterStart(qint64 now)
{
    std::lock_guard lock(m_mutex);
    Statement(m_db, "UPDATE tasks SET status = 0, updated_at = ?1 WHERE status = 1", {now}).exec();
    Statement rows(m_db, "SELECT count(*) FROM tasks WHERE status = 0", {});
    return rows.next() ? int(rows.integer(0)) : 0;
}

void KSSqliteServiceStore::purgeRecords(qint64 cutoff, qint64 now)
{
    std::lock_guard lock(m_mutex);
    Statement(m_db, "DELETE FROM tasks WHERE status IN (2, -1) AND updated_at < ?1", {cutoff}).exec();
    Statement(m_db,
              "UPDATE tasks SET status = -1, error = 'the task waited too long and its picture was removed', "
              "updated_at = ?2 WHERE status = 0 AND created_at < ?1",
              {cutoff, now})
        .exec();
    Statement(m_db, "DELETE FROM resources WHERE created_at < ?1", {cutoff}).exec();
    Statement(m_db, "DELETE FROM credentials WHERE expires_at < ?1", {cutoff}).exec();
}
