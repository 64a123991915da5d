// Whether the service loses anything when it is killed: 30 jobs run at once
// through cutora-service while it is killed with SIGKILL twice and started
// again on the same port and data folder (goal: nothing lost, every job
// gets the mask of its own picture).
//   bench_service_kills [--jobs N] [--service PATH]
// Each job goes through the protocol as the application does (credentials,
// signed upload with callback, registration, task, polls, mask) and repeats
// a step that finds no service, as a client would after a restart.
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
#include <QTemporaryDir>
#include <QUrl>

#include <httplib.h>


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

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int jobs = 30;
    Service service;
    service.program = QCoreApplication::applicationDirPath() + QStringLiteral("/../service/cutora-service");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--jobs"))
            jobs = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--service"))
            service.program = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir home;
    service.dataDir = home.filePath(QStringLiteral("service"));
    if (!service.start()) {
        std::fprintf(stderr, "%s did not start\n", qPrintable(service.program));
        return 1;
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
    return right == jobs ? 0 : 1;
}
