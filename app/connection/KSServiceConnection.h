#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class KSLocalService;

// Which cut-out service the application talks to, and the account on it.
// With an address configured (the setting or CUTORA_SERVICE_URL) that
// service is used and the user signs in with an e-mail and a token. Without
// one, the built-in local service is started in-process on 127.0.0.1 (off
// the GUI thread, since it opens its store and engine) and its local account
// is signed in as soon as it answers.
//
// One service owns the data folder at a time. When another program's
// service already runs on it, that one is used (its address and the local
// token lie in the folder) until it goes, and then this program's own
// service takes over on the same port, so that jobs under way carry on; a
// service there that does not take the local token is waited for instead,
// and one that does not answer is waited for up to a bound, then given up.
// While another program's service is used, the folder's address is read
// again, so that this program follows the service to whichever program
// took the folder over.
class KSServiceConnection : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Local, Remote };
    enum class State { Idle, Starting, Ready, Failed };
    // Completion of a sign-in: an empty error key on success, otherwise the
    // localization key of the reason.
    using SignInCompletion = std::function<void(const QString &errorKey)>;

    static KSServiceConnection *defaultConnection();
    ~KSServiceConnection() override;

    // Decides the mode and, for the built-in service, starts it. Only the
    // first call does anything.
    void start();
    // Stops the built-in service (waiting for a start still under way).
    void stop();

    Mode mode() const { return m_mode; }
    State state() const { return m_state; }
    QString baseUrl() const { return m_baseUrl; }
    QString errorString() const { return m_error; }

    // Built-in service: signs its local account in. False until it runs.
    bool signInLocalAccount();
    // Configured service: checks the e-mail, then the token with the
    // service's authentication call, and signs in with it. The completion
    // runs on the GUI thread, once.
    void signInRemote(const QString &email, const QString &token, SignInCompletion completion);
    void signOut();

    // Why an e-mail and token cannot be sent, as a localization key; empty
    // when they can.
    [[nodiscard]] static QString checkSignInFields(const QString &email, const QString &token);

    // The configured service address, or empty for the built-in service.
    [[nodiscard]] static QString configuredServiceUrl();

    // How the built-in service's start deals with another program's service.
    struct Patience
    {
        // How often the data folder is looked at while another program holds it.
        std::chrono::milliseconds checkInterval{100};
        // How long that program's service has to answer one question.
        std::chrono::milliseconds answerWithin{5000};
        // How soon a service that refused or did not answer is asked again.
        std::chrono::milliseconds askAgainAfter{500};
        // How long a service that does not answer is waited for before the
        // start fails.
        std::chrono::milliseconds giveUpAfter{30000};
    };
    static void setPatience(const Patience &patience);
    [[nodiscard]] static Patience currentPatience();

signals:
    void stateChanged();
    // Another program's service holds the data folder and cannot be used:
    // the start waits for it to end.
    void waitingForAnotherService();

private:
    explicit KSServiceConnection(QObject *parent = nullptr);
    // The start thread: own the data folder, or use its owner and take over
    // when it ends.
    void runLocal(const QPointer<KSServiceConnection> &self);
    // Waits up to ms or until stop(); false once stopping.
    bool pause(int ms);
    enum class Answer { Takes, Refuses, Silent };
    // How the service at address answers the token; Silent when it cannot
    // be reached or says nothing within the patience.
    Answer ask(const QString &address, const QString &token);
    void finishLocalStart(bool ok, const QString &baseUrl, const QString &token, const QString &error);
    void setState(State state);

    Mode m_mode = Mode::Local;
    State m_state = State::Idle;
    QString m_baseUrl;
    QString m_localToken;
    QString m_error;
    std::unique_ptr<KSLocalService> m_service;
    std::thread m_startThread;
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseWake;
    bool m_stopping = false;
};
