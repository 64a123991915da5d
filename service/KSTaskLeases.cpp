#include "KSTaskLeases.h"

#include "KSServiceLog.h"

KSTaskLeases::~KSTaskLeases()
{
    stop();
}

void KSTaskLeases::start(Renew renew, std::chrono::milliseconds interval)
{
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    m_thread = std::thread([this, renew = std::move(renew), interval] {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, interval, [this] { return m_stopping; })) {
            const QStringList held = m_held;
            if (held.isEmpty())
                continue;
            lock.unlock();
            // A failed renewal is tried again next time; the lease is
            // several intervals long, so one failure costs no claim.
            if (!renew(held))
                KSServiceLog::E(QStringLiteral("cannot renew the leases of %1 running task(s)").arg(held.size()));
            lock.lock();
        }
    });
}

void KSTaskLeases::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void KSTaskLeases::hold(const QString &token)
{
    std::lock_guard lock(m_mutex);
    m_held.append(token);
}

void KSTaskLeases::release(const QString &token)
{
    std::lock_guard lock(m_mutex);
    m_held.removeOne(token);
}
