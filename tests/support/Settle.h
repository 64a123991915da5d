#pragma once

#include <QCoreApplication>
#include <QEvent>

// Lets queued work and deferred deletions run, a few rounds deep, so that a
// screen that replaces itself has done so before the test looks.
inline void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
