#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// Request signing of the object storage, shared by the client that signs and
// any server that checks. Pure functions, no state.
//
// The signed text is
//   VERB \n Content-MD5 \n Content-Type \n Date \n
//   one "name:value\n" per x-oss- header (names lower-cased and sorted, values
//   trimmed, the values of a repeated header joined by ",")
//   /bucket/key
// and the request carries "Authorization: OSS <access id>:<Base64 HMAC-SHA1 of that text>".
class OSSSigner
{
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // "/bucket/key" as it is signed: the key unencoded, whatever the URL looks like.
    [[nodiscard]] static QByteArray canonicalResource(const QString &bucket, const QString &objectKey);

    // Content-MD5, Content-Type and Date are read from the headers (any case;
    // absent ones count as empty); other headers than x-oss- ones are ignored.
    [[nodiscard]] static QByteArray stringToSign(const QByteArray &verb, const Headers &headers, const QByteArray &resource);

    [[nodiscard]] static QByteArray signature(const QByteArray &accessKeySecret, const QByteArray &stringToSign);

    // The whole Authorization header value: "OSS id:signature".
    [[nodiscard]] static QByteArray authorization(const QByteArray &accessKeyId, const QByteArray &accessKeySecret,
                                                  const QByteArray &verb, const Headers &headers,
                                                  const QByteArray &resource);

    // (access id, signature) of an "OSS id:signature" value; none when malformed.
    [[nodiscard]] static std::optional<QPair<QByteArray, QByteArray>> parseAuthorization(const QByteArray &value);

    // Whether the Authorization value was made with this secret for this
    // request. Compares in constant time.
    [[nodiscard]] static bool verify(const QByteArray &authorizationValue, const QByteArray &accessKeySecret,
                                     const QByteArray &verb, const Headers &headers, const QByteArray &resource);

    // RFC 1123 date in GMT ("Sun, 06 Nov 1994 08:49:37 GMT"), independent of the locale.
    [[nodiscard]] static QByteArray httpDate(const QDateTime &time);
};
