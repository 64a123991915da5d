#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>

// The application's notification centre: named broadcasts (account changed,
// show the settings panel) between parts that do not know each other.
//
// post() may be called from any thread. Each handler runs on the thread of
// its observer: at once when that is the posting thread, otherwise queued to
// the observer's event loop. An observation ends when its observer is
// destroyed or removed, including deliveries still queued at that moment.
class KSNotificationCenter : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const QVariant &object)>;

    static KSNotificationCenter *defaultCenter();

    void post(const QString &name, const QVariant &object = {});

    // The observer is the lifetime and thread context of the handler; a
    // null observer is refused. One observer may observe several names.
    void observe(const QString &name, QObject *observer, Handler handler);

    void removeObserver(QObject *observer);
    // Ends only the observations of one name.
    void removeObserver(QObject *observer, const QString &name);

signals:
    // Emitted for every post, on the posting thread; connect with a context
    // object to receive it on another thread.
    void posted(const QString &name, const QVariant &object);

private:
    struct Observation
    {
        quint64 id = 0;
        QString name;
        QPointer<QObject> observer;
        Handler handler;
    };

    explicit KSNotificationCenter(QObject *parent = nullptr);
    bool isRegistered(quint64 id) const;
    void forgetObserver(QObject *observer);

    mutable QMutex m_mutex;
    QList<Observation> m_observations;
    QSet<QObject *> m_watchedObservers; // those whose destroyed() we follow
    quint64 m_nextId = 1;
};
