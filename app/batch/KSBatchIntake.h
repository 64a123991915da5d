#pragma once

#include "KSEraserFailure.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Which photos of a list of paths (files and folders, as chosen, dropped,
// pasted or named from outside) go into a batch, and which do not and why.
// A folder is read for the photo types Cutora opens
// (KSPictureLimits::photoExtensions()), its sub-folders only on request;
// every photo is looked at (KSEraserFailure::checkPhotoFile) so that a
// damaged one is named now rather than failing later. Nothing is dropped
// silently: whatever is not taken is listed with its reason.
class KSBatchIntake
{
public:
    struct Skipped
    {
        enum class Reason {
            notAPhotoType, // a file in a folder whose name is no photo type Cutora opens
            notAPhoto,     // the file itself was refused (see `failure`): not a picture, damaged, unreadable...
            subFolder,     // a folder inside a folder read without its sub-folders
            duplicate,     // the same file twice, or already in the batch
        };
        QString path;
        Reason reason = Reason::notAPhotoType;
        // Why the file was refused, for Reason::notAPhoto.
        KSEraserFailure failure;

        // The reason in the application's language, and in English for the log.
        [[nodiscard]] QString text() const;
        [[nodiscard]] QString englishText() const;
        // The localization key of the reason.
        [[nodiscard]] QString textKey() const;
    };

    struct Result
    {
        // Absolute paths, in natural order of their names (2 before 10).
        QStringList photos;
        // In the order of their paths, likewise.
        QList<Skipped> skipped;
    };

    // Reads `paths`; `alreadyIn` are the photos the batch holds, which come
    // back as duplicates. Reads files: call it off the GUI thread for
    // large folders (gatherAsync()).
    [[nodiscard]] static Result gather(const QStringList &paths, bool recursive, const QStringList &alreadyIn = {});
    // gather() on a worker thread, `done` on the thread of `context`;
    // dropped when the context is gone.
    static void gatherAsync(const QStringList &paths, bool recursive, const QStringList &alreadyIn, QObject *context,
                            std::function<void(const Result &result)> done);

    // Whether a path list names more than one photo or any folder: what
    // opens a batch rather than the single photo's way.
    [[nodiscard]] static bool wantsBatch(const QStringList &paths);

    // Natural order of two paths: case aside, numbers by value.
    [[nodiscard]] static bool naturalLess(const QString &a, const QString &b);
};
