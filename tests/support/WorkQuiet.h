#pragma once

#include "KSCurlSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThreadPool>

#include <algorithm>

// Waits until the network threads and the global thread pool have nothing
// left to run and what they posted to this thread is delivered: whatever the
// code under test was going to report has been reported. A test checks that
// nothing more came after this, rather than after a guessed pause. False when
// work was still running after msecs. Tests that use it link cutora_outside.
[[nodiscard]] inline bool waitUntilQuiet(int msecs = 10000)
{
    const QDeadlineTimer deadline(msecs);
    for (;;) {
        const int left = int(std::max<qint64>(deadline.remainingTime(), 0));
        const bool idle = KSCurlSession::waitForIdle(left) && QThreadPool::globalInstance()->waitForDone(left);
        QCoreApplication::sendPostedEvents();
        // What was delivered may have started more work.
        if (idle && KSCurlSession::waitForIdle(0) && QThreadPool::globalInstance()->waitForDone(0))
            return true;
        if (deadline.hasExpired())
            return false;
    }
}
