#include "KSStorageSignature.h"

#include <QLocale>
#include <QMessageAuthenticationCode>

#include <map>

namespace {

QByteArray headerValue(const KSStorageSignature::Headers &headers, const char *name)
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value.trimmed();
    return {};
}

} // namespace

QByteArray KSStorageSignature::canonicalResource(const QString &bucket, const QString &objectKey)
{
    return '/' + bucket.toUtf8() + '/' + objectKey.toUtf8();
}

QByteArray KSStorageSignature::stringToSign(const QByteArray &verb, const Headers &headers, const QByteArray &resource)
{
    // Sorted by name; a header sent twice is signed once with its values
    // joined by ",".
    std::map<QByteArray, QByteArray> storageHeaders;
    for (const auto &[key, value] : headers) {
        const QByteArray name = key.trimmed().toLower();
        if (!name.startsWith("x-oss-"))
            continue;
        QByteArray &joined = storageHeaders[name];
        if (!joined.isEmpty())
            joined += ',';
        joined += value.trimmed();
    }

    QByteArray text = verb + '\n' + headerValue(headers, "Content-MD5") + '\n' + headerValue(headers, "Content-Type")
                      + '\n' + headerValue(headers, "Date") + '\n';
    for (const auto &[name, value] : storageHeaders)
        text += name + ':' + value + '\n';
    return text + resource;
}

QByteArray KSStorageSignature::signature(const QByteArray &secret, const QByteArray &text)
{
    return QMessageAuthenticationCode::hash(text, secret, QCryptographicHash::Sha1).toBase64();
}

QByteArray KSStorageSignature::authorization(const QByteArray &accessKeyId, const QByteArray &accessKeySecret,
                                             const QByteArray &verb, const Headers &headers, const QByteArray &resource)
{
    return "OSS " + accessKeyId + ':' + signature(accessKeySecret, stringToSign(verb, headers, resource));
}

std::optional<QPair<QByteArray, QByteArray>> KSStorageSignature::parseAuthorization(const QByteArray &value)
{
    const QByteArray trimmed = value.trimmed();
    if (!trimmed.startsWith("OSS "))
        return std::nullopt;
    const QByteArray credential = trimmed.mid(4).trimmed();
    const qsizetype colon = credential.lastIndexOf(':');
    if (colon <= 0 || colon == credential.size() - 1)
        return std::nullopt;
    return qMakePair(credential.left(colon), credential.mid(colon + 1));
}

bool KSStorageSignature::verify(const QByteArray &authorizationValue, const QByteArray &accessKeySecret,
                                const QByteArray &verb, const Headers &headers, const QByteArray &resource)
{
    const auto parsed = parseAuthorization(authorizationValue);
    return parsed && sameBytes(parsed->second, signature(accessKeySecret, stringToSign(verb, headers, resource)));
}

bool KSStorageSignature::sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}

QByteArray KSStorageSignature::httpDate(const QDateTime &time)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime utc = time.toUTC();
    const QDate date = utc.date();
    const QTime clock = utc.time();
    return QByteArray(days[date.dayOfWeek() - 1]) + ", " + QByteArray::number(date.day()).rightJustified(2, '0') + ' '
           + months[date.month() - 1] + ' ' + QByteArray::number(date.year()) + ' '
           + QByteArray::number(clock.hour()).rightJustified(2, '0') + ':'
           + QByteArray::number(clock.minute()).rightJustified(2, '0') + ':'
           + QByteArray::number(clock.second()).rightJustified(2, '0') + " GMT";
}

QDateTime KSStorageSignature::parseHttpDate(const QString &text)
{
    QDateTime date = QLocale::c().toDateTime(text.trimmed(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    if (date.isValid()) {
        date.setTimeSpec(Qt::UTC);
        return date;
    }
    return QDateTime::fromString(text.trimmed(), Qt::RFC2822Date);
}
