#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <utility>

// Work on a worker thread, its result back on the thread of `context`, and
// nothing at all once `context` is gone. The watcher is connected before the
// work starts: a continuation attached to a future that may already be
// finishing can be lost on this Qt version.
namespace KSAsync {

template <typename Work, typename Done>
void run(QObject *context, Work &&work, Done &&done)
{
    using Result = std::invoke_result_t<std::decay_t<Work>>;
    auto *watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, done = std::forward<Done>(done)]() mutable {
                         done(watcher->result());
                         watcher->deleteLater();
                     });
    watcher->setFuture(QtConcurrent::run(std::forward<Work>(work)));
}

} // namespace KSAsync
