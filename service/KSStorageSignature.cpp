#include "KSStorageSignature.h"

#include <QMessageAuthenticationCode>

#include <map>

namespace {
QByteArray headerValue(const KSStorageSignature::HeaderList &headers, const char *name)
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value.trimmed();
    }
    return {};
}
} // namespace

QByteArray KSStorageSignature::stringToSign(const QByteArray &verb, const HeaderList &headers,
                                            const QByteArray &resource)
{
    QByteArray text = verb;
    for (const char *name : {"Content-MD5", "Content-Type", "Date"}) {
        text += '\n';
        text += headerValue(headers, name);
    }
    text += '\n';

    std::map<QByteArray, QByteArray> storageHeaders;
    for (const auto &[key, value] : headers) {
        const QByteArray lower = key.trimmed().toLower();
        if (!lower.startsWith("x-oss-"))
            continue;
        QByteArray &joined = storageHeaders[lower];
        if (!joined.isEmpty())
            joined += ',';
        joined += value.trimmed();
    }
    for (const auto &[name, value] : storageHeaders)
        text += name + ':' + value + '\n';
    return text + resource;
}

QByteArray KSStorageSignature::sign(const QByteArray &secret, const QByteArray &text)
{
    return QMessageAuthenticationCode::hash(text, secret, QCryptographicHash::Sha1).toBase64();
}

QByteArray KSStorageSignature::authorization(const QByteArray &accessId, const QByteArray &signature)
{
    return "OSS " + accessId + ':' + signature;
}

bool KSStorageSignature::parseAuthorization(const QByteArray &header, QByteArray *accessId,
                                            QByteArray *signature)
{
    const QByteArray value = header.trimmed();
    if (!value.startsWith("OSS "))
        return false;
    const QByteArray credentials = value.mid(4).trimmed();
    const qsizetype colon = credentials.lastIndexOf(':');
    if (colon <= 0 || colon == credentials.size() - 1)
        return false;
    *accessId = credentials.left(colon);
    *signature = credentials.mid(colon + 1);
    return true;
}

bool KSStorageSignature::sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}
