// A team's services on one PostgreSQL database: the queue's own cost, and
// three cutora-service processes sharing photos from three clients while one
// of them is killed and started again. Prints the figures the README quotes.
//
//   bench_team_service [--database URI] [--photos-per-client N] [--empty-tasks N]
//
// Without --database it starts a throw-away server of its own (as the tests
// do). The services run the classical engine.

#include "KSPostgresServiceStore.h"
#include "KSProtocolPaths.h"
#include "KSStorageSignature.h"
#include "PostgresTestServer.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

#include <httplib.h>
#include <libpq-fe.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

const QString kToken = QStringLiteral("5eedc0ffee5eedc0ffee5eedc0ffee5e");
constexpr int kServices = 3;
constexpr int kClients = 3;
constexpr int kLeaseSeconds = 3;

// ---- the queue's own cost ---------------------------------------------------

double queueCost(const QString &database, int tasks, int workers)
{
    PGconn *setup = PQconnectdb(database.toUtf8().constData());
    KSPostgresServiceStore store(database.toUtf8());
    QString error;
    if (!store.open(&error)) {
        std::fprintf(stderr, "queue: %s\n", qPrintable(error));
        return -1;
    }
    // Adding is the clients' part: done in one statement, not measured.
    PQclear(PQexec(setup, QStringLiteral("INSERT INTO tasks(id, account_id, resource_id, type, status, created_at, "
                                         "updated_at) SELECT 'q' || i, 1, 'r' || i, 'object', 0, i, i "
                                         "FROM generate_series(1, %1) AS i")
                              .arg(tasks)
                              .toUtf8()
                              .constData()));
    PQfinish(setup);
    std::atomic<int> finished{0}, lost{0};
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&] {
            while (const auto claim = store.claimNextTask(QDateTime::currentMSecsSinceEpoch())) {
                if (store.finishTask(*claim, 2, QStringLiteral("none"), {}, {}, QDateTime::currentMSecsSinceEpoch()))
                    ++finished;
                else
                    ++lost;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    const double seconds = double(timer.elapsed()) / 1000.0;
    std::printf("queue: %d empty tasks claimed and completed by %d workers in %.2f s (%.0f tasks/s, %.2f ms a task "
                "of one worker); %d finished, %d lost (goal: under 20 s)\n",
                tasks, workers, seconds, tasks / seconds, seconds * 1000.0 * workers / tasks, finished.load(), lost.load());
    return seconds;
}

// ---- objects: shared folder or bytea -----------------------------------------

void objectCost(const QString &database, const QString &folder)
{
    constexpr int kObjects = 30;
    const QByteArray bytes(2 * 1024 * 1024, 'x'); // about a reduced photo
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kObjects; ++i) {
        const QString path = folder + QStringLiteral("/object-%1").arg(i);
        QFile staged(path + QStringLiteral(".staged"));
        if (!staged.open(QIODevice::WriteOnly) || staged.write(bytes) != bytes.size() || !staged.flush())
            return;
        staged.close();
        QFile::rename(staged.fileName(), path);
        QFile read(path);
        if (!read.open(QIODevice::ReadOnly) || read.readAll().size() != bytes.size())
            return;
    }
    const double folderMs = double(timer.nsecsElapsed()) / 1e6 / kObjects;

    PGconn *connection = PQconnectdb(database.toUtf8().constData());
    PQclear(PQexec(connection, "CREATE TABLE IF NOT EXISTS bench_objects(key TEXT PRIMARY KEY, bytes BYTEA)"));
    timer.restart();
    for (int i = 0; i < kObjects; ++i) {
        const QByteArray key = "object-" + QByteArray::number(i);
        const char *values[] = {key.constData(), bytes.constData()};
        const int lengths[] = {int(key.size()), int(bytes.size())};
        const int formats[] = {0, 1};
        PQclear(PQexecParams(connection, "INSERT INTO bench_objects VALUES($1, $2)", 2, nullptr, values, lengths,
                             formats, 1));
        const char *keyValue[] = {key.constData()};
        PGresult *read = PQexecParams(connection, "SELECT bytes FROM bench_objects WHERE key = $1", 1, nullptr,
                                      keyValue, nullptr, nullptr, 1);
        if (PQntuples(read) != 1 || PQgetlength(read, 0, 0) != bytes.size())
            std::fprintf(stderr, "objects: bytea read back wrong\n");
        PQclear(read);
    }
    const double byteaMs = double(timer.nsecsElapsed()) / 1e6 / kObjects;
    PQclear(PQexec(connection, "DROP TABLE bench_objects"));
    PQfinish(connection);
    std::printf("objects: a 2 MiB upload written and read back: %.1f ms in the folder, %.1f ms as bytea in "
                "PostgreSQL\n",
                folderMs, byteaMs);
}

// ---- the team under kills ---------------------------------------------------

struct Photo
{
    QByteArray bytes;
    QPointF centre; // the subject's, in pixels
};

// A subject of its own place for every photo, so that a mask tells whose it is.
Photo photo(int index)
{
    constexpr int kWidth = 480, kHeight = 360;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 240));
    const QPointF centre(110 + (index % 10) * 29, 110 + (index / 10) * 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40 + index, 60, 140));
    painter.drawEllipse(centre, 70, 90);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {bytes, centre};
}

QPointF maskCentre(const QImage &mask)
{
    double x = 0, y = 0, n = 0;
    const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8);
    for (int row = 0; row < grey.height(); ++row) {
        const uchar *line = grey.constScanLine(row);
        for (int column = 0; column < grey.width(); ++column) {
            if (line[column] > 127) {
                x += column;
                y += row;
                ++n;
            }
        }
    }
    return n > 0 ? QPointF(x / n, y / n) : QPointF(-1000, -1000);
}

class Team
{
public:
    Team(QString database, QString folder)
        : m_database(std::move(database))
        , m_folder(std::move(folder))
    {
        for (int i = 0; i < kServices; ++i)
            m_ports[i] = quint16(21000 + (QCoreApplication::applicationPid() % 2000) * 3 + i);
    }
    ~Team()
    {
        for (int i = 0; i < kServices; ++i)
            kill(i);
    }

    bool start(int index)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->setStandardErrorFile(QFileInfo(m_folder).path() + QStringLiteral("/service-%1.log").arg(index),
                                      QIODevice::Append);
        process->start(QStringLiteral(CUTORA_SERVICE_BINARY),
                       {"--address", "127.0.0.1", "--port", QString::number(m_ports[index]), "--data", m_folder,
                        "--database", m_database, "--token", kToken, "--account", "team@example.org", "--workers", "1",
                        "--model", "none", "--lease-seconds", QString::number(kLeaseSeconds)});
        for (QElapsedTimer waited; waited.start(), true;) {
            if (!process->waitForReadyRead(10000) && process->state() != QProcess::Running)
                return false;
            if (process->readAll().contains("url "))
                break;
            if (waited.elapsed() > 10000)
                return false;
        }
        std::lock_guard lock(m_mutex);
        m_processes[index] = std::move(process);
        return true;
    }

    void kill(int index)
    {
        std::unique_ptr<QProcess> process;
        {
            std::lock_guard lock(m_mutex);
            process = std::move(m_processes[index]);
        }
        if (process && process->state() == QProcess::Running) {
            ::kill(pid_t(process->processId()), SIGKILL);
            process->waitForFinished(5000);
        }
    }

    quint16 port(int index) const { return m_ports[index]; }

private:
    QString m_database;
    QString m_folder;
    quint16 m_ports[kServices]{};
    std::unique_ptr<QProcess> m_processes[kServices];
    std::mutex m_mutex;
};

// A client of the team: told every service's address, it goes to the next
// one when the one it uses does not answer.
class TeamClient
{
public:
    TeamClient(const Team &team, int first)
        : m_team(team)
        , m_current(first)
    {
    }

    // Uploads, creates the task and waits for its mask; the task's id and
    // the mask's bytes, or empty after too many tries.
    std::pair<QString, QByteArray> cut(const QByteArray &bytes)
    {
        QString taskId;
        for (int attempt = 0; attempt < 40 && taskId.isEmpty(); ++attempt) {
            const QString resource = upload(bytes);
            if (resource.isEmpty()) {
                failOver();
                continue;
            }
            // A creation whose reply was lost is sent again, maybe elsewhere:
            // the team makes one task of it.
            for (int again = 0; again < 10 && taskId.isEmpty(); ++again) {
                taskId = data(post(std::string(KSProtocolPaths::tasks) + "object", {{"file_id", resource.toStdString()}}))
                             .value(QStringLiteral("task_id")).toString();
                if (taskId.isEmpty())
                    failOver();
            }
        }
        if (taskId.isEmpty())
            return {};
        for (QElapsedTimer waited; waited.start(), waited.elapsed() < 300000;) {
            const QJsonObject task = data(get(std::string(KSProtocolPaths::tasks) + taskId.toStdString()));
            const int status = task.value(QStringLiteral("status")).toInt(-9);
            if (status == -9) {
                failOver();
                QThread::msleep(100);
                continue;
            }
            if (status == -1)
                return {taskId, QByteArray()};
            if (status == 2) {
                const std::string mask = QUrl(task.value(QStringLiteral("mask_file_url")).toString())
                                             .toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).toStdString();
                for (int again = 0; again < 20; ++again) {
                    if (const httplib::Result fetched = client()->Get(mask.c_str()); fetched && fetched->status == 200)
                        return {taskId, QByteArray::fromStdString(fetched->body)};
                    failOver();
                }
                return {taskId, QByteArray()};
            }
        }
        return {taskId, QByteArray()};
    }

    int failOvers() const { return m_failOvers; }

private:
    std::unique_ptr<httplib::Client> client() const
    {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", m_team.port(m_current));
        c->set_url_encode(false);
        c->set_connection_timeout(2, 0);
        c->set_read_timeout(30, 0);
        return c;
    }
    void failOver()
    {
        m_current = (m_current + 1) % kServices;
        ++m_failOvers;
    }
    static QJsonObject data(const httplib::Result &result)
    {
        if (!result || result->status != 200)
            return {};
        return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value(QStringLiteral("data")).toObject();
    }
    httplib::Headers bearer() const { return {{"Authorization", "Bearer " + kToken.toStdString()}}; }
    httplib::Result get(const std::string &path) const { return client()->Get(path.c_str(), bearer()); }
    httplib::Result post(const std::string &path, const httplib::Params &params) const
    {
        return client()->Post(path.c_str(), bearer(), params);
    }

    QString upload(const QByteArray &bytes)
    {
        const QJsonObject credentials = data(get(KSProtocolPaths::authentications));
        if (credentials.isEmpty())
            return {};
        const std::string bucket = credentials.value(QStringLiteral("bucket")).toString().toStdString();
        const std::string key = credentials.value(QStringLiteral("path")).toObject().value(QStringLiteral("images"))
                                    .toString().toStdString() + "photo.png";
        const QByteArray callback = QJsonDocument(credentials.value(QStringLiteral("callback")).toObject())
                                        .toJson(QJsonDocument::Compact).toBase64();
        httplib::Headers headers{
            {"Date", QLocale::c().toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toStdString()},
            {"Content-Type", "image/png"},
            {"x-oss-security-token", credentials.value(QStringLiteral("security_token")).toString().toStdString()},
            {"x-oss-callback", callback.toStdString()}};
        KSStorageSignature::Headers list;
        for (const auto &[name, value] : headers)
            list.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
        headers.emplace("Authorization",
                        KSStorageSignature::authorization(credentials.value(QStringLiteral("access_id")).toString().toLatin1(),
                                                          credentials.value(QStringLiteral("access_secret")).toString().toLatin1(),
                                                          "PUT", list, QByteArray::fromStdString("/" + bucket + "/" + key))
                            .toStdString());
        const httplib::Result stored = client()->Put(("/" + bucket + "/" + key).c_str(), headers, bytes.toStdString(), "image/png");
        const QString resource = data(stored).value(QStringLiteral("resource")).toObject().value(QStringLiteral("resource_id")).toString();
        if (resource.isEmpty())
            return {};
        return data(post(KSProtocolPaths::resources, {{"resource_id", resource.toStdString()}}))
            .value(QStringLiteral("resource_id")).toString();
    }

    const Team &m_team;
    int m_current;
    int m_failOvers = 0;
};

QStringList rows(const QString &database, const char *sql)
{
    PGconn *connection = PQconnectdb(database.toUtf8().constData());
    PGresult *result = PQexec(connection, sql);
    QStringList values;
    for (int row = 0; row < PQntuples(result); ++row) {
        QStringList columns;
        for (int column = 0; column < PQnfields(result); ++column)
            columns << QString::fromUtf8(PQgetvalue(result, row, column));
        values << columns.join(QLatin1Char('|'));
    }
    PQclear(result);
    PQfinish(connection);
    return values;
}

bool teamUnderKills(const QString &database, const QString &root, int photosPerClient)
{
    const QString folder = root + QStringLiteral("/shared");
    Team team(database, folder);
    for (int i = 0; i < kServices; ++i) {
        if (!team.start(i)) {
            std::fprintf(stderr, "team: service %d did not start (see %s/service-%d.log)\n", i, qPrintable(root), i);
            return false;
        }
    }
    const int total = photosPerClient * kClients;
    std::vector<Photo> photos;
    for (int i = 0; i < total; ++i)
        photos.push_back(photo(i));

    struct Outcome
    {
        QString taskId;
        QByteArray mask;
    };
    std::vector<Outcome> outcomes(static_cast<size_t>(total));
    std::atomic<int> done{0};
    std::atomic<int> failOvers{0};
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            TeamClient client(team, c);
            for (int i = c; i < total; i += kClients) {
                auto [taskId, mask] = client.cut(photos[size_t(i)].bytes);
                outcomes[size_t(i)] = {taskId, mask};
                ++done;
            }
            failOvers += client.failOvers();
        });
    }
    // Service 2 is killed twice while tasks run, and started again a moment later.
    int kills = 0;
    QStringList runningAtKills;
    for (const int after : {total / 4, total / 2}) {
        while (done < after)
            QThread::msleep(20);
        // Every service has its one task under way: one of them is lost
        // with the service, and claimed again once its lease runs out.
        while (rows(database, "SELECT id FROM tasks WHERE status = 1").size() < kServices && done < total)
            QThread::msleep(10);
        runningAtKills << rows(database, "SELECT id FROM tasks WHERE status = 1");
        team.kill(1);
        ++kills;
        QThread::msleep(1500);
        if (!team.start(1))
            std::fprintf(stderr, "team: service 2 did not start again\n");
    }
    for (std::thread &client : clients)
        client.join();
    const double seconds = double(timer.elapsed()) / 1000.0;

    int ownMask = 0, noMask = 0, wrongMask = 0;
    QStringList taskIds;
    for (int i = 0; i < total; ++i) {
        const Outcome &outcome = outcomes[size_t(i)];
        taskIds << outcome.taskId;
        const QImage mask = QImage::fromData(outcome.mask);
        if (mask.isNull()) {
            ++noMask;
            continue;
        }
        const QPointF centre = maskCentre(mask);
        // Neighbours' subjects are 16 px or more apart.
        if (QLineF(centre, photos[size_t(i)].centre).length() < 6.0)
            ++ownMask;
        else
            ++wrongMask;
    }
    const QStringList states = rows(database, "SELECT status, count(*) FROM tasks GROUP BY status ORDER BY status");
    const int tasksMade = rows(database, "SELECT id FROM tasks").size();
    // Every task's upload is whole: its object's bytes are one of the photos'.
    QSet<QByteArray> photoHashes;
    for (const Photo &p : photos)
        photoHashes.insert(QCryptographicHash::hash(p.bytes, QCryptographicHash::Md5));
    int wholeObjects = 0, brokenObjects = 0;
    for (const QString &row : rows(database, "SELECT bucket, object_key FROM resources")) {
        QFile object(folder + QStringLiteral("/objects/") + row.section(QLatin1Char('|'), 0, 0) + QLatin1Char('/')
                     + row.section(QLatin1Char('|'), 1));
        const bool whole = object.open(QIODevice::ReadOnly)
                           && photoHashes.contains(QCryptographicHash::hash(object.readAll(), QCryptographicHash::Md5));
        (whole ? wholeObjects : brokenObjects) += 1;
    }
    // What the services logged, the killed ones' included: each task ends once.
    int finishedInLogs = 0, droppedInLogs = 0;
    for (int i = 0; i < kServices; ++i) {
        QFile log(root + QStringLiteral("/service-%1.log").arg(i));
        if (log.open(QIODevice::ReadOnly)) {
            const QByteArray text = log.readAll();
            finishedInLogs += int(text.count("done by"));
            droppedInLogs += int(text.count("taken over; its mask is dropped"));
        }
    }
    const int maskFiles = int(QDir(folder + QStringLiteral("/masks")).entryList({QStringLiteral("*.png")}, QDir::Files).size());
    const int halfWritten = int(QDir(folder + QStringLiteral("/objects/.staging")).entryList(QDir::Files | QDir::Hidden).size())
                            + int(QDir(folder + QStringLiteral("/masks")).entryList({QStringLiteral("*.png.*")}, QDir::Files | QDir::Hidden).size());

    std::printf("team: %d services (1 worker each, classical engine, lease %d s), %d clients, %d photos, service 2 "
                "SIGKILLed %d times and restarted\n",
                kServices, kLeaseSeconds, kClients, total, kills);
    std::printf("team: tasks running when service 2 was killed: %d (of every service); tasks ended in the services' "
                "logs %d, late results dropped %d\n",
                int(runningAtKills.size()), finishedInLogs, droppedInLogs);
    std::printf("team: %.1f s in all, %.2f photos/s on this machine; %d fail-overs of the clients\n", seconds,
                total / seconds, failOvers.load());
    std::printf("team: tasks made %d for %d photos, distinct task ids %d; states: %s\n", tasksMade, total,
                int(QSet<QString>(taskIds.begin(), taskIds.end()).size()), qPrintable(states.join(QStringLiteral(", "))));
    std::printf("team: masks fetched %d, each its own photo's %d, another's %d, none %d; mask files %d (late "
                "results dropped)\n",
                total - noMask, ownMask, wrongMask, noMask, maskFiles);
    std::printf("team: uploads whole %d, broken %d; staged leftovers of killed uploads %d (never visible, removed "
                "after %d min)\n",
                wholeObjects, brokenObjects, halfWritten, 60);
    return ownMask == total && tasksMade == total && brokenObjects == 0 && maskFiles == total
           && finishedInLogs == total;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("A PostgreSQL database to use (its "
                                      "tables are made; give an empty one)."), QStringLiteral("uri"));
    const QCommandLineOption perClient(QStringLiteral("photos-per-client"), QStringLiteral("Photos each client cuts."),
                                       QStringLiteral("n"), QStringLiteral("30"));
    const QCommandLineOption empty(QStringLiteral("empty-tasks"), QStringLiteral("Empty tasks for the queue's cost."),
                                   QStringLiteral("n"), QStringLiteral("10000"));
    parser.addOptions({database, perClient, empty});
    parser.process(app);

    QTemporaryDir root;
    QString queueDatabase, teamDatabase;
    if (parser.isSet(database)) {
        queueDatabase = teamDatabase = parser.value(database);
    } else {
        PostgresTestServer &server = PostgresTestServer::shared();
        if (!server.isRunning()) {
            std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(server.error()));
            return 1;
        }
        queueDatabase = server.freshDatabase();
        teamDatabase = server.freshDatabase();
    }
    const double queueSeconds = queueCost(queueDatabase, parser.value(empty).toInt(), 8);
    objectCost(teamDatabase, root.path());
    const bool teamOk = teamUnderKills(teamDatabase, root.path(), parser.value(perClient).toInt());
    std::printf("goals: queue %s, team %s\n", queueSeconds >= 0 && queueSeconds < 20 ? "met" : "MISSED",
                teamOk ? "met" : "MISSED");
    return queueSeconds >= 0 && queueSeconds < 20 && teamOk ? 0 : 1;
}
