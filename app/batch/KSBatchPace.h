#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>

// The time left of a batch, from the recent jobs: how far apart the last
// jobs ended (which counts jobs running side by side), or while only one
// has ended, its length over the jobs at once.
class KSBatchPace
{
public:
    // How many recent endings count.
    static constexpr int kRecent = 8;

    // A job that took `durationMs` ended at `endMs` (a steady clock's milliseconds).
    void jobEnded(qint64 endMs, qint64 durationMs);
    void clear();

    // For `remaining` jobs with `concurrent` at once; none before any job ended.
    [[nodiscard]] std::optional<qint64> msLeft(int remaining, int concurrent) const;

private:
    QList<qint64> m_ends;
    QList<qint64> m_durations;
};
