#pragma once

#include "KSNetError.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

// The application's HTTP requests. Every operation returns at once; the
// transfer runs on a network thread, and its completion or final progress
// report is made exactly once, on that thread (never the caller's).
// HTTPS certificates are always verified; only http and https URLs are sent.
class KSAFNetworking
{
public:
    // (error or none, reply or none). A JSON object reply arrives as a
    // QVariantMap, a JSON array as a QVariantList (JSON strings stay QString,
    // numbers stay numbers); any other body as its raw QByteArray; an empty
    // body as an invalid QVariant. A status of 400 or more is an error of
    // KSNetError::httpDomain(), with the decoded body as the reply.
    using Completion = std::function<void(const std::optional<KSNetError> &error, const QVariant &reply)>;

    // (progress 0..1, finished, error). Progress reports come first; then
    // exactly one final report: (1.0, true, none) or (last progress, false, error).
    using ProgressBlock = std::function<void(float progress, bool finished, const std::optional<KSNetError> &error)>;

    struct Timeouts
    {
        int connectMs = 15000;
        int requestMs = 30000;   // whole GET or POST
        int downloadMs = 300000; // whole download
        int idleSeconds = 30;    // a download that stalls this long fails
    };

    // GET with the parameters percent-encoded into the query.
    static void GETtWithUrl(const QString &url, const QVariantMap &parameters, const QVariantMap &headers,
                            Completion completion);
    // POST with the parameters form-encoded (application/x-www-form-urlencoded).
    static void POSTWithUrl(const QString &url, const QVariantMap &parameters, const QVariantMap &headers,
                            Completion completion);

    // A reply body as the completion receives it (see Completion).
    [[nodiscard]] static QVariant decodeReply(const QByteArray &body);

    // A reply as a dictionary: a map as it is, JSON object text parsed;
    // anything else gives none.
    [[nodiscard]] static std::optional<QVariantMap> responseToDictionary(const QVariant &reply);

    // Saves the URL's body at filePath. The bytes go to a temporary name in
    // the same folder, renamed to filePath only when the whole body arrived,
    // so filePath never holds a partial file (and an older file there stays
    // untouched when the download fails).
    static void downloadFile(const QString &url, const QString &filePath, ProgressBlock progress);

    // Initialises libcurl. main() calls it before it starts any thread; the
    // first request does it too, so a program that forgets loses nothing.
    static void globalInit();

    static void setTimeouts(const Timeouts &timeouts);
    [[nodiscard]] static Timeouts timeouts();

    // "a=1&b=x%20y": how GET queries and POST bodies carry parameters.
    // Nested maps and lists become key[sub]=v and key[]=v.
    [[nodiscard]] static QByteArray encodeParameters(const QVariantMap &parameters);
};
