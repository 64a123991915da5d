#pragma once

#include "KSCutoutEngine.h"
#include "KSServiceStore.h"

#include <QString>

#include <functional>
#include <memory>

class KSObjectStorage;
class KSTaskProgress;
class KSTaskSignal;

// Runs one claimed task on a worker thread: reads the uploaded picture within
// the size limits, asks the engine for a mask and stores it under a random
// name. Every outcome ends in the task being done or failed; nothing throws
// out. A task cancelled while it ran keeps its cancelled state and its mask
// goes; so does the mask of a task whose claim passed to another service.
class KSTaskRunner
{
public:
    struct Context
    {
        KSServiceStore *store = nullptr;
        KSObjectStorage *objects = nullptr;
        KSTaskSignal *taskSignal = nullptr; // told when a task ends
        QString masksDir;
        qint64 maxBytes = 0;
        qint64 maxPixels = 0;
        std::function<qint64()> nowMs;
        KSTaskProgress *progress = nullptr; // told where a task stands; may be none
    };

    KSTaskRunner(Context context, std::unique_ptr<KSCutoutEngine> engine);

    void run(const KSServiceStore::Claim &claim);

    // Reads a picture file through the application's loader (by its content,
    // upright, in sRGB) into 8-bit BGR, pictures with transparency flattened
    // onto white. Refuses files above maxBytes, pictures above maxPixels
    // and pictures below KSPictureLimits::kMinSide before decoding them.
    [[nodiscard]] static cv::Mat decodePicture(const QString &path, qint64 maxBytes, qint64 maxPixels,
                                               QString *error);

private:
    [[nodiscard]] QString makeMask(const QString &taskId, QString *error);

    Context m_context;
    std::unique_ptr<KSCutoutEngine> m_engine;
};
