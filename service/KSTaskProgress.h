#pragma once

#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

// How far each running task has come, for the poll's data.progress (0..1).
// The runner marks where a task is; while the engine runs, the share moves
// with the time the engine took for recent tasks, so a poll sees it grow
// although the engine itself tells nothing. Kept in memory only: after a
// restart a task reports 0 until a runner takes it again. Any thread.
class KSTaskProgress
{
public:
    // Progress when the picture is read and the engine begins, and when the
    // engine has its mask and only the mask's file remains.
    static constexpr double kDecoded = 0.10;
    static constexpr double kEngineDone = 0.90;
    // What the engine is expected to take before any task has been timed.
    static constexpr qint64 kFirstEngineGuessMs = 2000;

    void claimed(const QString &taskId, qint64 nowMs);
    void engineStarted(const QString &taskId, qint64 nowMs);
    // The engine's time counts for the tasks after this one.
    void engineFinished(const QString &taskId, qint64 nowMs);
    void ended(const QString &taskId);

    // Where the task stands; none for a task no runner holds.
    [[nodiscard]] std::optional<double> progress(const QString &taskId, qint64 nowMs) const;

    // The engine's share for a stage running `elapsedMs` of an expected
    // `expectedMs`: from kDecoded towards kEngineDone, never reaching it
    // while the engine runs, however long it takes.
    [[nodiscard]] static double engineShare(qint64 elapsedMs, qint64 expectedMs);

private:
    struct Entry
    {
        double reached = 0.0;
        qint64 engineStartMs = -1; // while the engine runs
    };

    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
    qint64 m_expectedEngineMs = kFirstEngineGuessMs;
};
