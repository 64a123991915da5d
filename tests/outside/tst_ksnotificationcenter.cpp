#include "KSNotificationCenter.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

// Each test uses its own name, since the default centre is shared.
class TestKSNotificationCenter : public QObject
{
    Q_OBJECT

private slots:
    void sameThreadDeliveryIsImmediate();
    void observationEndsWithObserver();
    void removeObserverStopsDelivery();
    void handlerMayRemoveAndDeleteObservers();
    void postFromWorkerReachesMainThread();
    void postReachesObserverOnItsOwnThread();
    void queuedDeliveryDroppedWhenObserverGoes();
};

void TestKSNotificationCenter::sameThreadDeliveryIsImmediate()
{
    auto *center = KSNotificationCenter::defaultCenter();
    QObject observer;
    QVariant received;
    int calls = 0;
    center->observe(QStringLiteral("t.same"), &observer, [&](const QVariant &object) {
        received = object;
        ++calls;
    });
    center->post(QStringLiteral("t.other"), 1);
    center->post(QStringLiteral("t.same"), 42);
    QCOMPARE(calls, 1);
    QCOMPARE(received.toInt(), 42);
}

void TestKSNotificationCenter::observationEndsWithObserver()
{
    auto *center = KSNotificationCenter::defaultCenter();
    int calls = 0;
    {
        QObject observer;
        center->observe(QStringLiteral("t.life"), &observer, [&](const QVariant &) { ++calls; });
        center->post(QStringLiteral("t.life"));
    }
    // A new object may reuse the old address; it must not inherit the observation.
    QObject successor;
    center->post(QStringLiteral("t.life"));
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
}

void TestKSNotificationCenter::removeObserverStopsDelivery()
{
    auto *center = KSNotificationCenter::defaultCenter();
    QObject observer;
    int a = 0, b = 0;
    center->observe(QStringLiteral("t.rm.a"), &observer, [&](const QVariant &) { ++a; });
    center->observe(QStringLiteral("t.rm.b"), &observer, [&](const QVariant &) { ++b; });
    center->removeObserver(&observer, QStringLiteral("t.rm.a"));
    center->post(QStringLiteral("t.rm.a"));
    center->post(QStringLiteral("t.rm.b"));
    QCOMPARE(a, 0);
    QCOMPARE(b, 1);
    center->removeObserver(&observer);
    center->post(QStringLiteral("t.rm.b"));
    QCOMPARE(b, 1);
}

void TestKSNotificationCenter::handlerMayRemoveAndDeleteObservers()
{
    // A handler that closes a screen deletes other observers of the same post.
    auto *center = KSNotificationCenter::defaultCenter();
    QObject first;
    auto *second = new QObject;
    int secondCalls = 0;
    center->observe(QStringLiteral("t.reentry"), &first, [&](const QVariant &) {
        delete second;
        center->post(QStringLiteral("t.reentry.inner")); // re-entrant post must not deadlock
    });
    center->observe(QStringLiteral("t.reentry"), second, [&](const QVariant &) { ++secondCalls; });
    center->post(QStringLiteral("t.reentry"));
    QCOMPARE(secondCalls, 0);
}

void TestKSNotificationCenter::postFromWorkerReachesMainThread()
{
    auto *center = KSNotificationCenter::defaultCenter();
    QObject observer;
    QThread *deliveredOn = nullptr;
    QVariant received;
    center->observe(QStringLiteral("t.fromworker"), &observer, [&](const QVariant &object) {
        deliveredOn = QThread::currentThread();
        received = object;
    });
    std::unique_ptr<QThread> worker(QThread::create(
        [center] { center->post(QStringLiteral("t.fromworker"), QStringLiteral("token")); }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QCOMPARE(deliveredOn, nullptr); // not on the worker: queued for the main loop
    QTRY_COMPARE(deliveredOn, QThread::currentThread());
    QCOMPARE(received.toString(), QStringLiteral("token"));
}

void TestKSNotificationCenter::postReachesObserverOnItsOwnThread()
{
    auto *center = KSNotificationCenter::defaultCenter();
    QThread worker;
    worker.start();
    auto *observer = new QObject;
    observer->moveToThread(&worker);
    std::atomic<QThread *> deliveredOn = nullptr;
    center->observe(QStringLiteral("t.toworker"), observer,
                    [&](const QVariant &) { deliveredOn = QThread::currentThread(); });
    center->post(QStringLiteral("t.toworker"));
    QTRY_COMPARE(deliveredOn.load(), &worker);
    QMetaObject::invokeMethod(observer, [observer] { delete observer; }, Qt::BlockingQueuedConnection);
    worker.quit();
    QVERIFY(worker.wait(5000));
}

void TestKSNotificationCenter::queuedDeliveryDroppedWhenObserverGoes()
{
    auto *center = KSNotificationCenter::defaultCenter();
    int calls = 0;
    auto *gone = new QObject;
    QObject removed;
    center->observe(QStringLiteral("t.pending"), gone, [&](const QVariant &) { ++calls; });
    center->observe(QStringLiteral("t.pending"), &removed, [&](const QVariant &) { ++calls; });
    std::unique_ptr<QThread> worker(
        QThread::create([center] { center->post(QStringLiteral("t.pending")); }));
    worker->start();
    QVERIFY(worker->wait(5000));
    // Both deliveries are queued now; end both observations before they run.
    delete gone;
    center->removeObserver(&removed);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(calls, 0);
}

QTEST_GUILESS_MAIN(TestKSNotificationCenter)
#include "tst_ksnotificationcenter.moc"
