#include "KSTaskSignal.h"

void KSTaskSignal::notify()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
    }
    m_changed.notify_all();
}

bool KSTaskSignal::waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_mutex);
    for (;;) {
        const unsigned long seen = m_generation;
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished || m_shutdown)
            return finished;
        if (!m_changed.wait_until(lock, deadline, [&] { return m_generation != seen || m_shutdown; })) {
            lock.unlock();
            return done();
        }
    }
}

void KSTaskSignal::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_shutdown = true;
    }
    m_changed.notify_all();
}

void KSTaskSignal::reset()
{
    std::lock_guard lock(m_mutex);
    m_shutdown = false;
}
