#pragma once

// The process's own memory figures, from /proc/self/status.

#include <QByteArray>
#include <QFile>

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"), or -1.
inline qint64 procStatusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak (VmHWM) back to the resident size (Linux's clear_refs), so
// that a later peak is that of the work after it.
inline bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}
