#include "KSServiceConnection.h"

#include "CommLog.h"
#include "CommPassport.h"
#include "KSAFNetworking.h"
#include "KSLocalService.h"
#include "KSProtocolPaths.h"
#include "KSReplyEnvelope.h"
#include "KSServiceAddress.h"
#include "KSServiceLog.h"
#include "KSStringExtension.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

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
    KSLocalService *service = m_service.get();
    QPointer<KSServiceConnection> self(this);
    m_startThread = std::thread([service, self] {
        const bool ok = service->start(KSLocalService::Options());
        const QString baseUrl = ok ? service->baseUrl() : QString();
        const QString token = ok ? service->localToken() : QString();
        const QString error = ok ? QString() : service->errorString();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, ok, baseUrl, token, error] {
            if (self)
                self->finishLocalStart(ok, baseUrl, token, error);
        }, Qt::QueuedConnection);
    });
}

void KSServiceConnection::finishLocalStart(bool ok, const QString &baseUrl, const QString &token,
                                           const QString &error)
{
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
    CommPassport::signOut();
}
