#include "KSTaskProgress.h"

#include <algorithm>
#include <cmath>

void KSTaskProgress::claimed(const QString &taskId, qint64)
{
    std::lock_guard lock(m_mutex);
    m_entries.insert(taskId, Entry{});
}

void KSTaskProgress::engineStarted(const QString &taskId, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    Entry &entry = m_entries[taskId];
    entry.reached = kDecoded;
    entry.engineStartMs = nowMs;
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

void KSTaskProgress::ended(const QString &taskId)
{
    std::lock_guard lock(m_mutex);
    m_entries.remove(taskId);
}

std::optional<double> KSTaskProgress::progress(const QString &taskId, qint64 nowMs) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.constFind(taskId);
    if (found == m_entries.cend())
        return std::nullopt;
    if (found->engineStartMs < 0)
        return found->reached;
    return engineShare(nowMs - found->engineStartMs, m_expectedEngineMs);
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
