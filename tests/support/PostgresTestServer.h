#pragma once

// A throw-away PostgreSQL server for the service tests: initdb and pg_ctl of
// Debian's server in a temporary folder, listening only on a Unix socket
// there. The server refuses to run as root, so under root it runs as the
// "postgres" user. One server per test program, stopped when it ends; each
// test gets databases of its own.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <libpq-fe.h>

#include <memory>
#include <mutex>

#include <pwd.h>
#include <unistd.h>

class PostgresTestServer
{
public:
    static PostgresTestServer &shared()
    {
        static PostgresTestServer server;
        return server;
    }

    ~PostgresTestServer()
    {
        if (m_running)
            run(tool("pg_ctl"), {"-D", m_data, "-m", "immediate", "-w", "stop"});
    }

    [[nodiscard]] bool isRunning() const { return m_running; }
    // Why the server did not start, with the tools' own output.
    [[nodiscard]] const QString &error() const { return m_error; }

    // The connection string of the database `name`, made empty the first
    // time it is asked for.
    QString database(const QString &name)
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return QStringLiteral("host=%1/no-server port=1 dbname=none connect_timeout=1").arg(m_dir.path());
        const QString conninfo = connection(name);
        if (!m_made.contains(name)) {
            PGconn *admin = PQconnectdb(connection(QStringLiteral("postgres")).toUtf8().constData());
            PQclear(PQexec(admin, QStringLiteral("CREATE DATABASE \"%1\"").arg(name).toUtf8().constData()));
            PQfinish(admin);
            m_made << name;
        }
        return conninfo;
    }

    // A database name for a data folder, so that a service started again on
    // the same folder finds its records, as it does in SQLite.
    QString databaseFor(const QString &dataDir)
    {
        const QByteArray hash = QCryptographicHash::hash(QDir::cleanPath(dataDir).toUtf8(), QCryptographicHash::Sha1);
        return database(QStringLiteral("f") + QString::fromLatin1(hash.toHex().left(20)));
    }

    // A fresh database of its own for every call.
    QString freshDatabase()
    {
        return database(QStringLiteral("t%1").arg(++m_fresh));
    }

private:
    PostgresTestServer()
    {
        m_data = m_dir.filePath(QStringLiteral("data"));
        m_port = 20000 + int(QRandomGenerator::global()->bounded(20000));
        m_running = start();
    }

    static QString tool(const char *name)
    {
        return QStringLiteral("/usr/lib/postgresql/15/bin/") + QLatin1String(name);
    }

    QString connection(const QString &name) const
    {
        return QStringLiteral("host=%1 port=%2 user=cutora dbname=%3").arg(m_dir.path()).arg(m_port).arg(name);
    }

    // Runs a server tool as the user the server runs as.
    bool run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (geteuid() == 0)
            process.start(QStringLiteral("runuser"), QStringList{"-u", "postgres", "--", program} + arguments);
        else
            process.start(program, arguments);
        const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
                        && process.exitCode() == 0;
        if (!ok)
            m_error += QStringLiteral("%1 failed: %2\n").arg(program, QString::fromLocal8Bit(process.readAll()));
        return ok;
    }

    bool start()
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return false;
        }
        if (geteuid() == 0) {
            const passwd *user = getpwnam("postgres");
            if (!user || chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
                m_error = QStringLiteral("running as root, and the postgres user cannot own %1").arg(m_dir.path());
                return false;
            }
        }
        // fsync off: the tests' data lives as long as the test program.
        return run(tool("initdb"), {"-D", m_data, "-U", "cutora", "-A", "trust", "-E", "UTF8", "--locale=C",
                                    "--no-sync"})
               && run(tool("pg_ctl"),
                      {"-D", m_data, "-l", m_dir.filePath(QStringLiteral("server.log")), "-w", "-t", "60", "-o",
                       QStringLiteral("-c listen_addresses='' -k %1 -p %2 -c fsync=off -c max_connections=300 "
                                      "-c full_page_writes=off -c synchronous_commit=off")
                           .arg(m_dir.path())
                           .arg(m_port),
                       "start"});
    }

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/cutora-pg-XXXXXX")};
    QString m_data;
    int m_port = 0;
    bool m_running = false;
    QString m_error;
    std::mutex m_mutex;
    QStringList m_made;
    int m_fresh = 0;
};
