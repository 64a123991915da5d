#include "KSTaskFlow.h"

#include "KSJobProgress.h"

#include "CommLog.h"
#include "KSAFNetworking.h"
#include "KSCurlSession.h"
#include "KSLogCategories.h"
#include "KSMainQueue.h"
#include "KSProtocolDebug.h"
#include "KSProtocolPaths.h"
#include "KSReconnect.h"
#include "KSReplyEnvelope.h"
#include "KSServiceRequest.h"
#include "KSTaskReply.h"
#include "KSTempFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>

#include <memory>

using KSReplyEnvelope::objectAt;
using KSReplyEnvelope::textAt;
using KSServiceRequest::kFlowError;

namespace {

QMutex lastEngineMutex;
QString lastEngine;

std::atomic<std::chrono::milliseconds::rep> pollIntervalMs{1000};

double pollSeconds()
{
    return double(pollIntervalMs.load()) / 1000.0;
}

// Tasks whose job was cancelled: their chain stops at its next step.
QMutex cancelledMutex;
QSet<QString> cancelledTasks;

bool isCancelled(const QString &taskId)
{
    QMutexLocker lock(&cancelledMutex);
    return cancelledTasks.contains(taskId);
}

// The chain of a cancelled task has ended: its id need not be kept.
void forgetCancelled(const QString &taskId)
{
    QMutexLocker lock(&cancelledMutex);
    cancelledTasks.remove(taskId);
}

using FailureNote = KSEraserNetwork::FailureNote;

void setLastMaskEngine(const QString &engine)
{
    QMutexLocker lock(&lastEngineMutex);
    lastEngine = engine;
}

void failTask(const KSEraserNetwork::TaskReport &report, const FailureNote &note, const KSEraserFailure &failure)
{
    if (note)
        note(failure);
    if (report)
        report(false, std::nullopt, -1.0);
}

constexpr auto kServiceError = KSEraserFailure::Kind::serviceError;

void poll(const QString &taskId, const KSEraserNetwork::TaskReport &report, const FailureNote &note, int lostBefore);

void downloadMask(const QString &taskId, const QUrl &url, const KSEraserNetwork::TaskReport &report,
                  const FailureNote &note, int lostBefore)
{
    const QString maskPath = KSTempFile::reserve(QStringLiteral(".png"));
    if (maskPath.isEmpty()) {
        CommLog::E(kFlowError + QStringLiteral("downloading the mask failed: cannot create a file in the temporary folder"));
        failTask(report, note, KSEraserFailure::Kind::cannotWrite);
        return;
    }
    KSAFNetworking::downloadFile(url.toString(QUrl::FullyEncoded), maskPath,
                                 [taskId, url, maskPath, report, note, lostBefore](
                                     float fraction, bool finished, const std::optional<KSNetError> &error) {
                                     // A cancelled job wants no mask: it goes as it arrives.
                                     if (isCancelled(taskId)) {
                                         if (finished || error) {
                                             QFile::remove(maskPath);
                                             forgetCancelled(taskId);
                                         }
                                         return;
                                     }
                                     if (finished) {
                                         if (report)
                                             report(true, maskPath, 1.0);
                                     } else if (error && KSReconnect::shouldRetry(*error, lostBefore)) {
                                         // The mask's address names the service that
                                         // made it; the one that took over may answer
                                         // elsewhere, so the task is asked again.
                                         QFile::remove(maskPath);
                                         KSReconnect::later(QStringLiteral("downloading the mask"), {}, [taskId, report, note, lostBefore] {
                                             poll(taskId, report, note, lostBefore + 1);
                                         });
                                     } else if (error) {
                                         CommLog::E(kFlowError + QStringLiteral("downloading the mask failed: ")
                                                    + error->localizedDescription);
                                         QFile::remove(maskPath);
                                         if (note)
                                             note(KSEraserFailure::forNetError(*error));
                                         if (report)
                                             report(false, std::nullopt, -1.0);
                                     } else {
                                         const double progress = KSTaskFlow::downloadProgress(fraction);
                                         qCDebug(lcProtocol) << "progress " << progress;
                                         if (report)
                                             report(false, std::nullopt, progress);
                                     }
                                 });
}

// A finished task: its mask's address must be a web address.
void downloadFinished(const QString &taskId, const KSTaskReply &task, const KSEraserNetwork::TaskReport &report,
                      const FailureNote &note, int lostBefore)
{
    // Only web addresses: a file: or other URL from the service must not
    // make the client read or fetch anything else.
    if (!KSCurlSession::isWebUrl(task.maskUrl)) {
        CommLog::E(kFlowError + QStringLiteral("the mask's address is not http or https, not downloaded: ") + task.maskUrl);
        failTask(report, note, kServiceError);
        return;
    }
    setLastMaskEngine(task.engine);
    const QUrl url(task.maskUrl, QUrl::StrictMode);
    // The query may hold the address's signature: the log does not need it.
    CommLog::I(QStringLiteral("the mask's address arrived: ") + url.toString(QUrl::RemoveQuery));
    downloadMask(taskId, url, report, note, lostBefore);
}

void handleTaskResult(const QString &taskId, const QElapsedTimer &sinceSent, int lostBefore,
                      const std::optional<KSNetError> &error, const QVariant &reply,
                      const KSEraserNetwork::TaskReport &report, const FailureNote &note)
{
    if (isCancelled(taskId)) {
        forgetCancelled(taskId);
        return;
    }
    const QString step = QStringLiteral("polling the task failed");
    // The task lives in the service's store: whoever runs the service next
    // answers for the same id.
    if (error && KSReconnect::shouldRetry(*error, lostBefore)) {
        KSReconnect::later(QStringLiteral("polling the task"), {},
                           [taskId, report, note, lostBefore] { poll(taskId, report, note, lostBefore + 1); });
        return;
    }
    if (error) {
        CommLog::E(kFlowError + step + QStringLiteral(": request error ") + error->localizedDescription);
        failTask(report, note, KSEraserFailure::forNetError(*error));
        return;
    }
    const KSTaskReply task = KSTaskReply::read(reply);
    if (task.fault == KSTaskReply::Fault::NotADictionary) {
        CommLog::E(kFlowError + step + QStringLiteral(": the reply is no dictionary"));
        failTask(report, note, kServiceError);
        return;
    }
    KSProtocolDebug::print("responseDic ", reply);
    if (task.fault != KSTaskReply::Fault::None) {
        CommLog::E(kFlowError + step
                   + (task.fault == KSTaskReply::Fault::NoStatus ? QStringLiteral(": data or data.status is missing or of the wrong type")
                                                                  : QStringLiteral(": the reply has no mask URL")));
        failTask(report, note, kServiceError);
        return;
    }
    if (task.state == KSTaskReply::State::Failed) {
        CommLog::E(QStringLiteral("cut-out failed: polling the task failed: status -1 ") + task.error);
        failTask(report, note, KSEraserFailure::forTaskError(task.error));
        return;
    }
    if (task.state == KSTaskReply::State::Done) {
        downloadFinished(taskId, task, report, note, lostBefore);
        return;
    }
    if (const std::optional<double> progress = KSTaskFlow::taskProgress(task.progress); progress && report)
        report(false, std::nullopt, *progress);
    // Still pending: the next poll goes out at least an interval after this one was sent.
    const double elapsed = double(sinceSent.elapsed()) / 1000.0;
    if (elapsed < pollSeconds())
        KSMainQueue::after(pollSeconds() - elapsed,
                           [taskId, report, note] { KSTaskFlow::getTaskResult(taskId, report, note); });
    else
        KSTaskFlow::getTaskResult(taskId, report, note);
}

void poll(const QString &taskId, const KSEraserNetwork::TaskReport &report, const FailureNote &note, int lostBefore)
{
    if (isCancelled(taskId)) {
        forgetCancelled(taskId);
        return;
    }
    // The id goes into the path encoded, so it cannot step to another route.
    const auto target = KSServiceRequest::target(
        QLatin1String(KSProtocolPaths::tasks) + QString::fromLatin1(QUrl::toPercentEncoding(taskId)),
        [report, note, failure = KSServiceRequest::missingTarget()] { failTask(report, note, failure.kind); });
    if (!target)
        return;
    auto sinceSent = std::make_shared<QElapsedTimer>();
    sinceSent->start();
    KSAFNetworking::GETtWithUrl(target->url, {}, KSServiceRequest::bearer(target->token),
                                [taskId, sinceSent, lostBefore, report, note](const std::optional<KSNetError> &error,
                                                                              const QVariant &reply) {
                                    handleTaskResult(taskId, *sinceSent, lostBefore, error, reply, report, note);
                                });
}

// What a task's creation needs, kept for a creation sent again.
struct Creation
{
    QString fileId;
    KSEraserType type;
    KSEraserNetwork::TaskReport report;
    FailureNote note;
    KSEraserNetwork::TaskCreated created;
    KSReconnect::StillWanted wanted;
};

void requestTask(const Creation &creation, int lostBefore)
{
    const auto target = KSServiceRequest::target(QLatin1String(KSProtocolPaths::tasks) + KSEraserTypeRawValue(creation.type),
                                                 [creation, failure = KSServiceRequest::missingTarget()] {
                                                     failTask(creation.report, creation.note, failure.kind);
                                                 });
    if (!target)
        return;
    KSAFNetworking::POSTWithUrl(target->url, {{QStringLiteral("file_id"), creation.fileId}},
                                KSServiceRequest::bearer(target->token),
                                [creation, lostBefore](const std::optional<KSNetError> &error, const QVariant &reply) {
                                    const KSEraserNetwork::TaskReport &report = creation.report;
                                    const FailureNote &note = creation.note;
                                    // Sent again even when the first may have arrived: the
                                    // service answers a resource's repeated creation with
                                    // the task it made for it.
                                    if (error && KSReconnect::shouldRetry(*error, lostBefore)) {
                                        KSReconnect::later(QStringLiteral("creating the task"), creation.wanted, [creation, lostBefore] {
                                            requestTask(creation, lostBefore + 1);
                                        });
                                        return;
                                    }
                                    if (error) {
                                        CommLog::E(kFlowError + QStringLiteral("creating the task failed: request error ")
                                                   + error->localizedDescription);
                                        failTask(report, note, KSEraserFailure::forNetError(*error));
                                        return;
                                    }
                                    const std::optional<QVariantMap> dictionary = KSAFNetworking::responseToDictionary(reply);
                                    const std::optional<QVariantMap> data =
                                        dictionary ? objectAt(*dictionary, QStringLiteral("data")) : std::nullopt;
                                    const std::optional<QString> taskId =
                                        data ? textAt(*data, QStringLiteral("task_id")) : std::nullopt;
                                    if (!taskId || !KSServiceRequest::envelopeSucceeded(*dictionary, QStringLiteral("creating the task failed"))) {
                                        failTask(report, note, kServiceError);
                                        return;
                                    }
                                    KSProtocolDebug::print("responseDict ", reply);
                                    if (creation.created)
                                        creation.created(*taskId);
                                    KSTaskFlow::getTaskResult(*taskId, report, note);
                                });
}

} // namespace

void KSTaskFlow::createTask(const QString &fileId, KSEraserType type, KSEraserNetwork::TaskReport report,
                            FailureNote note, KSEraserNetwork::TaskCreated created, KSReconnect::StillWanted wanted)
{
    requestTask({fileId, type, std::move(report), std::move(note), std::move(created), std::move(wanted)}, 0);
}

void KSTaskFlow::setPollInterval(std::chrono::milliseconds interval)
{
    pollIntervalMs.store(interval.count());
}

std::chrono::milliseconds KSTaskFlow::pollInterval()
{
    return std::chrono::milliseconds(pollIntervalMs.load());
}

void KSTaskFlow::getTaskResult(const QString &taskId, KSEraserNetwork::TaskReport report, FailureNote note)
{
    poll(taskId, report, note, 0);
}

void KSTaskFlow::cancelTask(const QString &taskId)
{
    {
        QMutexLocker lock(&cancelledMutex);
        cancelledTasks.insert(taskId);
    }
    const QString path = QLatin1String(KSProtocolPaths::tasks) + QString::fromLatin1(QUrl::toPercentEncoding(taskId))
                         + QLatin1String(KSProtocolPaths::taskCancel);
    const auto target = KSServiceRequest::target(path, [] {});
    if (!target)
        return;
    KSAFNetworking::POSTWithUrl(target->url, {}, KSServiceRequest::bearer(target->token),
                                [taskId](const std::optional<KSNetError> &error, const QVariant &) {
                                    if (error)
                                        CommLog::E(QStringLiteral("the service did not drop the cancelled task %1: %2")
                                                       .arg(taskId, error->localizedDescription));
                                    else
                                        CommLog::I(QStringLiteral("the service dropped the cancelled task ") + taskId);
                                });
}

double KSTaskFlow::downloadProgress(float fraction)
{
    return KSJobProgress::download(double(fraction));
}

std::optional<double> KSTaskFlow::taskProgress(const QVariant &progress)
{
    if (progress.typeId() != QMetaType::Double && progress.typeId() != QMetaType::Int
        && progress.typeId() != QMetaType::LongLong)
        return std::nullopt;
    const double value = progress.toDouble();
    if (!std::isfinite(value))
        return std::nullopt;
    return KSJobProgress::task(value);
}

QString KSTaskFlow::lastMaskEngine()
{
    QMutexLocker lock(&lastEngineMutex);
    return lastEngine;
}
