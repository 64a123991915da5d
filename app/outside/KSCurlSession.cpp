#include "KSCurlSession.h"

#include "CommLog.h"

#include <QThreadPool>
#include <QUrl>

#include <arpa/inet.h>
#include <atomic>
#include <curl/curl.h>

#include <cstring>
#include <exception>
#include <mutex>

namespace {

std::atomic<bool> shuttingDown{false};

// Enough threads that a slow download never holds up a poll; they expire
// when idle. At exit the running transfers are aborted and waited for, so
// that no network thread outlives the objects it reports to.
class NetworkPool
{
public:
    NetworkPool()
    {
        m_pool.setMaxThreadCount(8);
        m_pool.setExpiryTimeout(30000);
        m_pool.setObjectName(QStringLiteral("KSNetwork"));
    }
    ~NetworkPool()
    {
        shuttingDown = true;
        m_pool.waitForDone(5000);
    }
    QThreadPool m_pool;
};

QThreadPool *networkPool()
{
    static NetworkPool pool;
    return &pool.m_pool;
}

// Transfers without a progress report of their own still hear of the exit.
int abortAtExit(void *, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return KSCurlSession::isShuttingDown() ? 1 : 0;
}

} // namespace

void KSCurlSession::HandleDeleter::operator()(CURL *handle) const { curl_easy_cleanup(handle); }
void KSCurlSession::ListDeleter::operator()(curl_slist *list) const { curl_slist_free_all(list); }

void KSCurlSession::globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (code != CURLE_OK)
            CommLog::E(QStringLiteral("curl_global_init failed: %1").arg(QString::fromUtf8(curl_easy_strerror(code))));
    });
}

bool KSCurlSession::isShuttingDown()
{
    return shuttingDown.load();
}

void KSCurlSession::run(std::function<void()> job)
{
    globalInit();
    networkPool()->start([job = std::move(job)] {
        try {
            job();
        } catch (const std::exception &e) {
            CommLog::E(QStringLiteral("network job failed: %1").arg(QString::fromUtf8(e.what())));
        } catch (...) {
            CommLog::E(QStringLiteral("network job failed"));
        }
    });
}

bool KSCurlSession::waitForIdle(int msecs)
{
    return networkPool()->waitForDone(msecs);
}

KSCurlSession::Handle KSCurlSession::newHandle(const QByteArray &url, const Timeouts &timeouts)
{
    globalInit();
    Handle handle(curl_easy_init());
    if (!handle)
        return handle;
    CURL *h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    // Signals and threads do not mix: resolve and time out without SIGALRM.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(timeouts.connectMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(timeouts.totalMs));
    if (timeouts.idleSeconds > 0) {
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, long(timeouts.idleSeconds));
    }
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Cutora/" CUTORA_VERSION_STRING);
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, abortAtExit);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    // A proxy from the environment cannot reach a service on this machine.
    if (isLoopbackHost(QUrl(QString::fromUtf8(url)).host()))
        curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
    return handle;
}

std::optional<KSCurlSession::HeaderList> KSCurlSession::headerList(const Headers &headers)
{
    HeaderList list;
    for (const auto &[name, value] : headers) {
        const auto unsafe = [](const QByteArray &text) {
            return text.contains('\r') || text.contains('\n') || text.contains('\0');
        };
        if (name.isEmpty() || unsafe(name) || unsafe(value) || name.contains(':') || name.contains(' '))
            return std::nullopt;
        // "Name:" with nothing after it removes a header curl would add;
        // "Name;" sends it empty.
        const QByteArray line = value.isEmpty() ? name + ':' : name + ": " + value;
        curl_slist *grown = curl_slist_append(list.get(), line.constData());
        if (!grown)
            return std::nullopt;
        list.release();
        list.reset(grown);
    }
    return list;
}

KSCurlSession::Outcome KSCurlSession::perform(Handle handle)
{
    if (!handle)
        return {CURLE_FAILED_INIT, 0, QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT))};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle.get(), CURLOPT_ERRORBUFFER, errorBuffer);
    Outcome outcome;
    outcome.code = curl_easy_perform(handle.get());
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &outcome.status);
    if (outcome.code != CURLE_OK)
        outcome.errorText = QString::fromUtf8(*errorBuffer ? errorBuffer : curl_easy_strerror(CURLcode(outcome.code)));
    return outcome;
}

KSNetError KSCurlSession::transportError(const Outcome &outcome)
{
    return {KSNetError::transportDomain(), outcome.code, outcome.errorText};
}

KSNetError KSCurlSession::httpError(long status)
{
    return {KSNetError::httpDomain(), int(status), QStringLiteral("HTTP status %1").arg(status)};
}

bool KSCurlSession::isWebUrl(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
           && !parsed.host().isEmpty();
}

bool KSCurlSession::isIpAddress(const QString &host)
{
    QString bare = host;
    if (bare.startsWith(QLatin1Char('[')) && bare.endsWith(QLatin1Char(']')))
        bare = bare.mid(1, bare.size() - 2);
    const QByteArray text = bare.toLatin1();
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.constData(), buffer) == 1 || inet_pton(AF_INET6, text.constData(), buffer) == 1;
}

bool KSCurlSession::isLoopbackHost(const QString &host)
{
    QString bare = host.toLower();
    if (bare.startsWith(QLatin1Char('[')) && bare.endsWith(QLatin1Char(']')))
        bare = bare.mid(1, bare.size() - 2);
    if (bare == QLatin1String("localhost"))
        return true;
    const QByteArray text = bare.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, text.constData(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}
