// Whether a cut-out is lost when the service's owner is killed.
//
// First part: 30 jobs run at once through cutora-service while it is killed
// with SIGKILL twice and started again on the same port and data folder.
// Each job goes through the protocol as the application does (credentials,
// signed upload with callback, registration, task, polls, mask) and repeats
// a step that finds no service, as a client would after a restart.
//
// Second part: three command lines (the cutora program, ten photos each,
// with --out-dir) share one data folder; the one that runs the service is
// killed with SIGKILL, and later the one that took the service over. A
// killed command is run again for the photos it had not written, as its
// user would. Every photo is a picture of its own, so that each output is
// checked against its own photo; the service's store and logs tell whether
// a task was made or run twice.
//
// Goal of both: nothing lost, every photo gets the mask of its own picture.
//   bench_service_kills [--part service|commands] [--jobs N] [--service PATH] [--cutora PATH]
#include "KSStorageSignature.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <httplib.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <csignal>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Service
{
    QString program;
    QString dataDir;
    quint16 port = 0; // 0 until the first start picks one
    std::string token;
    std::unique_ptr<QProcess> process;

    bool start()
    {
        process = std::make_unique<QProcess>();
        process->start(program, {"--port", QString::number(port), "--data", dataDir, "--workers", "2", "--model", "none"});
        if (!process->waitForStarted(10000))
            return false;
        // It prints its address, account and token once it answers.
        QByteArray printed;
        while (!printed.contains("token ") || !printed.endsWith('\n')) {
            if (!process->waitForReadyRead(20000))
                return false;
            printed += process->readAllStandardOutput();
        }
        token = printed.mid(printed.indexOf("token ") + 6).trimmed().toStdString();
        // Started again, it keeps the port it was given first.
        const QUrl url(QString::fromUtf8(printed.mid(printed.indexOf("url ") + 4).split('\n').value(0).trimmed()));
        port = quint16(url.port());
        return !token.empty() && port != 0;
    }
    void kill()
    {
        process->kill(); // SIGKILL
        process->waitForFinished(10000);
    }
};

QByteArray picture(int job)
{
    QImage image(320 + 8 * job, 240, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 240));
    QPainter painter(&image);
    painter.setBrush(QColor(40, 60, 140));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(image.width() * 0.3, 40, image.width() * 0.4, 150));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "TIFF");
    return bytes;
}

QJsonObject dataOf(const httplib::Result &result)
{
    if (!result || result->status != 200)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value(QStringLiteral("data")).toObject();
}

// One job, each step repeated until it gets an answer it can use.
class Job
{
public:
    Job(int index, quint16 port, std::string token) : m_index(index), m_port(port), m_token(std::move(token)) {}

    // The mask's size, or an invalid size when the job gave up.
    QSize run(const std::atomic<bool> &giveUp, std::atomic<int> &created)
    {
        const QByteArray bytes = picture(m_index);
        QString resourceId;
        while (resourceId.isEmpty() && !giveUp)
            resourceId = upload(bytes);
        QString taskId;
        while (taskId.isEmpty() && !giveUp)
            taskId = dataOf(post("/api/tasks/object", "file_id=" + resourceId.toStdString()))
                         .value(QStringLiteral("task_id")).toString();
        ++created;
        while (!giveUp) {
            const QJsonObject task = dataOf(get("/api/tasks/" + taskId.toStdString()));
            const int status = task.value(QStringLiteral("status")).toInt(0);
            if (status == -1)
                return {};
            if (status == 2) {
                const std::string mask = QUrl(task.value(QStringLiteral("mask_file_url")).toString()).path().toStdString();
                for (; !giveUp; std::this_thread::sleep_for(200ms)) {
                    const httplib::Result result = client()->Get(mask.c_str());
                    if (result && result->status == 200)
                        return QImage::fromData(QByteArray::fromStdString(result->body)).size();
                }
            }
            std::this_thread::sleep_for(200ms);
        }
        return {};
    }

private:
    std::unique_ptr<httplib::Client> client() const
    {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", m_port);
        c->set_read_timeout(10, 0);
        c->set_url_encode(false);
        return c;
    }
    httplib::Headers bearer() const { return {{"Authorization", "Bearer " + m_token}}; }
    httplib::Result get(const std::string &path) const { return client()->Get(path.c_str(), bearer()); }
    httplib::Result post(const std::string &path, const std::string &form) const
    {
        return client()->Post(path.c_str(), bearer(), form, "application/x-www-form-urlencoded");
    }

    // Credentials, a signed put with the service's callback and the
    // registration; the resource id, or empty to try again.
    QString upload(const QByteArray &bytes)
    {
        const QJsonObject credentials = dataOf(get("/api/authentications"));
        if (credentials.isEmpty()) {
            std::this_thread::sleep_for(200ms);
            return {};
        }
        const QString bucket = credentials.value(QStringLiteral("bucket")).toString();
        const QString key = credentials.value(QStringLiteral("path")).toObject().value(QStringLiteral("images")).toString()
                            + QStringLiteral("job-%1.tif").arg(m_index);
        const QByteArray callback =
            QJsonDocument(credentials.value(QStringLiteral("callback")).toObject()).toJson(QJsonDocument::Compact).toBase64();
        KSStorageSignature::Headers headers{
            {"Date", KSStorageSignature::httpDate(QDateTime::currentDateTimeUtc())},
            {"Content-Type", "image/tiff"},
            {"x-oss-security-token", credentials.value(QStringLiteral("security_token")).toString().toLatin1()},
            {"x-oss-callback", callback},
        };
        const QByteArray authorization = KSStorageSignature::authorization(
            credentials.value(QStringLiteral("access_id")).toString().toLatin1(),
            credentials.value(QStringLiteral("access_secret")).toString().toLatin1(), "PUT", headers,
            KSStorageSignature::canonicalResource(bucket, key));
        httplib::Headers sent{{"Authorization", authorization.toStdString()}};
        for (const auto &[name, value] : headers)
            sent.emplace(name.toStdString(), value.toStdString());
        const httplib::Result stored = client()->Put(("/" + bucket + "/" + key).toStdString().c_str(), sent,
                                                     bytes.toStdString(), "image/tiff");
        const QString resourceId = dataOf(stored).value(QStringLiteral("resource")).toObject()
                                       .value(QStringLiteral("resource_id")).toString();
        if (resourceId.isEmpty())
            return {};
        return dataOf(post("/api/resources", "resource_id=" + resourceId.toStdString()))
            .value(QStringLiteral("resource_id")).toString();
    }

    int m_index;
    quint16 m_port;
    std::string m_token;
};

} // namespace

namespace {

bool runServiceKills(const QString &program, int jobs)
{
    Service service;
    service.program = program;
    QTemporaryDir home;
    service.dataDir = home.filePath(QStringLiteral("service"));
    if (!service.start()) {
        std::fprintf(stderr, "%s did not start\n", qPrintable(service.program));
        return false;
    }

    std::atomic<bool> giveUp{false};
    std::atomic<int> created{0};
    std::vector<QSize> masks(static_cast<size_t>(jobs));
    std::vector<std::thread> threads;
    QElapsedTimer clock;
    clock.start();
    for (int j = 0; j < jobs; ++j)
        threads.emplace_back([&, j] { masks[size_t(j)] = Job(j, service.port, service.token).run(giveUp, created); });

    // Two kills, while uploads, tasks and polls are under way.
    int kills = 0;
    for (const int after : {jobs / 3, 2 * jobs / 3}) {
        while (created < after && clock.elapsed() < 120000)
            std::this_thread::sleep_for(10ms);
        service.kill();
        ++kills;
        std::printf("killed the service (SIGKILL) after %d tasks were created, at %.1f s\n", int(created),
                    clock.elapsed() / 1000.0);
        if (!service.start()) {
            std::fprintf(stderr, "the service did not start again\n");
            giveUp = true;
            break;
        }
    }
    // Every job ends or the time is up.
    std::thread watchdog([&] {
        while (!giveUp && clock.elapsed() < 300000)
            std::this_thread::sleep_for(100ms);
        giveUp = true;
    });
    for (std::thread &thread : threads)
        thread.join();
    giveUp = true;
    watchdog.join();

    int right = 0;
    for (int j = 0; j < jobs; ++j)
        right += masks[size_t(j)] == QSize(320 + 8 * j, 240) ? 1 : 0;
    const QDir staging(service.dataDir + QStringLiteral("/objects/.staging"));
    const int halfWritten = staging.exists() ? int(staging.entryList(QDir::Files | QDir::Hidden).size()) : 0;
    std::printf("%d jobs at once, %d kills: %d got the mask of their own picture, %d lost, in %.1f s; "
                "%d half-written upload(s) left after the last start\n",
                jobs, kills, right, jobs - right, clock.elapsed() / 1000.0, halfWritten);
    std::printf("goal: nothing lost: %s\n", right == jobs && halfWritten == 0 ? "met" : "NOT met");
    service.kill();
    return right == jobs;
}

} // namespace

// ---- Command lines on one data folder --------------------------------------

namespace {

constexpr int kCommands = 3;
constexpr int kPhotosPerCommand = 10;
constexpr QSize kPhotoSize(400, 300);

// Each photo's subject: an ellipse of its own place, size and colour.
QRect subjectOf(int photo)
{
    return {40 + (photo * 37) % 170, 30 + (photo * 23) % 90, 100 + (photo * 13) % 70, 110 + (photo * 17) % 60};
}

QImage photoOf(int photo)
{
    QImage image(kPhotoSize, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv((photo * 47) % 360, 200, 130));
    painter.drawEllipse(subjectOf(photo));
    return image;
}

// Overlap of the output's opaque part with a photo's subject.
double iou(const QImage &cutout, int photo)
{
    QImage subject(kPhotoSize, QImage::Format_Grayscale8);
    subject.fill(0);
    QPainter painter(&subject);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(subjectOf(photo));
    painter.end();
    qint64 both = 0, either = 0;
    for (int y = 0; y < kPhotoSize.height(); ++y) {
        for (int x = 0; x < kPhotoSize.width(); ++x) {
            const bool inCutout = qAlpha(cutout.pixel(x, y)) >= 128;
            const bool inSubject = qGray(subject.pixel(x, y)) >= 128;
            both += inCutout && inSubject;
            either += inCutout || inSubject;
        }
    }
    return either > 0 ? double(both) / double(either) : 0.0;
}

// Whether the output holds its own photo's subject and no other's.
bool isOwnCutout(const QString &path, int photo, int photos)
{
    const QImage cutout = QImage(path).convertToFormat(QImage::Format_ARGB32);
    if (cutout.size() != kPhotoSize)
        return false;
    const double own = iou(cutout, photo);
    for (int other = 0; other < photos; ++other)
        if (other != photo && iou(cutout, other) >= own)
            return false;
    return own >= 0.85;
}

// The process holding the data folder's lock, from the kernel's list of
// locks; 0 when none holds it.
qint64 lockHolder(const QString &lockFile)
{
    struct stat info{};
    if (stat(QFile::encodeName(lockFile).constData(), &info) != 0)
        return 0;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"
    const QString inode = QStringLiteral(":%1").arg(qulonglong(info.st_ino));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QStringList fields = QString::fromLatin1(line).simplified().split(u' ');
        if (fields.size() >= 6 && fields[1] == QLatin1String("FLOCK") && fields[3] == QLatin1String("WRITE")
            && fields[5].endsWith(inode))
            return fields[4].toLongLong();
    }
    return 0;
}

struct Command
{
    int index = 0;
    QList<int> photos; // still to be written
    std::unique_ptr<QProcess> process;
    QByteArray output;
    int runs = 0;
    int failedPhotos = 0;
};

struct TaskCounts
{
    int created = 0;
    int done = 0;
    int twiceForOneUpload = 0;
};

TaskCounts countTasks(const QString &database)
{
    TaskCounts counts;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return counts;
    }
    const auto number = [db](const char *sql) {
        sqlite3_stmt *statement = nullptr;
        int value = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            value = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        return value;
    };
    counts.created = number("SELECT COUNT(*) FROM tasks");
    counts.done = number("SELECT COUNT(*) FROM tasks WHERE status = 2");
    counts.twiceForOneUpload =
        number("SELECT COUNT(*) FROM (SELECT resource_id FROM tasks GROUP BY resource_id, type HAVING COUNT(*) > 1)");
    sqlite3_close(db);
    return counts;
}

// How many tasks the services' logs say were finished more than once.
int tasksDoneTwice(const QString &home)
{
    static const QRegularExpression done(QStringLiteral("task ([0-9a-f]{32}) done by"));
    QSet<QString> seen;
    int twice = 0;
    for (int i = 0; i < kCommands; ++i) {
        QFile log(QStringLiteral("%1/cache-%2/Cutora/cutora.log").arg(home).arg(i));
        if (!log.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(log.readAll());
        for (auto match = done.globalMatch(text); match.hasNext();) {
            const QString id = match.next().captured(1);
            twice += seen.contains(id) ? 1 : 0;
            seen.insert(id);
        }
    }
    return twice;
}

bool runCommandKills(const QString &program)
{
    QTemporaryDir home;
    const int photos = kCommands * kPhotosPerCommand;
    for (int p = 0; p < photos; ++p)
        photoOf(p).save(home.filePath(QStringLiteral("photo-%1.png").arg(p, 2, 10, QLatin1Char('0'))));
    const QString dataHome = home.filePath(QStringLiteral("data"));
    const QString lockFile = dataHome + QStringLiteral("/Cutora/service/service.lock");

    std::vector<Command> commands(kCommands);
    const auto launch = [&](Command &command) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache-%1").arg(command.index)));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config-%1").arg(command.index)));
        environment.insert(QStringLiteral("CUTORA_SERVICE_URL"), QString());
        environment.insert(QStringLiteral("CUTORA_MODEL"), QStringLiteral("none"));
        QStringList arguments{"--cut"};
        for (const int p : std::as_const(command.photos))
            arguments << home.filePath(QStringLiteral("photo-%1.png").arg(p, 2, 10, QLatin1Char('0')));
        arguments << "--type" << "object" << "--out-dir" << home.filePath(QStringLiteral("out"));
        command.process = std::make_unique<QProcess>();
        command.process->setProcessEnvironment(environment);
        command.process->setProcessChannelMode(QProcess::SeparateChannels);
        command.process->start(program, arguments);
        command.output.clear();
        ++command.runs;
        return command.process->waitForStarted(10000);
    };
    // What a command has written so far is off its list.
    const auto collect = [&](Command &command) {
        command.output += command.process->readAllStandardOutput();
        command.process->readAllStandardError();
        static const QRegularExpression written(QStringLiteral("photo-(\\d\\d)\\.png$"));
        for (const QByteArray &line : command.output.split('\n'))
            if (const auto match = written.match(QString::fromLocal8Bit(line).trimmed()); match.hasMatch())
                command.photos.removeAll(match.captured(1).toInt());
    };
    const auto remaining = [&] {
        int left = 0;
        for (const Command &command : commands)
            left += int(command.photos.size());
        return left;
    };

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kCommands; ++i) {
        commands[size_t(i)].index = i;
        for (int p = 0; p < kPhotosPerCommand; ++p)
            commands[size_t(i)].photos << i * kPhotosPerCommand + p;
        if (!launch(commands[size_t(i)])) {
            std::fprintf(stderr, "%s did not start\n", qPrintable(program));
            return false;
        }
    }

    // The owner is killed once a quarter of the photos are written, and the
    // one that took over once half of them are.
    QList<int> killAt{photos / 4, photos / 2};
    QList<qint64> killed;
    while (clock.elapsed() < 300000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
        bool running = false;
        for (Command &command : commands) {
            collect(command);
            running = running || command.process->state() != QProcess::NotRunning;
        }
        const int writtenCount = photos - remaining();
        if (!killAt.isEmpty() && writtenCount >= killAt.first()) {
            const qint64 owner = lockHolder(lockFile);
            for (Command &command : commands) {
                if (owner == 0 || command.process->processId() != owner)
                    continue;
                ::kill(pid_t(owner), SIGKILL);
                command.process->waitForFinished(10000);
                collect(command);
                killed << owner;
                std::printf("killed the command that ran the service (pid %lld, command %d, run %d) with %d of %d "
                            "photos written, at %.1f s\n",
                            owner, command.index, command.runs, writtenCount, photos, clock.elapsed() / 1000.0);
                // Its user runs it again for what it had not written.
                if (!command.photos.isEmpty())
                    launch(command);
                killAt.removeFirst();
                running = true;
                break;
            }
        }
        if (!running)
            break;
    }
    for (Command &command : commands) {
        if (command.process->state() != QProcess::NotRunning) {
            command.process->kill();
            command.process->waitForFinished(10000);
        }
        collect(command);
    }

    int own = 0;
    for (int p = 0; p < photos; ++p)
        own += isOwnCutout(home.filePath(QStringLiteral("out/photo-%1.png").arg(p, 2, 10, QLatin1Char('0'))), p, photos)
                   ? 1
                   : 0;
    const TaskCounts tasks = countTasks(dataHome + QStringLiteral("/Cutora/service/service.sqlite"));
    const int doneTwice = tasksDoneTwice(home.path());
    std::printf("%d command lines x %d photos on one data folder, %d kills of the service's owner: %d of %d done with "
                "the mask of their own photo, %d lost, in %.1f s\n",
                kCommands, kPhotosPerCommand, int(killed.size()), own, photos, photos - own, clock.elapsed() / 1000.0);
    std::printf("tasks: %d made for %d photos (a killed command's photo under way is made again by its next run), "
                "%d done; %d made twice for one upload, %d done twice\n",
                tasks.created, photos, tasks.done, tasks.twiceForOneUpload, doneTwice);
    const bool met = own == photos && killed.size() == 2 && tasks.twiceForOneUpload == 0 && doneTwice == 0;
    std::printf("goal: 30 of 30, none run twice: %s\n", met ? "met" : "NOT met");
    return met;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int jobs = 30;
    QString part;
    QString service = QCoreApplication::applicationDirPath() + QStringLiteral("/../service/cutora-service");
    QString cutora = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/cutora");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--jobs"))
            jobs = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--service"))
            service = QString::fromLocal8Bit(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--cutora"))
            cutora = QString::fromLocal8Bit(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--part"))
            part = QString::fromLocal8Bit(argv[i + 1]);
    }
    bool met = true;
    if (part.isEmpty() || part == QLatin1String("service"))
        met = runServiceKills(service, jobs) && met;
    if (part.isEmpty() || part == QLatin1String("commands"))
        met = runCommandKills(cutora) && met;
    return met ? 0 : 1;
}
