#pragma once

#include "KSNetError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

using CURL = void;
struct curl_slist;

// What the HTTP wrapper and the storage client share: libcurl's one-time set-up,
// the worker threads every transfer runs on, and the options every request of
// the application gets (certificate checks, time-outs, http/https only).
class KSCurlSession
{
public:
    struct Timeouts
    {
        int connectMs = 15000;
        int totalMs = 30000;
        // A transfer that moves no byte for this long is given up (0: never).
        int idleSeconds = 0;
    };

    struct HandleDeleter { void operator()(CURL *handle) const; };
    struct ListDeleter { void operator()(curl_slist *list) const; };
    using Handle = std::unique_ptr<CURL, HandleDeleter>;
    using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // Initialises libcurl once. main() calls it before it starts any thread;
    // every other entry point calls it too, so forgetting it costs nothing.
    static void globalInit();

    // Runs a blocking transfer on the network threads, never on the caller's.
    // Whatever the job throws is logged and swallowed. At exit, running
    // transfers are aborted (their progress callbacks see isShuttingDown())
    // and waited for.
    static void run(std::function<void()> job);

    [[nodiscard]] static bool isShuttingDown();

    // Waits until no transfer runs or is queued; false when msecs passed
    // first. What a finished transfer reported is then already said.
    static bool waitForIdle(int msecs);

    // A handle for the URL with the shared options set; null when libcurl
    // cannot make one.
    [[nodiscard]] static Handle newHandle(const QByteArray &url, const Timeouts &timeouts);

    // A header list for curl, or nothing when a name or value could smuggle
    // another header or line into the request (CR, LF, NUL, ':' in a name).
    [[nodiscard]] static std::optional<HeaderList> headerList(const Headers &headers);

    struct Outcome
    {
        int code = 0;     // CURLcode
        long status = 0;  // HTTP status of the last reply
        QString errorText;
    };
    // Runs the transfer to its end and frees the handle.
    static Outcome perform(Handle handle);

    [[nodiscard]] static KSNetError transportError(const Outcome &outcome);
    [[nodiscard]] static KSNetError httpError(long status);

    // True for http(s) URLs with a host: the only ones the application sends.
    [[nodiscard]] static bool isWebUrl(const QString &url);
    [[nodiscard]] static bool isIpAddress(const QString &host);
    [[nodiscard]] static bool isLoopbackHost(const QString &host);
};
