#include "KSNotificationCenter.h"

#include <QThread>
#include <algorithm>

KSNotificationCenter::KSNotificationCenter(QObject *parent)
    : QObject(parent)
{
}

KSNotificationCenter *KSNotificationCenter::defaultCenter()
{
    // Never destroyed: observers and posts may outlive static destruction order.
    static KSNotificationCenter *center = new KSNotificationCenter;
    return center;
}

void KSNotificationCenter::observe(const QString &name, QObject *observer, Handler handler)
{
    if (!observer || !handler)
        return;
    QMutexLocker lock(&m_mutex);
    m_observations.append({m_nextId++, name, observer, std::move(handler)});
    if (m_watchedObservers.contains(observer))
        return;
    m_watchedObservers.insert(observer);
    // Direct: destroyed() is emitted on whatever thread deletes the observer,
    // and the entries must be gone before its memory is.
    connect(observer, &QObject::destroyed, this,
            [this, observer] { forgetObserver(observer); }, Qt::DirectConnection);
}

void KSNotificationCenter::forgetObserver(QObject *observer)
{
    QMutexLocker lock(&m_mutex);
    m_watchedObservers.remove(observer);
    m_observations.removeIf([observer](const Observation &o) {
        return o.observer.isNull() || o.observer.data() == observer;
    });
}

void KSNotificationCenter::removeObserver(QObject *observer)
{
    if (!observer)
        return;
    QMutexLocker lock(&m_mutex);
    m_observations.removeIf([observer](const Observation &o) { return o.observer.data() == observer; });
}

void KSNotificationCenter::removeObserver(QObject *observer, const QString &name)
{
    if (!observer)
        return;
    QMutexLocker lock(&m_mutex);
    m_observations.removeIf([observer, &name](const Observation &o) {
        return o.observer.data() == observer && o.name == name;
    });
}

bool KSNotificationCenter::isRegistered(quint64 id) const
{
    QMutexLocker lock(&m_mutex);
    return std::any_of(m_observations.cbegin(), m_observations.cend(),
                       [id](const Observation &o) { return o.id == id; });
}

void KSNotificationCenter::post(const QString &name, const QVariant &object)
{
    QList<Observation> local;
    {
        QMutexLocker lock(&m_mutex);
        QThread *const current = QThread::currentThread();
        for (const Observation &o : std::as_const(m_observations)) {
            QObject *observer = o.observer.data();
            if (o.name != name || !observer)
                continue;
            if (observer->thread() == current) {
                local.append(o);
                continue;
            }
            // Queued while the lock is held, so that the observer cannot finish
            // dying in between: its destroyed() handler needs this lock, and
            // its pending events are dropped after that handler has run.
            const quint64 id = o.id;
            const Handler handler = o.handler;
            QMetaObject::invokeMethod(
                observer,
                [this, id, handler, object] {
                    if (isRegistered(id))
                        handler(object);
                },
                Qt::QueuedConnection);
        }
    }
    // Same-thread handlers run without the lock, so they may post, observe
    // or remove; an earlier handler may have removed or deleted a later observer.
    for (const Observation &o : std::as_const(local)) {
        if (o.observer && isRegistered(o.id))
            o.handler(object);
    }
    emit posted(name, object);
}
