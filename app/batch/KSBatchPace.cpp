#include "KSBatchPace.h"

#include <algorithm>
#include <numeric>

void KSBatchPace::jobEnded(qint64 endMs, qint64 durationMs)
{
    m_ends.append(endMs);
    m_durations.append(std::max<qint64>(durationMs, 0));
    if (m_ends.size() > kRecent) {
        m_ends.removeFirst();
        m_durations.removeFirst();
    }
}

void KSBatchPace::clear()
{
    m_ends.clear();
    m_durations.clear();
}

std::optional<qint64> KSBatchPace::msLeft(int remaining, int concurrent) const
{
    if (remaining <= 0)
        return 0;
    if (m_ends.isEmpty())
        return std::nullopt;
    double perJob = 0;
    if (m_ends.size() >= 2) {
        // Jobs side by side end closer together than each one lasts.
        perJob = double(m_ends.last() - m_ends.first()) / double(m_ends.size() - 1);
    }
    if (perJob <= 0) {
        const double mean = std::accumulate(m_durations.cbegin(), m_durations.cend(), 0.0) / m_durations.size();
        perJob = mean / std::max(concurrent, 1);
    }
    return qint64(perJob * remaining + 0.5);
}
