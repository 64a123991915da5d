#pragma once

#include "KSEraserNetwork.h"
#include "KSReconnect.h"

#include <chrono>

// The task chain of a cut-out job: creation for the type, polls at least the
// poll interval apart from send to send, and the mask download into the
// temporary folder. KSEraserNetwork offers these steps under their protocol
// names.
namespace KSTaskFlow {

// The least time from one poll's send to the next; 1 s unless set otherwise.
// A step that lost its service waits as KSReconnect tells.
void setPollInterval(std::chrono::milliseconds interval);
[[nodiscard]] std::chrono::milliseconds pollInterval();

void createTask(const QString &fileId, KSEraserType type, KSEraserNetwork::TaskReport report,
                KSEraserNetwork::FailureNote note = {}, KSEraserNetwork::TaskCreated created = {},
                KSReconnect::StillWanted wanted = {});
void getTaskResult(const QString &taskId, KSEraserNetwork::TaskReport report, KSEraserNetwork::FailureNote note = {});
void cancelTask(const QString &taskId);

// Overall progress at a fraction of the mask download (KSJobProgress::download).
[[nodiscard]] double downloadProgress(float fraction);
// Overall progress at the task's own progress p (data.progress), p held to
// 0..1 within the task's share; none for a value that is no number.
[[nodiscard]] std::optional<double> taskProgress(const QVariant &progress);
// The engine the service named (data.engine) for the last task that ended
// with a mask; empty when it named none.
[[nodiscard]] QString lastMaskEngine();

} // namespace KSTaskFlow
