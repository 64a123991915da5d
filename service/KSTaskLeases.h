#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Keeps the leases of the claims this service's workers hold: renews them
// all at once, every interval, until they are released. A service that is
// killed renews nothing, so its tasks' leases run out and another service
// claims them again.
class KSTaskLeases
{
public:
    using Renew = std::function<bool(const QStringList &tokens)>;

    KSTaskLeases() = default;
    ~KSTaskLeases();
    KSTaskLeases(const KSTaskLeases &) = delete;
    KSTaskLeases &operator=(const KSTaskLeases &) = delete;

    void start(Renew renew, std::chrono::milliseconds interval);
    void stop();

    void hold(const QString &token);
    void release(const QString &token);

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    QStringList m_held;
    bool m_stopping = false;
};
