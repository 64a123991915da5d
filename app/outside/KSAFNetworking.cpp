#include "KSAFNetworking.h"

#include "KSCurlSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>
#include <QUrl>

#include <curl/curl.h>

namespace {

// Replies of the web API are small; anything larger is a fault of the peer.
constexpr qsizetype maxReplyBytes = 32 * 1024 * 1024;

QMutex timeoutsMutex;
KSAFNetworking::Timeouts currentTimeouts;

void appendEncoded(QByteArray &out, const QString &key, const QVariant &value)
{
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            appendEncoded(out, key + u'[' + it.key() + u']', it.value());
        return;
    }
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        for (const QVariant &item : value.toList())
            appendEncoded(out, key + QStringLiteral("[]"), item);
        return;
    }
    if (!out.isEmpty())
        out += '&';
    out += QUrl::toPercentEncoding(key);
    out += '=';
    out += QUrl::toPercentEncoding(value.toString());
}

KSCurlSession::Headers headerPairs(const QVariantMap &headers)
{
    KSCurlSession::Headers pairs;
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        pairs.emplaceBack(it.key().toUtf8(), it.value().toString().toUtf8());
    return pairs;
}

bool hasHeader(const QVariantMap &headers, const char *name)
{
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        if (it.key().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

size_t collectBody(char *data, size_t size, size_t count, void *target)
{
    auto *body = static_cast<QByteArray *>(target);
    const size_t bytes = size * count;
    if (body->size() + qsizetype(bytes) > maxReplyBytes)
        return 0; // aborts the transfer with a write error
    body->append(data, qsizetype(bytes));
    return bytes;
}

// One GET or POST, run on a network thread.
void performRequest(const QByteArray &url, const std::optional<QByteArray> &formBody, const QVariantMap &headers,
                    const KSAFNetworking::Completion &completion)
{
    const auto finish = [&](const std::optional<KSNetError> &error, const QVariant &reply) {
        if (completion)
            completion(error, reply);
    };

    const KSAFNetworking::Timeouts limits = KSAFNetworking::timeouts();
    KSCurlSession::Handle handle = KSCurlSession::newHandle(url, {limits.connectMs, limits.requestMs, 0});
    KSCurlSession::Headers pairs = headerPairs(headers);
    if (!hasHeader(headers, "Accept"))
        pairs.emplaceBack("Accept", "application/json");
    if (formBody && !hasHeader(headers, "Content-Type"))
        pairs.emplaceBack("Content-Type", "application/x-www-form-urlencoded");
    std::optional<KSCurlSession::HeaderList> list = KSCurlSession::headerList(pairs);
    if (!list) {
        finish(KSNetError{KSNetError::urlDomain(), -1000, QStringLiteral("a request header holds a line break")}, {});
        return;
    }

    QByteArray body;
    CURL *h = handle.get();
    if (h) {
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, list->get());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
        if (formBody) {
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(formBody->size()));
            curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, formBody->constData());
        }
    }

    const KSCurlSession::Outcome outcome = KSCurlSession::perform(std::move(handle));
    if (outcome.code != CURLE_OK) {
        finish(KSCurlSession::transportError(outcome), {});
        return;
    }
    const QVariant reply = KSAFNetworking::decodeReply(body);
    if (outcome.status >= 400) {
        finish(KSCurlSession::httpError(outcome.status), reply);
        return;
    }
    finish(std::nullopt, reply);
}

// Runs a request on the network threads; a URL we refuse is reported there too,
// so the caller always hears back on another thread, exactly once.
void startRequest(const QString &url, const QByteArray &query, std::optional<QByteArray> formBody,
                  const QVariantMap &headers, KSAFNetworking::Completion completion)
{
    if (!KSCurlSession::isWebUrl(url)) {
        KSCurlSession::run([url, completion = std::move(completion)] {
            if (completion)
                completion(KSNetError{KSNetError::urlDomain(), -1000, QStringLiteral("unsupported URL: %1").arg(url)}, {});
        });
        return;
    }
    QUrl parsed(url, QUrl::StrictMode);
    parsed.setFragment(QString());
    QByteArray target = parsed.toEncoded();
    if (!query.isEmpty())
        target += (parsed.hasQuery() ? '&' : '?') + query;
    KSCurlSession::run([target, formBody = std::move(formBody), headers, completion = std::move(completion)] {
        performRequest(target, formBody, headers, completion);
    });
}

struct DownloadState
{
    QSaveFile *file = nullptr;
    const KSAFNetworking::ProgressBlock *progress = nullptr;
    float lastReported = -1.0f;
    bool writeFailed = false;
};

size_t writeToFile(char *data, size_t size, size_t count, void *target)
{
    auto *state = static_cast<DownloadState *>(target);
    const qint64 bytes = qint64(size * count);
    if (state->file->write(data, bytes) != bytes) {
        state->writeFailed = true;
        return 0;
    }
    return size_t(bytes);
}

int reportDownload(void *target, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto *state = static_cast<DownloadState *>(target);
    if (KSCurlSession::isShuttingDown())
        return 1;
    if (total <= 0 || !*state->progress)
        return 0;
    const float fraction = float(now) / float(total);
    // Every percent is enough for a progress bar; more would flood the receiver.
    if (fraction - state->lastReported >= 0.01f || (fraction >= 1.0f && state->lastReported < 1.0f)) {
        state->lastReported = fraction;
        (*state->progress)(fraction, false, std::nullopt);
    }
    return 0;
}

void performDownload(const QByteArray &url, const QString &filePath, const KSAFNetworking::ProgressBlock &progress)
{
    DownloadState state;
    state.progress = &progress;
    const auto fail = [&](const KSNetError &error) {
        if (progress)
            progress(qMax(state.lastReported, 0.0f), false, error);
    };

    QSaveFile file(filePath);
    state.file = &file;
    if (filePath.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        fail({KSNetError::urlDomain(), -3000, QStringLiteral("cannot write %1: %2").arg(filePath, file.errorString())});
        return;
    }

    const KSAFNetworking::Timeouts limits = KSAFNetworking::timeouts();
    KSCurlSession::Handle handle = KSCurlSession::newHandle(url, {limits.connectMs, limits.downloadMs, limits.idleSeconds});
    if (CURL *h = handle.get()) {
        // Only a successful reply may become the file.
        curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeToFile);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, reportDownload);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &state);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    }

    const KSCurlSession::Outcome outcome = KSCurlSession::perform(std::move(handle));
    if (outcome.code != CURLE_OK) {
        file.cancelWriting();
        if (state.writeFailed)
            fail({KSNetError::urlDomain(), -3000, QStringLiteral("cannot write %1: %2").arg(filePath, file.errorString())});
        else if (outcome.code == CURLE_HTTP_RETURNED_ERROR)
            fail(KSCurlSession::httpError(outcome.status));
        else
            fail(KSCurlSession::transportError(outcome));
        return;
    }
    if (!file.commit()) {
        fail({KSNetError::urlDomain(), -3000, QStringLiteral("cannot save %1: %2").arg(filePath, file.errorString())});
        return;
    }
    if (progress)
        progress(1.0f, true, std::nullopt);
}

} // namespace

void KSAFNetworking::GETtWithUrl(const QString &url, const QVariantMap &parameters, const QVariantMap &headers,
                                 Completion completion)
{
    startRequest(url, encodeParameters(parameters), std::nullopt, headers, std::move(completion));
}

void KSAFNetworking::POSTWithUrl(const QString &url, const QVariantMap &parameters, const QVariantMap &headers,
                                 Completion completion)
{
    startRequest(url, {}, encodeParameters(parameters), headers, std::move(completion));
}

QVariant KSAFNetworking::decodeReply(const QByteArray &body)
{
    if (body.isEmpty())
        return {};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error == QJsonParseError::NoError) {
        if (document.isObject())
            return document.object().toVariantMap();
        if (document.isArray())
            return document.array().toVariantList();
    }
    return body;
}

std::optional<QVariantMap> KSAFNetworking::responseToDictionary(const QVariant &reply)
{
    if (reply.typeId() == QMetaType::QVariantMap)
        return reply.toMap();
    if (reply.typeId() == QMetaType::QByteArray || reply.typeId() == QMetaType::QString) {
        const QByteArray text = reply.typeId() == QMetaType::QString ? reply.toString().toUtf8() : reply.toByteArray();
        const QJsonDocument document = QJsonDocument::fromJson(text);
        if (document.isObject())
            return document.object().toVariantMap();
    }
    return std::nullopt;
}

void KSAFNetworking::downloadFile(const QString &url, const QString &filePath, ProgressBlock progress)
{
    if (!KSCurlSession::isWebUrl(url)) {
        KSCurlSession::run([url, progress = std::move(progress)] {
            if (progress)
                progress(0.0f, false, KSNetError{KSNetError::urlDomain(), -1000, QStringLiteral("unsupported URL: %1").arg(url)});
        });
        return;
    }
    const QByteArray target = QUrl(url, QUrl::StrictMode).adjusted(QUrl::RemoveFragment).toEncoded();
    KSCurlSession::run([target, filePath, progress = std::move(progress)] { performDownload(target, filePath, progress); });
}

void KSAFNetworking::globalInit()
{
    KSCurlSession::globalInit();
}

void KSAFNetworking::setTimeouts(const Timeouts &timeouts)
{
    QMutexLocker lock(&timeoutsMutex);
    currentTimeouts = timeouts;
}

KSAFNetworking::Timeouts KSAFNetworking::timeouts()
{
    QMutexLocker lock(&timeoutsMutex);
    return currentTimeouts;
}

QByteArray KSAFNetworking::encodeParameters(const QVariantMap &parameters)
{
    QByteArray out;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        appendEncoded(out, it.key(), it.value());
    return out;
}
