#include "KSReconnect.h"

#include "CommLog.h"
#include "KSMainQueue.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<std::chrono::milliseconds::rep> intervalMs{250};
std::atomic<std::chrono::milliseconds::rep> boundMs{20000};
} // namespace

void KSReconnect::setPolicy(const Policy &policy)
{
    intervalMs.store(std::max<std::chrono::milliseconds::rep>(1, policy.interval.count()));
    boundMs.store(std::max<std::chrono::milliseconds::rep>(0, policy.bound.count()));
}

KSReconnect::Policy KSReconnect::policy()
{
    return {std::chrono::milliseconds(intervalMs.load()), std::chrono::milliseconds(boundMs.load())};
}

bool KSReconnect::shouldRetry(const KSNetError &error, int retriesBefore)
{
    return error.lostConnection() && qint64(retriesBefore) * intervalMs.load() < boundMs.load();
}

void KSReconnect::later(const QString &step, StillWanted wanted, std::function<void()> retry)
{
    const double seconds = double(intervalMs.load()) / 1000.0;
    CommLog::I(step + QStringLiteral(": the service cannot be reached, trying again in %1 s").arg(seconds));
    KSMainQueue::after(seconds, [wanted = std::move(wanted), retry = std::move(retry)] {
        if (!wanted || wanted())
            retry();
    });
}
