#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QThread>

// Records calls of a closure that may run on any thread: the value, the
// thread it ran on and when. Tests wait on count() with QTRY_*.
template <typename T>
class CallLog
{
public:
    struct Entry
    {
        T value;
        QThread *thread = nullptr;
        qint64 atMs = 0;
    };

    CallLog() { m_clock.start(); }

    void add(T value)
    {
        QMutexLocker lock(&m_mutex);
        m_entries.append({std::move(value), QThread::currentThread(), m_clock.elapsed()});
    }

    [[nodiscard]] int count() const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_entries.size());
    }

    [[nodiscard]] QList<Entry> entries() const
    {
        QMutexLocker lock(&m_mutex);
        return m_entries;
    }

    [[nodiscard]] T last() const
    {
        QMutexLocker lock(&m_mutex);
        return m_entries.isEmpty() ? T() : m_entries.last().value;
    }

    // True when every call ran on the given thread.
    [[nodiscard]] bool allOn(QThread *thread) const
    {
        QMutexLocker lock(&m_mutex);
        return std::all_of(m_entries.cbegin(), m_entries.cend(), [thread](const Entry &e) { return e.thread == thread; });
    }

private:
    mutable QMutex m_mutex;
    QElapsedTimer m_clock;
    QList<Entry> m_entries;
};
