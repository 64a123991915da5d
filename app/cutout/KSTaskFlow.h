#pragma once

#include "KSEraserNetwork.h"

// The task chain of a cut-out job: creation for the type, polls at least 1 s
// apart from send to send, and the mask download into the temporary folder.
// KSEraserNetwork offers these steps under their protocol names.
namespace KSTaskFlow {

void createTask(const QString &fileId, KSEraserType type, KSEraserNetwork::TaskReport report);
void getTaskResult(const QString &taskId, KSEraserNetwork::TaskReport report);

// Overall progress at a fraction of the mask download: 0.8 + 0.2 x f.
[[nodiscard]] double downloadProgress(float fraction);
// The engine the service named (data.engine) for the last task that ended
// with a mask; empty when it named none.
[[nodiscard]] QString lastMaskEngine();

} // namespace KSTaskFlow
