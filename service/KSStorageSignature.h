#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// Request signing of the object storage: HMAC-SHA1 with the access secret
// over the verb, Content-MD5, Content-Type, Date, the sorted "x-oss-" headers
// and "/bucket/key", sent as "Authorization: OSS <access id>:<signature>".
class KSStorageSignature
{
public:
    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

    // Header names are matched without regard to case; "x-oss-" headers are
    // lower-cased, trimmed, joined with "," when repeated and sorted by name.
    [[nodiscard]] static QByteArray stringToSign(const QByteArray &verb, const HeaderList &headers,
                                                 const QByteArray &resource);
    // Base64 of the HMAC-SHA1 of text under secret.
    [[nodiscard]] static QByteArray sign(const QByteArray &secret, const QByteArray &text);
    [[nodiscard]] static QByteArray authorization(const QByteArray &accessId, const QByteArray &signature);
    // Splits "OSS id:signature"; false for anything else.
    [[nodiscard]] static bool parseAuthorization(const QByteArray &header, QByteArray *accessId,
                                                 QByteArray *signature);
    // Comparison whose time does not depend on where the texts differ.
    [[nodiscard]] static bool sameBytes(const QByteArray &a, const QByteArray &b);
};
