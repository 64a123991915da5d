#include "CommUpdate.h"

#include "CommLog.h"
#include "KSAFNetworking.h"
#include "KSCommonUtils.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QtConcurrent/QtConcurrentRun>
#include <QVersionNumber>

namespace {

QMutex updateMutex;
QUrl configuredFeed;
CommUpdate::Presenter configuredPresenter;
CommUpdate::FeedFetcher configuredFetcher;

constexpr qint64 kMaxFeedBytes = 1024 * 1024;

// Web feeds go through the application's HTTP wrapper, unless the shell
// attached a fetcher of its own.
void fetchWebFeed(const QUrl &url, const CommUpdate::FeedReply &reply)
{
    KSAFNetworking::GETtWithUrl(
        url.toString(QUrl::FullyEncoded), {}, {},
        [reply](const std::optional<KSNetError> &error, const QVariant &body) {
            if (error) {
                reply({}, error->localizedDescription);
                return;
            }
            // JSON arrives decoded; the comparison reads the text form.
            if (const auto map = KSAFNetworking::responseToDictionary(body))
                reply(QJsonDocument(QJsonObject::fromVariantMap(*map)).toJson(), {});
            else
                reply(body.toByteArray(), {});
        });
}

struct FeedRead
{
    QByteArray body;
    QString error;
};

FeedRead readFeedFile(const QUrl &url)
{
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    if (file.size() > kMaxFeedBytes)
        return {{}, QStringLiteral("the feed is too large")};
    return {file.readAll(), {}};
}

// The reply may come on any thread: present() takes the result to the
// application's.
void readLocalFeed(const QUrl &url, const CommUpdate::FeedReply &reply)
{
    QtConcurrent::run(readFeedFile, url).then([reply](const FeedRead &read) { reply(read.body, read.error); });
}

void present(const CommUpdateResult &result, bool userAsked)
{
    static const char *const states[] = {"up to date", "update available", "check failed"};
    CommLog::I(QStringLiteral("CommUpdate: running %1, latest %2: %3 %4")
                   .arg(result.runningVersion, result.latestVersion,
                        QLatin1String(states[int(result.state)]), result.error));
    if (!userAsked && result.state != CommUpdateResult::State::UpdateAvailable)
        return;
    CommUpdate::Presenter presenter;
    {
        QMutexLocker lock(&updateMutex);
        presenter = configuredPresenter;
    }
    if (!presenter)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        presenter(result, userAsked);
        return;
    }
    QMetaObject::invokeMethod(app, [presenter, result, userAsked] { presenter(result, userAsked); },
                              Qt::QueuedConnection);
}

void runCheck(bool userAsked)
{
    const QUrl feed = CommUpdate::feedUrl();
    const QString running = CommUpdate::runningVersion();
    if (feed.isEmpty()) {
        CommUpdateResult result;
        result.state = CommUpdateResult::State::Failed;
        result.runningVersion = running;
        result.error = QStringLiteral("no update feed is set");
        present(result, userAsked);
        return;
    }
    const CommUpdate::FeedReply reply = [running, userAsked](const QByteArray &body,
                                                             const QString &error) {
        CommUpdateResult result;
        if (error.isEmpty()) {
            result = CommUpdate::evaluateFeed(body, running);
        } else {
            result.state = CommUpdateResult::State::Failed;
            result.runningVersion = running;
            result.error = error;
        }
        present(result, userAsked);
    };
    CommUpdate::FeedFetcher fetcher;
    {
        QMutexLocker lock(&updateMutex);
        fetcher = configuredFetcher;
    }
    if (fetcher)
        fetcher(feed, reply);
    else if (feed.isLocalFile())
        readLocalFeed(feed, reply);
    else
        fetchWebFeed(feed, reply);
}

} // namespace

void CommUpdate::checkSilent() { runCheck(false); }
void CommUpdate::check() { runCheck(true); }

void CommUpdate::setFeedUrl(const QUrl &feedUrl)
{
    QMutexLocker lock(&updateMutex);
    configuredFeed = feedUrl;
}

QUrl CommUpdate::feedUrl()
{
    QMutexLocker lock(&updateMutex);
    return configuredFeed;
}

void CommUpdate::setFeedFetcher(FeedFetcher fetcher)
{
    QMutexLocker lock(&updateMutex);
    configuredFetcher = std::move(fetcher);
}

void CommUpdate::setPresenter(Presenter presenter)
{
    QMutexLocker lock(&updateMutex);
    configuredPresenter = std::move(presenter);
}

QString CommUpdate::runningVersion()
{
    const QString registered = KSCommonUtils::appInfo().appVersion();
    return registered.isEmpty() ? QStringLiteral(CUTORA_VERSION_STRING) : registered;
}

CommUpdateResult CommUpdate::evaluateFeed(const QByteArray &feed, const QString &runningVersion)
{
    CommUpdateResult result;
    result.runningVersion = runningVersion;
    const QJsonObject object = QJsonDocument::fromJson(feed).object();
    result.latestVersion = object.value(QStringLiteral("version")).toString();
    result.downloadUrl = QUrl(object.value(QStringLiteral("url")).toString());
    result.notes = object.value(QStringLiteral("notes")).toString();

    const QVersionNumber latest = QVersionNumber::fromString(result.latestVersion);
    const QVersionNumber running = QVersionNumber::fromString(runningVersion);
    if (latest.isNull() || running.isNull()) {
        result.state = CommUpdateResult::State::Failed;
        result.error = QStringLiteral("unreadable version");
    } else {
        result.state = latest > running ? CommUpdateResult::State::UpdateAvailable
                                        : CommUpdateResult::State::UpToDate;
    }
    return result;
}
