#pragma once

#include <QMetaType>
#include <QString>

// An error of the HTTP and storage layers: where it comes from, a code within
// that domain and a text for the log. Plain value, safe to pass between threads.
struct KSNetError
{
    QString domain;
    int code = 0;
    QString localizedDescription;

    // Transport failures (no connection, time-out, TLS) carry libcurl's code.
    static QString transportDomain() { return QStringLiteral("KSTransportErrorDomain"); }
    // A reply with an HTTP status of 400 or above carries that status.
    static QString httpDomain() { return QStringLiteral("KSHTTPErrorDomain"); }
    // Errors the client makes itself (a request it refuses to send, a reply it
    // cannot use), in the URL domain of the protocol's error codes.
    static QString urlDomain() { return QStringLiteral("NSURLErrorDomain"); }

    // No connection could be made (libcurl's CURLE_COULDNT_CONNECT): nothing
    // was sent, so the same request may simply be made again.
    [[nodiscard]] bool couldNotConnect() const { return domain == transportDomain() && code == 7; }
    // The connection was refused, or dropped before a reply came (libcurl's
    // 7, 52 empty reply, 55 send and 56 receive failures): what a service
    // that ends mid-request leaves its clients, unlike a time-out or an
    // answer. The request may or may not have reached the service.
    [[nodiscard]] bool lostConnection() const
    {
        return domain == transportDomain() && (code == 7 || code == 52 || code == 55 || code == 56);
    }
};

Q_DECLARE_METATYPE(KSNetError)
