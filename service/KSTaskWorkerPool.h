#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Threads that take task ids from a queue, oldest first. Each thread gets its
// own job from the factory (so each has its own engine).
class KSTaskWorkerPool
{
public:
    using Job = std::function<void(const QString &taskId)>;
    using JobFactory = std::function<Job()>;

    KSTaskWorkerPool() = default;
    ~KSTaskWorkerPool();
    KSTaskWorkerPool(const KSTaskWorkerPool &) = delete;
    KSTaskWorkerPool &operator=(const KSTaskWorkerPool &) = delete;

    // With zero workers, tasks are queued and never run (they wait in the
    // database for the next start).
    void start(int workers, JobFactory factory);
    void enqueue(const QString &taskId);
    // Lets running tasks finish and leaves the queued ones where they are.
    void stop();

private:
    void work(Job job);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QString> m_queue;
    std::vector<std::thread> m_threads;
    bool m_stopping = false;
};
