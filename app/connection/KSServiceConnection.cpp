#include "KSServiceConnection.h"

#include "CommLog.h"
#include "CommPassport.h"
#include "KSAFNetworking.h"
#include "KSDataFolder.h"
#include "KSLocalService.h"
#include "KSProtocolPaths.h"
#include "KSReplyEnvelope.h"
#include "KSServiceAddress.h"
#include "KSServiceLog.h"
#include "KSStringExtension.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QUrl>

#include <future>
#include <mutex>

namespace {
// The nickname of the local account: the desktop user's login name.
QString localNickName()
{
    for (const char *variable : {"USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QDir::home().dirName();
}

std::mutex patienceMutex;
KSServiceConnection::Patience patience;
} // namespace

KSServiceConnection *KSServiceConnection::defaultConnection()
{
    // Parented to the application so that it goes (and stops the service)
    // before the application does.
    static QPointer<KSServiceConnection> connection;
    if (!connection)
        connection = new KSServiceConnection(QCoreApplication::instance());
    return connection;
}

KSServiceConnection::KSServiceConnection(QObject *parent)
    : QObject(parent)
{
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &KSServiceConnection::stop);
}

KSServiceConnection::~KSServiceConnection()
{
    stop();
}

QString KSServiceConnection::configuredServiceUrl()
{
    return KSServiceAddress::configuredServiceURL();
}

void KSServiceConnection::setState(State state)
{
    m_state = state;
    emit stateChanged();
}

void KSServiceConnection::start()
{
    if (m_state != State::Idle)
        return;
    const QString configured = configuredServiceUrl();
    if (!configured.isEmpty()) {
        m_mode = Mode::Remote;
        m_baseUrl = KSServiceAddress::serviceURL();
        CommLog::I(QStringLiteral("cut-out service: ") + m_baseUrl);
        setState(State::Ready);
        return;
    }
    m_mode = Mode::Local;
    KSServiceLog::setSink([](bool isError, const QString &line) {
        if (isError)
            CommLog::E(line);
        else
            CommLog::I(line);
    });
    m_service = std::make_unique<KSLocalService>();
    setState(State::Starting);
    // The service opens its store and engine before it answers: that is
    // done on a thread of its own, and the result brought back here.
    m_startThread = std::thread([this, self = QPointer<KSServiceConnection>(this)] { runLocal(self); });
}

void KSServiceConnection::setPatience(const Patience &value)
{
    std::lock_guard lock(patienceMutex);
    patience = value;
}

KSServiceConnection::Patience KSServiceConnection::currentPatience()
{
    std::lock_guard lock(patienceMutex);
    return patience;
}

bool KSServiceConnection::pause(int ms)
{
    std::unique_lock lock(m_pauseMutex);
    return !m_pauseWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

KSServiceConnection::Answer KSServiceConnection::ask(const QString &address, const QString &token)
{
    // The authentication call is the service's own check of a token.
    auto answer = std::make_shared<std::promise<Answer>>();
    std::future<Answer> answered = answer->get_future();
    const QVariantMap headers{{QStringLiteral("Authorization"), QStringLiteral("Bearer ") + token}};
    KSAFNetworking::GETtWithUrl(address + QLatin1String(KSProtocolPaths::authentications), {}, headers,
                                [answer](const std::optional<KSNetError> &error, const QVariant &reply) {
                                    if (error && error->domain == KSNetError::transportDomain()) {
                                        answer->set_value(Answer::Silent);
                                        return;
                                    }
                                    const auto map = error ? std::nullopt : KSAFNetworking::responseToDictionary(reply);
                                    answer->set_value(map && KSReplyEnvelope::isSuccessStatus(map->value(QStringLiteral("status")))
                                                          ? Answer::Takes
                                                          : Answer::Refuses);
                                });
    // A service stopped in its tracks takes the connection and never
    // answers: it is given a while, in steps that a stop cuts short.
    const Patience now = currentPatience();
    QElapsedTimer asked;
    asked.start();
    while (answered.wait_for(now.checkInterval) != std::future_status::ready) {
        if (asked.elapsed() >= now.answerWithin.count() || !pause(0))
            return Answer::Silent;
    }
    return answered.get();
}

void KSServiceConnection::runLocal(const QPointer<KSServiceConnection> &self)
{
    const auto report = [self](bool ok, const QString &baseUrl, const QString &token, const QString &error) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, ok, baseUrl, token, error] {
            if (self)
                self->finishLocalStart(ok, baseUrl, token, error);
        }, Qt::QueuedConnection);
    };
    const auto waiting = [self] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self] {
            if (self)
                emit self->waitingForAnotherService();
        }, Qt::QueuedConnection);
    };
    KSLocalService::Options options;
    const QString folder = KSDataFolder::resolve(KSLocalService::defaultDataDir());
    QString usedAddress; // the other program's service this one uses
    // The other program's service last asked, its answer and since when it
    // has given that answer.
    QString askedAddress;
    Answer lastAnswer = Answer::Takes;
    QElapsedTimer lastAsked;
    QElapsedTimer silentSince;
    for (;;) {
        const Patience now = currentPatience();
        // While another program holds the folder, a start would only fail.
        if (!KSDataFolder::isInUse(folder)) {
            if (m_service->start(options)) {
                report(true, m_service->baseUrl(), m_service->localToken(), QString());
                return;
            }
            const KSLocalService::Failure failure = m_service->failure();
            if (failure == KSLocalService::Failure::CannotListen && options.port != 0) {
                options.port = 0; // the port taken over is gone: any other will do
                continue;
            }
            if (failure != KSLocalService::Failure::DataFolderInUse) {
                report(false, QString(), QString(), m_service->errorString());
                return;
            }
        }
        // The address is read anew each time: the program that took the
        // folder over may answer elsewhere. A service that refused or did
        // not answer is asked again now and then, since it may come back
        // or another may take its place on the same port.
        const QString address = KSDataFolder::runningServiceAddress(folder);
        const bool due = address != askedAddress || !lastAsked.isValid() || lastAsked.elapsed() >= now.askAgainAfter.count();
        if (!address.isEmpty() && address != usedAddress && due) {
            const QString token = KSDataFolder::storedLocalToken(folder);
            const Answer answer = token.isEmpty() ? Answer::Refuses : ask(address, token);
            const bool news = address != askedAddress || answer != lastAnswer;
            askedAddress = address;
            lastAnswer = answer;
            lastAsked.start();
            if (answer != Answer::Silent)
                silentSince.invalidate();
            if (answer == Answer::Takes) {
                usedAddress = address;
                // Taking over on the same port keeps that address valid.
                options.port = quint16(std::max(0, QUrl(address).port(0)));
                CommLog::I(QStringLiteral("using the cut-out service of another program at ") + address);
                report(true, address, token, QString());
            } else if (answer == Answer::Refuses && news) {
                CommLog::I(QStringLiteral("waiting for the cut-out service of another program at %1 to end: it does "
                                          "not take this data folder's token")
                               .arg(address));
                waiting();
            } else if (answer == Answer::Silent) {
                if (!silentSince.isValid() || news) {
                    silentSince.start();
                    CommLog::I(QStringLiteral("the cut-out service of another program at %1 does not answer: waiting "
                                              "up to %2 s for it")
                                   .arg(address)
                                   .arg(double(now.giveUpAfter.count()) / 1000.0));
                    waiting();
                } else if (usedAddress.isEmpty() && silentSince.elapsed() >= now.giveUpAfter.count()) {
                    report(false, QString(), QString(),
                           QStringLiteral("the cut-out service of another program at %1, which holds the data "
                                          "folder, does not answer")
                               .arg(address));
                    return;
                }
            }
        }
        if (!pause(int(now.checkInterval.count())))
            return;
    }
}

void KSServiceConnection::finishLocalStart(bool ok, const QString &baseUrl, const QString &token,
                                           const QString &error)
{
    // The service this program took over from another answers here now.
    if (ok && m_state == State::Ready) {
        m_baseUrl = baseUrl;
        KSServiceAddress::setDefaultServiceURL(baseUrl);
        CommLog::I(QStringLiteral("built-in cut-out service taken over at ") + baseUrl);
        emit stateChanged();
        return;
    }
    if (!ok) {
        m_error = error;
        CommLog::E(QStringLiteral("the built-in cut-out service did not start: ") + error);
        setState(State::Failed);
        return;
    }
    m_baseUrl = baseUrl;
    m_localToken = token;
    KSServiceAddress::setDefaultServiceURL(baseUrl);
    CommLog::I(QStringLiteral("built-in cut-out service at ") + baseUrl);
    setState(State::Ready);
    if (CommPassport::apiToken() != token)
        signInLocalAccount();
}

void KSServiceConnection::stop()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_stopping = true;
    }
    m_pauseWake.notify_all();
    if (m_startThread.joinable())
        m_startThread.join();
    if (m_service)
        m_service->stop();
}

bool KSServiceConnection::signInLocalAccount()
{
    if (m_mode != Mode::Local || m_state != State::Ready)
        return false;
    return CommPassport::signIn(m_localToken, localNickName(), QString());
}

QString KSServiceConnection::checkSignInFields(const QString &email, const QString &token)
{
    if (!isValidateEmail(email.trimmed()))
        return QStringLiteral("InvalidEmail");
    if (token.trimmed().isEmpty())
        return QStringLiteral("EmptyToken");
    return {};
}

void KSServiceConnection::signInRemote(const QString &email, const QString &token, SignInCompletion completion)
{
    const QString problem = checkSignInFields(email, token);
    if (!problem.isEmpty() || m_mode != Mode::Remote) {
        completion(problem.isEmpty() ? QStringLiteral("SignInFailed") : problem);
        return;
    }
    const QString address = email.trimmed();
    const QString secret = token.trimmed();
    const QVariantMap headers{{QStringLiteral("Authorization"), QStringLiteral("Bearer ") + secret}};
    // The authentication call is the service's own check of a token: it
    // answers status "1" only for an account it knows.
    QString base = m_baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    KSAFNetworking::GETtWithUrl(base + QLatin1String(KSProtocolPaths::authentications), {}, headers,
                                [address, secret, completion](const std::optional<KSNetError> &error,
                                                              const QVariant &reply) {
        bool accepted = false;
        if (error) {
            CommLog::E(QStringLiteral("sign-in failed: ") + error->localizedDescription);
        } else if (const auto map = KSAFNetworking::responseToDictionary(reply)) {
            accepted = KSReplyEnvelope::isSuccessStatus(map->value(QStringLiteral("status")));
        }
        QMetaObject::invokeMethod(QCoreApplication::instance(), [address, secret, accepted, completion] {
            const bool signedIn = accepted && CommPassport::signIn(secret, address, QString());
            completion(signedIn ? QString() : QStringLiteral("SignInFailed"));
        }, Qt::QueuedConnection);
    });
}

void KSServiceConnection::signOut()
{
    // The built-in service forgets what the account left there: its photos'
    // uploads and masks are nobody's business once it has signed out.
    if (m_mode == Mode::Local && m_service && m_service->isRunning())
        m_service->dropAccountData();
    CommPassport::signOut();
}
