#pragma once

#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

// How far each running task has come, for the poll's data.progress (0..1).
// The runner marks where a task is; while the engine runs, the share moves
// with the time the engine took for recent tasks, so a poll sees it grow
// although the engine itself tells nothing. A task's progress never falls
// below what a poll was told, whatever other tasks teach about the engine's
// time. Kept in memory only: after a restart a task reports 0 until a
// runner takes it again. Any thread.
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
    // The runner has recorded the task's end. A poll that read the task as
    // running just before still hears where it stood, for a while.
    void ended(const QString &taskId, qint64 nowMs);

    // Where the task stands, never less than it told before; none for a
    // task no runner has held.
    [[nodiscard]] std::optional<double> progress(const QString &taskId, qint64 nowMs);

    // The engine's share for a stage running `elapsedMs` of an expected
    // `expectedMs`: from kDecoded towards kEngineDone, never reaching it
    // while the engine runs, however long it takes.
    [[nodiscard]] static double engineShare(qint64 elapsedMs, qint64 expectedMs);

private:
    // How long an ended task's progress stays for a poll that raced its end.
    static constexpr qint64 kEndedKeptMs = 60'000;

    struct Entry
    {
        double reached = 0.0;
        qint64 engineStartMs = -1;   // while the engine runs
        qint64 expectedEngineMs = 0; // what its engine is expected to take, fixed at its start
        double told = 0.0;           // the most a poll has been told
        qint64 endedMs = -1;         // once the runner let go of it
    };

    // Under the lock: drops the entries of tasks that ended long ago.
    void forgetEnded(qint64 nowMs);

    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
    qint64 m_expectedEngineMs = kFirstEngineGuessMs;
};
