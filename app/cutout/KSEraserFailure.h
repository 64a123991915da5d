#pragma once

#include "KSImageLoader.h"
#include "KSNetError.h"

#include <QString>

#include <optional>
#include <utility>

// Why a cut-out job failed, as the user needs to hear it: each kind has its
// own message and advice in the language tables. The log keeps the details.
struct KSEraserFailure
{
    enum class Kind {
        unknown,
        notAPicture,        // not a picture Cutora reads (a text file named .jpg), or empty
        damagedPicture,     // of a format Cutora reads, but cut off or corrupt
        pictureTooSmall,    // fewer than kMinPhotoSide pixels on a side
        pictureTooLarge,    // beyond the loader's pixel limit, or no memory for it
        unreadableFile,     // there, but it cannot be opened
        folder,             // a folder where a picture was expected
        missingFile,        // gone since it was chosen
        noSuchFile,         // never there: named from outside under a name no file has
        serviceUnreachable, // no connection to the cut-out service (or none configured)
        signedOut,          // no account token
        serviceError,       // the service answered, but with an error or an unusable reply
        engineFailed,       // the service's task ended in failure
        noSubject,          // the engine found nothing to cut out (a blank or plain picture)
        cannotWrite,        // the temporary folder cannot take the job's files
        serviceFolderFull,  // the service's data folder (`folder`) has no room for the upload or the mask
    };

    // Smaller photos have nothing an engine could cut out.
    static constexpr int kMinPhotoSide = 16;

    KSEraserFailure() = default;
    KSEraserFailure(Kind kind, QString detail = {})
        : kind(kind)
        , detail(std::move(detail))
    {
    }

    Kind kind = Kind::unknown;
    // The service's own words for a failed task (English), when it gave any.
    QString detail;
    // The folder a serviceFolderFull failure names; its texts take it as %1.
    QString folder;

    // The kind for a photo the loader refused; `path` tells a folder, a
    // missing file and an unreadable one apart.
    [[nodiscard]] static KSEraserFailure forPhoto(const QString &path, KSImageLoader::Failure failure);
    // The cheap look a photo named from outside gets before anything is
    // asked: it exists, is a file, has the header of a picture Cutora loads
    // and a size within limits. Nothing when it is fine, else why not.
    [[nodiscard]] static std::optional<KSEraserFailure> checkPhotoFile(const QString &path);
    // The kind for an error of the HTTP or storage layer: a transport error
    // means the service was not reached, anything else that it answered.
    // A reply that says the service's data folder is full gives that kind.
    [[nodiscard]] static KSEraserFailure forNetError(const KSNetError &error);
    // The kind for a task the service failed, with its words as the detail;
    // a full data folder of the service gives that kind.
    [[nodiscard]] static KSEraserFailure forTaskError(const QString &serviceError);

    // Localization keys: a one-line message and what the user can do.
    [[nodiscard]] QString messageKey() const;
    [[nodiscard]] QString adviceKey() const;
    // False where trying the same photo again cannot end otherwise.
    [[nodiscard]] bool canRetry() const;
    // The message and the advice in the application's language, with the folder filled in.
    [[nodiscard]] QString message() const;
    [[nodiscard]] QString advice() const;
    // The message and the advice in English, for the command line.
    [[nodiscard]] QString englishText() const;

    friend bool operator==(const KSEraserFailure &, const KSEraserFailure &) = default;
};
