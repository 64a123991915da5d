#pragma once

#include "KSServiceStore.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Threads that take tasks from the store, oldest first, and run them. Each
// thread gets its own job from the factory (so each has its own engine). An
// idle thread looks again when woken (a task was added here, or another
// service said so) or, where other services add tasks unseen, after the
// poll interval.
class KSTaskWorkerPool
{
public:
    using Claim = KSServiceStore::Claim;
    using Job = std::function<void(const Claim &claim)>;
    using JobFactory = std::function<Job()>;
    using ClaimNext = std::function<std::optional<Claim>()>;

    KSTaskWorkerPool() = default;
    ~KSTaskWorkerPool();
    KSTaskWorkerPool(const KSTaskWorkerPool &) = delete;
    KSTaskWorkerPool &operator=(const KSTaskWorkerPool &) = delete;

    // With zero workers, tasks are never claimed (they wait in the store
    // for the next start, or for another service). A zero poll interval:
    // idle threads look only when woken.
    void start(int workers, JobFactory factory, ClaimNext claimNext,
               std::chrono::milliseconds pollInterval = std::chrono::milliseconds(0));
    // A task may be waiting: an idle thread looks.
    void wake();
    // Lets running tasks finish; waiting ones stay in the store.
    void stop();

private:
    void work(Job job);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::thread> m_threads;
    ClaimNext m_claimNext;
    std::chrono::milliseconds m_pollInterval{0};
    int m_workers = 0;
    int m_wakes = 0; // wakes not yet taken by a thread, at most one per thread
    bool m_stopping = false;
};
