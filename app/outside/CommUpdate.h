#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>

// What an update check found.
struct CommUpdateResult
{
    enum class State { UpToDate, UpdateAvailable, Failed };
    State state = State::UpToDate;
    QString runningVersion;
    QString latestVersion; // from the feed; empty when there is none
    QUrl downloadUrl;
    QString notes;
    QString error;         // why the check failed
};

// Update check against a feed: a JSON object {"version", "url", "notes"} at
// feedUrl(). A check that cannot read a feed (none is set, no network, a
// feed that is no feed) fails: it never claims the version is the latest. A
// web feed is fetched with KSAFNetworking and a file URL read directly,
// unless a feed fetcher is attached. The application shell sets the feed and
// attaches the presenter that shows the result (without one, results are
// only logged).
class CommUpdate
{
public:
    // userAsked is false for checkSilent. The presenter runs on the thread
    // of the application object.
    using Presenter = std::function<void(const CommUpdateResult &result, bool userAsked)>;
    // Called once, on any thread, with the feed's body or an error text.
    using FeedReply = std::function<void(const QByteArray &body, const QString &error)>;
    using FeedFetcher = std::function<void(const QUrl &feedUrl, FeedReply reply)>;

    // At start-up: presents the result only when an update exists.
    static void checkSilent();
    // From the help menu: always presents the result.
    static void check();

    static void setFeedUrl(const QUrl &feedUrl);
    static QUrl feedUrl();
    static void setPresenter(Presenter presenter);
    static void setFeedFetcher(FeedFetcher fetcher);

    // The version the running application reports: the registered
    // CommAppInfo's version, else the build's own.
    static QString runningVersion();
    // Compares a feed's contents with a running version ("1.2.0(Build ...)" reads as 1.2.0).
    static CommUpdateResult evaluateFeed(const QByteArray &feed, const QString &runningVersion);
};
