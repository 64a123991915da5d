#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// Wakes the polls that wait for a task to end. A poll that would only
// report "still running" is held a little, so that a task finishing within
// that time is reported at once rather than one poll interval later.
class KSTaskSignal
{
public:
    // A task ended: every waiter checks its own task again.
    void notify();
    // Waits until done() holds, the timeout passes or shutdown() is called;
    // returns done()'s last answer.
    bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout);
    // Releases every waiter and makes later waits return at once.
    void shutdown();
    void reset();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    unsigned long m_generation = 0;
    bool m_shutdown = false;
};
