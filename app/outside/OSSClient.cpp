#include "OSSClient.h"

#include "KSCurlSession.h"
#include "KSStorageSignature.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUrl>

#include <curl/curl.h>

#include <climits>
#include <cstring>

namespace {

constexpr qsizetype maxReplyBytes = 4 * 1024 * 1024;

struct UploadState
{
    const QByteArray *body = nullptr;
    qsizetype offset = 0;
    curl_off_t lastReported = 0;
    const OSSPutObjectRequest::UploadProgress *progress = nullptr;
    QByteArray reply;
};

size_t readBody(char *buffer, size_t size, size_t count, void *target)
{
    auto *state = static_cast<UploadState *>(target);
    const qsizetype left = state->body->size() - state->offset;
    const qsizetype n = qMin(left, qsizetype(size * count));
    memcpy(buffer, state->body->constData() + state->offset, size_t(n));
    state->offset += n;
    return size_t(n);
}

int seekBody(void *target, curl_off_t offset, int origin)
{
    auto *state = static_cast<UploadState *>(target);
    if (origin != SEEK_SET || offset < 0 || offset > state->body->size())
        return CURL_SEEKFUNC_FAIL;
    state->offset = qsizetype(offset);
    return CURL_SEEKFUNC_OK;
}

size_t collectReply(char *data, size_t size, size_t count, void *target)
{
    auto *state = static_cast<UploadState *>(target);
    const size_t bytes = size * count;
    if (state->reply.size() + qsizetype(bytes) > maxReplyBytes)
        return 0;
    state->reply.append(data, qsizetype(bytes));
    return bytes;
}

int reportUpload(void *target, curl_off_t, curl_off_t, curl_off_t total, curl_off_t now)
{
    auto *state = static_cast<UploadState *>(target);
    if (KSCurlSession::isShuttingDown())
        return 1;
    if (total > 0 && now != state->lastReported && *state->progress) {
        (*state->progress)(qint64(now - state->lastReported), qint64(now), qint64(total));
        state->lastReported = now;
    }
    return 0;
}

QString headerField(const QByteArray &headers, const char *name)
{
    for (const QByteArray &line : headers.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
    }
    return {};
}

size_t collectHeaders(char *data, size_t size, size_t count, void *target)
{
    static_cast<QByteArray *>(target)->append(data, qsizetype(size * count));
    return size * count;
}

struct Attempt
{
    std::optional<KSNetError> error;
    bool retryable = false;
    OSSPutObjectResult result;
};

Attempt putOnce(const QString &url, const KSStorageSignature::Headers &headers, const QByteArray &body,
                const OSSClientConfiguration &configuration, const OSSPutObjectRequest::UploadProgress &progress)
{
    const auto toMs = [](double s) { return int(qBound(1.0, s * 1000.0, double(INT_MAX))); };
    const KSCurlSession::Timeouts timeouts{toMs(configuration.timeoutIntervalForRequest()),
                                           toMs(configuration.timeoutIntervalForResource()),
                                           int(qMax(1.0, configuration.timeoutIntervalForRequest()))};
    KSCurlSession::Handle handle = KSCurlSession::newHandle(url.toUtf8(), timeouts);
    std::optional<KSCurlSession::HeaderList> list = KSCurlSession::headerList(headers);
    if (!handle || !list)
        return {KSCurlSession::transportError({CURLE_FAILED_INIT, 0, QStringLiteral("cannot set up the request")}), false, {}};

    UploadState state;
    state.body = &body;
    state.progress = &progress;
    QByteArray replyHeaders;
    CURL *h = handle.get();
    // The signed resource must be the path that is sent: no "/../" squashing.
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(h, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(h, CURLOPT_READDATA, &state);
    curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, seekBody);
    curl_easy_setopt(h, CURLOPT_SEEKDATA, &state);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectReply);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, collectHeaders);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &replyHeaders);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, list->get());
    // A redirect would send the signed body somewhere it was not signed for.
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, reportUpload);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    const KSCurlSession::Outcome outcome = KSCurlSession::perform(std::move(handle));
    const long status = outcome.status;
    if (outcome.code != CURLE_OK)
        return {KSCurlSession::transportError(outcome), true, {}};
    if (status < 200 || status >= 300 || status == 203) {
        KSNetError error = KSCurlSession::httpError(status);
        error.localizedDescription += QStringLiteral(": ") + QString::fromUtf8(state.reply.left(300));
        return {error, status >= 500, {}};
    }
    OSSPutObjectResult result;
    result.httpResponseCode = int(status);
    result.eTag = headerField(replyHeaders, "ETag");
    result.requestId = headerField(replyHeaders, "x-oss-request-id");
    result.serverReturnJsonString = QString::fromUtf8(state.reply);
    return {std::nullopt, false, result};
}

} // namespace

OSSClient::OSSClient(const QString &endpoint, const OSSStsTokenCredentialProvider &credentialProvider,
                     const OSSClientConfiguration &configuration)
    : m_endpoint(endpoint.contains(QLatin1String("://")) ? endpoint : QStringLiteral("http://") + endpoint)
    , m_credentials(credentialProvider)
    , m_configuration(configuration)
{
}

QString OSSClient::objectUrl(const QString &endpoint, const QString &bucket, const QString &objectKey)
{
    const QUrl base(endpoint.contains(QLatin1String("://")) ? endpoint : QStringLiteral("http://") + endpoint);
    const QString host = base.host();
    const QString authority = base.port() > 0 ? QStringLiteral(":%1").arg(base.port()) : QString();
    const QString key = QString::fromLatin1(QUrl::toPercentEncoding(objectKey, "/"));
    const QString scheme = base.scheme().isEmpty() ? QStringLiteral("http") : base.scheme();
    if (KSCurlSession::isIpAddress(host) || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        const QString bracketed = host.contains(u':') ? u'[' + host + u']' : host;
        return scheme + QStringLiteral("://") + bracketed + authority + u'/'
               + QString::fromLatin1(QUrl::toPercentEncoding(bucket)) + u'/' + key;
    }
    return scheme + QStringLiteral("://") + bucket + u'.' + host + authority + u'/' + key;
}

QByteArray OSSClient::contentTypeForKey(const QString &objectKey)
{
    const QString suffix = objectKey.section(u'.', -1).toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return "image/tiff";
    return "application/octet-stream";
}

void OSSClient::putObject(const OSSPutObjectRequest &request, PutCompletion completion) const
{
    const QString endpoint = m_endpoint;
    const OSSStsTokenCredentialProvider credentials = m_credentials;
    const OSSClientConfiguration configuration = m_configuration;
    KSCurlSession::run([endpoint, credentials, configuration, request, completion = std::move(completion)] {
        const auto finish = [&](const std::optional<KSNetError> &error, const OSSPutObjectResult &result) {
            if (completion)
                completion(error, result);
        };
        QFile file(request.uploadingFileURL().toLocalFile());
        if (!request.uploadingFileURL().isLocalFile() || !file.open(QIODevice::ReadOnly)) {
            finish(KSNetError{KSNetError::urlDomain(), -1100,
                              QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString())},
                   {});
            return;
        }
        const QByteArray body = file.readAll();
        file.close();

        KSStorageSignature::Headers headers{
            {"Content-Type", contentTypeForKey(request.objectKey())},
            {"Content-MD5", QCryptographicHash::hash(body, QCryptographicHash::Md5).toBase64()},
        };
        if (!credentials.securityToken().isEmpty())
            headers.append({"x-oss-security-token", credentials.securityToken().toUtf8()});
        if (!request.callbackParam().isEmpty()) {
            const QByteArray json = QJsonDocument(QJsonObject::fromVariantMap(request.callbackParam())).toJson(QJsonDocument::Compact);
            headers.append({"x-oss-callback", json.toBase64()});
        }
        const QString url = objectUrl(endpoint, request.bucketName(), request.objectKey());
        const QByteArray resource = KSStorageSignature::canonicalResource(request.bucketName(), request.objectKey());

        Attempt attempt;
        for (int round = 0; round <= configuration.maxRetryCount(); ++round) {
            if (round > 0)
                QThread::msleep(ulong(100 * round));
            // Signed anew each time: the Date must be fresh.
            KSStorageSignature::Headers signedHeaders = headers;
            signedHeaders.append({"Date", KSStorageSignature::httpDate(QDateTime::currentDateTimeUtc())});
            signedHeaders.append({"Authorization",
                                  KSStorageSignature::authorization(credentials.accessKeyId().toUtf8(),
                                                           credentials.secretKeyId().toUtf8(), "PUT", signedHeaders,
                                                           resource)});
            // An empty Expect spares the round trip of "100-continue".
            signedHeaders.append({"Expect", QByteArray()});
            attempt = putOnce(url, signedHeaders, body, configuration, request.uploadProgress());
            if (!attempt.error || !attempt.retryable || KSCurlSession::isShuttingDown())
                break;
        }
        finish(attempt.error, attempt.result);
    });
}
