#pragma once

#include "KSEraserFailure.h"
#include "KSEraserType.h"

#include <QSize>
#include <QString>

#include <functional>
#include <optional>

// Runs one cut-out job: from the user's picture and a cut-out type to the
// picture with the service's mask as its alpha channel, written as TIFF data
// into the temporary folder under the picture's own file name.
//
// The report closure hears (false, none, p) for progress 0..1 and then
// exactly one final report: (true, cut-out path, 1.0) or (false, none, -1.0).
// Every report is made on the main queue (the event loop's thread), in
// order; nothing follows the final one. The failure closure, when given,
// hears why just before the final failure report. A cancelled job reports
// nothing more.
class KSEraserManager
{
public:
    using Report = std::function<void(bool success, const std::optional<QString> &path, double progress)>;
    using FailureClosure = std::function<void(const KSEraserFailure &failure)>;
    // Names a started job for cancelEraser; 0 names none.
    using JobId = quint64;

    // Largest size of the copy that is uploaded.
    static constexpr int kMaxUploadSide = 2000;

    // Returns at once; the job runs on worker threads.
    static JobId startEraser(const QString &filePath, KSEraserType type, Report closure, FailureClosure failed = {});

    // Ends a job that has not ended: no report follows, its files in the
    // temporary folder are deleted (now or as they appear), and the service
    // is asked to drop its task. False when the job had already ended.
    static bool cancelEraser(JobId job);

    // Reserves where the cut-out of the picture at filePath goes: the
    // temporary folder under the picture's own name, or "name(1).ext",
    // "name(2).ext"… when that name is taken (by another job's cut-out, of
    // this program or another, or by the picture itself). The file is
    // created empty and exclusively, so that no other job gets the name.
    // Empty when the folder refuses a new file.
    [[nodiscard]] static QString resultPathFor(const QString &filePath);

    // About the room a job's files take in the temporary folder at once:
    // the upload copy, the mask and the cut-out (TIFF, 4 bytes a pixel).
    [[nodiscard]] static qint64 temporaryBytesFor(const QSize &photoSize);
};
