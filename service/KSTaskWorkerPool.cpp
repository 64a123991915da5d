#include "KSTaskWorkerPool.h"

KSTaskWorkerPool::~KSTaskWorkerPool()
{
    stop();
}

void KSTaskWorkerPool::start(int workers, JobFactory factory)
{
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    for (int i = 0; i < workers; ++i)
        m_threads.emplace_back([this, job = factory()] { work(job); });
}

void KSTaskWorkerPool::enqueue(const QString &taskId)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(taskId);
    }
    m_wake.notify_one();
}

void KSTaskWorkerPool::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
    m_threads.clear();
}

void KSTaskWorkerPool::work(Job job)
{
    for (;;) {
        QString taskId;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            taskId = m_queue.front();
            m_queue.pop_front();
        }
        job(taskId);
    }
}
