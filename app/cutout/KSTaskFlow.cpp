#include "KSTaskFlow.h"

#include "CommLog.h"
#include "KSAFNetworking.h"
#include "KSCurlSession.h"
#include "KSLogCategories.h"
#include "KSMainQueue.h"
#include "KSProtocolDebug.h"
#include "KSProtocolPaths.h"
#include "KSReplyEnvelope.h"
#include "KSServiceRequest.h"
#include "KSTaskReply.h"
#include "KSTempFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QUrl>

#include <memory>

using KSReplyEnvelope::objectAt;
using KSReplyEnvelope::textAt;
using KSServiceRequest::kFlowError;

namespace {

QMutex lastEngineMutex;
QString lastEngine;

// A poll or download that finds no service is tried again this many times,
// a second apart: the program that ran the built-in service may have ended,
// and this one's own service takes its place on the same address.
constexpr int kReconnectAttempts = 15;

void setLastMaskEngine(const QString &engine)
{
    QMutexLocker lock(&lastEngineMutex);
    lastEngine = engine;
}

void failTask(const KSEraserNetwork::TaskReport &report)
{
    if (report)
        report(false, std::nullopt, -1.0);
}

void poll(const QString &taskId, const KSEraserNetwork::TaskReport &report, int refusedBefore);

void downloadMask(const QUrl &url, const KSEraserNetwork::TaskReport &report, int refusedBefore = 0)
{
    const QString maskPath = KSTempFile::reserve(QStringLiteral(".png"));
    if (maskPath.isEmpty()) {
        CommLog::E(kFlowError + QStringLiteral("mask图片下载失败 无法在临时文件夹中建立文件"));
        failTask(report);
        return;
    }
    KSAFNetworking::downloadFile(url.toString(QUrl::FullyEncoded), maskPath,
                                 [url, maskPath, report, refusedBefore](float fraction, bool finished,
                                                                        const std::optional<KSNetError> &error) {
                                     if (finished) {
                                         if (report)
                                             report(true, maskPath, 1.0);
                                     } else if (error && error->couldNotConnect() && refusedBefore < kReconnectAttempts) {
                                         QFile::remove(maskPath);
                                         CommLog::I(QStringLiteral("mask图片下载连接不上服务，1秒后重试"));
                                         KSMainQueue::after(1.0, [url, report, refusedBefore] {
                                             downloadMask(url, report, refusedBefore + 1);
                                         });
                                     } else if (error) {
                                         CommLog::E(kFlowError + QStringLiteral("mask图片下载失败 ")
                                                    + error->localizedDescription);
                                         QFile::remove(maskPath);
                                         failTask(report);
                                     } else {
                                         const double progress = KSTaskFlow::downloadProgress(fraction);
                                         qCDebug(lcProtocol) << "progress " << progress;
                                         if (report)
                                             report(false, std::nullopt, progress);
                                     }
                                 });
}

// A finished task: its mask's address must be a web address.
void downloadFinished(const KSTaskReply &task, const KSEraserNetwork::TaskReport &report)
{
    // Only web addresses: a file: or other URL from the service must not
    // make the client read or fetch anything else.
    if (!KSCurlSession::isWebUrl(task.maskUrl)) {
        CommLog::E(kFlowError + QStringLiteral("mask图片的URL不是http或https，拒绝下载 ") + task.maskUrl);
        failTask(report);
        return;
    }
    setLastMaskEngine(task.engine);
    const QUrl url(task.maskUrl, QUrl::StrictMode);
    CommLog::I(QStringLiteral("获取结构化图片的URL成功 ") + url.toString());
    downloadMask(url, report);
}

void handleTaskResult(const QString &taskId, const QElapsedTimer &sinceSent, int refusedBefore,
                      const std::optional<KSNetError> &error, const QVariant &reply,
                      const KSEraserNetwork::TaskReport &report)
{
    const QString step = QStringLiteral("遍历任务结果失败");
    if (error && error->couldNotConnect() && refusedBefore < kReconnectAttempts) {
        CommLog::I(QStringLiteral("遍历任务结果连接不上服务，1秒后重试"));
        KSMainQueue::after(1.0, [taskId, report, refusedBefore] { poll(taskId, report, refusedBefore + 1); });
        return;
    }
    if (error) {
        CommLog::E(kFlowError + step + QStringLiteral(" 请求出错 ") + error->localizedDescription);
        failTask(report);
        return;
    }
    const KSTaskReply task = KSTaskReply::read(reply);
    if (task.fault == KSTaskReply::Fault::NotADictionary) {
        CommLog::E(kFlowError + step + QStringLiteral(" 回复不是字典"));
        failTask(report);
        return;
    }
    KSProtocolDebug::print("responseDic ", reply);
    if (task.fault != KSTaskReply::Fault::None) {
        CommLog::E(kFlowError + step
                   + (task.fault == KSTaskReply::Fault::NoStatus ? QStringLiteral(" data或data.status缺失或类型不对")
                                                                  : QStringLiteral(" 没有获取到mask图片的URL")));
        failTask(report);
        return;
    }
    if (task.state == KSTaskReply::State::Failed) {
        CommLog::E(QStringLiteral("抠图流程出错：遍历任务结果失败 status为-1"));
        failTask(report);
        return;
    }
    if (task.state == KSTaskReply::State::Done) {
        downloadFinished(task, report);
        return;
    }
    // Still pending: the next poll goes out at least 1 s after this one was sent.
    const double elapsed = double(sinceSent.elapsed()) / 1000.0;
    if (elapsed < 1.0)
        KSMainQueue::after(1.0 - elapsed, [taskId, report] { KSTaskFlow::getTaskResult(taskId, report); });
    else
        KSTaskFlow::getTaskResult(taskId, report);
}

void poll(const QString &taskId, const KSEraserNetwork::TaskReport &report, int refusedBefore)
{
    // The id goes into the path encoded, so it cannot step to another route.
    const auto target = KSServiceRequest::target(
        QLatin1String(KSProtocolPaths::tasks) + QString::fromLatin1(QUrl::toPercentEncoding(taskId)),
        [report] { failTask(report); });
    if (!target)
        return;
    auto sinceSent = std::make_shared<QElapsedTimer>();
    sinceSent->start();
    KSAFNetworking::GETtWithUrl(target->url, {}, KSServiceRequest::bearer(target->token),
                                [taskId, sinceSent, refusedBefore, report](const std::optional<KSNetError> &error,
                                                                           const QVariant &reply) {
                                    handleTaskResult(taskId, *sinceSent, refusedBefore, error, reply, report);
                                });
}

} // namespace

void KSTaskFlow::createTask(const QString &fileId, KSEraserType type, KSEraserNetwork::TaskReport report)
{
    const auto target = KSServiceRequest::target(QLatin1String(KSProtocolPaths::tasks) + KSEraserTypeRawValue(type),
                                                 [report] { failTask(report); });
    if (!target)
        return;
    KSAFNetworking::POSTWithUrl(target->url, {{QStringLiteral("file_id"), fileId}}, KSServiceRequest::bearer(target->token),
                                [report](const std::optional<KSNetError> &error, const QVariant &reply) {
                                    const std::optional<QVariantMap> dictionary =
                                        error ? std::nullopt : KSAFNetworking::responseToDictionary(reply);
                                    const std::optional<QVariantMap> data =
                                        dictionary ? objectAt(*dictionary, QStringLiteral("data")) : std::nullopt;
                                    const std::optional<QString> taskId =
                                        data ? textAt(*data, QStringLiteral("task_id")) : std::nullopt;
                                    if (!taskId || !KSServiceRequest::envelopeSucceeded(*dictionary, QStringLiteral("创建任务失败"))) {
                                        failTask(report);
                                        return;
                                    }
                                    KSProtocolDebug::print("responseDict ", reply);
                                    getTaskResult(*taskId, report);
                                });
}

void KSTaskFlow::getTaskResult(const QString &taskId, KSEraserNetwork::TaskReport report)
{
    poll(taskId, report, 0);
}

double KSTaskFlow::downloadProgress(float fraction)
{
    return 0.8 + 0.2 * double(fraction);
}

QString KSTaskFlow::lastMaskEngine()
{
    QMutexLocker lock(&lastEngineMutex);
    return lastEngine;
}
