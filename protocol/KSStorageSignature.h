#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// Request signing of the object storage, the one definition that the client
// signs with and the service checks with. Pure functions, no state.
//
// The signed text is
//   VERB \n Content-MD5 \n Content-Type \n Date \n
//   one "name:value\n" per x-oss- header (names lower-cased and sorted, values
//   trimmed, the values of a repeated header joined by ",")
//   /bucket/key
// and the request carries "Authorization: OSS <access id>:<Base64 HMAC-SHA1 of that text>".
class KSStorageSignature
{
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // "/bucket/key" as it is signed: the key unencoded, whatever the URL looks like.
    [[nodiscard]] static QByteArray canonicalResource(const QString &bucket, const QString &objectKey);

    // Content-MD5, Content-Type and Date are read from the headers (any case;
    // absent ones count as empty); other headers than x-oss- ones are ignored.
    [[nodiscard]] static QByteArray stringToSign(const QByteArray &verb, const Headers &headers, const QByteArray &resource);

    // Base64 of the HMAC-SHA1 of text under secret; also signs the storage's
    // callbacks to the service.
    [[nodiscard]] static QByteArray signature(const QByteArray &secret, const QByteArray &text);

    // The whole Authorization header value: "OSS id:signature".
    [[nodiscard]] static QByteArray authorization(const QByteArray &accessKeyId, const QByteArray &accessKeySecret,
                                                  const QByteArray &verb, const Headers &headers,
                                                  const QByteArray &resource);

    // (access id, signature) of an "OSS id:signature" value, blanks around it
    // allowed; none when malformed.
    [[nodiscard]] static std::optional<QPair<QByteArray, QByteArray>> parseAuthorization(const QByteArray &value);

    // Whether the Authorization value was made with this secret for this
    // request. Compares in constant time.
    [[nodiscard]] static bool verify(const QByteArray &authorizationValue, const QByteArray &accessKeySecret,
                                     const QByteArray &verb, const Headers &headers, const QByteArray &resource);

    // Comparison whose time does not depend on where the texts differ.
    [[nodiscard]] static bool sameBytes(const QByteArray &a, const QByteArray &b);

    // RFC 1123 date in GMT ("Sun, 06 Nov 1994 08:49:37 GMT"), independent of the locale.
    [[nodiscard]] static QByteArray httpDate(const QDateTime &time);
    // The date of an RFC 1123 text, or of RFC 2822 with a numeric zone;
    // invalid for anything else.
    [[nodiscard]] static QDateTime parseHttpDate(const QString &text);
};
