#include "KSTaskProgress.h"

#include <algorithm>
#include <cmath>

void KSTaskProgress::claimed(const QString &taskId, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    forgetEnded(nowMs);
    m_entries.insert(taskId, Entry{});
}

void KSTaskProgress::engineStarted(const QString &taskId, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    Entry &entry = m_entries[taskId];
    entry.reached = kDecoded;
    entry.engineStartMs = nowMs;
    // Fixed for this run: a slower engine run of another task finishing
    // meanwhile must not pull this task's share back.
    entry.expectedEngineMs = m_expectedEngineMs;
}

void KSTaskProgress::engineFinished(const QString &taskId, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(taskId);
    if (found == m_entries.end())
        return;
    if (found->engineStartMs >= 0) {
        // Recent tasks weigh most: the model loads once, photos differ.
        const qint64 took = std::max<qint64>(1, nowMs - found->engineStartMs);
        m_expectedEngineMs = (m_expectedEngineMs + took) / 2;
    }
    found->reached = kEngineDone;
    found->engineStartMs = -1;
}

void KSTaskProgress::ended(const QString &taskId, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(taskId);
    if (found == m_entries.end())
        return;
    found->engineStartMs = -1;
    found->endedMs = nowMs;
}

void KSTaskProgress::forgetEnded(qint64 nowMs)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->endedMs >= 0 && nowMs - it->endedMs > kEndedKeptMs)
            it = m_entries.erase(it);
        else
            ++it;
    }
}

std::optional<double> KSTaskProgress::progress(const QString &taskId, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(taskId);
    if (found == m_entries.end())
        return std::nullopt;
    const double now = found->engineStartMs < 0 ? found->reached
                                                : engineShare(nowMs - found->engineStartMs, found->expectedEngineMs);
    // The service's clock may step back; the bar a user watches must not.
    found->told = std::max(found->told, now);
    return found->told;
}

double KSTaskProgress::engineShare(qint64 elapsedMs, qint64 expectedMs)
{
    const double span = kEngineDone - kDecoded;
    const double t = double(std::max<qint64>(0, elapsedMs)) / double(std::max<qint64>(1, expectedMs));
    // Linear up to 80 % of the span at the expected time, then slowing
    // down: an engine slower than expected still moves the bar.
    const double linearShare = 0.8;
    const double share = t <= 1.0 ? linearShare * t : linearShare + (1.0 - linearShare) * (1.0 - std::exp(-(t - 1.0)));
    return kDecoded + span * std::min(share, 0.999);
}
