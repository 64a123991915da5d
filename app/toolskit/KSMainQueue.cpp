#include "KSMainQueue.h"

#include "CommLog.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

void KSMainQueue::async(std::function<void()> work)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        // Nothing to queue on while the application is gone (at exit).
        CommLog::E(QStringLiteral("main queue: no application object, work dropped"));
        return;
    }
    QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

void KSMainQueue::after(double seconds, std::function<void()> work)
{
    if (seconds <= 0) {
        async(std::move(work));
        return;
    }
    // The timer is started on the main thread: threads of a pool have no
    // event loop to run one.
    async([milliseconds = int(seconds * 1000.0 + 0.5), work = std::move(work)]() mutable {
        QTimer::singleShot(milliseconds, Qt::PreciseTimer, QCoreApplication::instance(), std::move(work));
    });
}

bool KSMainQueue::isMainThread()
{
    QCoreApplication *application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}
