#include "KSTaskWorkerPool.h"

KSTaskWorkerPool::~KSTaskWorkerPool()
{
    stop();
}

void KSTaskWorkerPool::start(int workers, JobFactory factory, ClaimNext claimNext, std::chrono::milliseconds pollInterval)
{
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
        m_wakes = 0;
        m_claimNext = std::move(claimNext);
        m_pollInterval = pollInterval;
        m_workers = workers;
    }
    for (int i = 0; i < workers; ++i)
        m_threads.emplace_back([this, job = factory()] { work(job); });
}

void KSTaskWorkerPool::wake()
{
    {
        std::lock_guard lock(m_mutex);
        // A wake that comes while a thread is between looking and waiting
        // is kept for it, so that no added task waits for the next poll.
        if (m_wakes < m_workers)
            ++m_wakes;
    }
    m_wake.notify_one();
}

void KSTaskWorkerPool::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
    m_threads.clear();
}

void KSTaskWorkerPool::work(Job job)
{
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
        }
        if (const std::optional<Claim> claim = m_claimNext()) {
            job(*claim);
            continue;
        }
        std::unique_lock lock(m_mutex);
        const auto woken = [this] { return m_stopping || m_wakes > 0; };
        if (m_pollInterval.count() > 0)
            m_wake.wait_for(lock, m_pollInterval, woken);
        else
            m_wake.wait(lock, woken);
        if (m_wakes > 0)
            --m_wakes;
    }
}
