#include "KSEraserFailure.h"

#include "CommLang.h"
#include "KSDataFolderFull.h"
#include "KSPictureLimits.h"
#include "KSTaskStatus.h"

#include <QFileInfo>

#include <algorithm>

namespace {

using Kind = KSEraserFailure::Kind;

struct Texts
{
    Kind kind;
    const char *message;
    const char *advice;
};

// One row per kind: the language tables hold the texts.
constexpr Texts kTexts[] = {
    {Kind::unknown, "SorryEreaserError", "ErrorAdviceRetry"},
    {Kind::notAPicture, "ErrorNotAPicture", "ErrorAdviceNotAPicture"},
    {Kind::damagedPicture, "ErrorDamagedPicture", "ErrorAdviceDamagedPicture"},
    {Kind::pictureTooSmall, "ErrorPictureTooSmall", "ErrorAdvicePictureTooSmall"},
    {Kind::pictureTooLarge, "ErrorPictureTooLarge", "ErrorAdvicePictureTooLarge"},
    {Kind::unreadableFile, "ErrorUnreadableFile", "ErrorAdviceUnreadableFile"},
    {Kind::folder, "ErrorFolder", "ErrorAdviceFolder"},
    {Kind::missingFile, "ErrorMissingFile", "ErrorAdviceMissingFile"},
    {Kind::noSuchFile, "ErrorNoSuchFile", "ErrorAdviceNoSuchFile"},
    {Kind::serviceUnreachable, "ErrorServiceUnreachable", "ErrorAdviceServiceUnreachable"},
    {Kind::signedOut, "ErrorSignedOut", "ErrorAdviceSignedOut"},
    {Kind::serviceError, "ErrorService", "ErrorAdviceRetry"},
    {Kind::engineFailed, "ErrorEngineFailed", "ErrorAdviceEngineFailed"},
    {Kind::noSubject, "ErrorNoSubject", "ErrorAdviceNoSubject"},
    {Kind::cannotWrite, "ErrorCannotWrite", "ErrorAdviceCannotWrite"},
    {Kind::serviceFolderFull, "ErrorServiceFolderFull", "ErrorAdviceServiceFolderFull"},
};

const Texts &textsOf(Kind kind)
{
    for (const Texts &texts : kTexts)
        if (texts.kind == kind)
            return texts;
    return kTexts[0];
}

QString english(const char *key)
{
    const QString name = QLatin1String(key);
    return CommLang::textInLanguage(name, QStringLiteral("English")).value_or(name);
}

KSEraserFailure folderFull(const QString &folder, const QString &detail = {})
{
    KSEraserFailure failure(Kind::serviceFolderFull, detail);
    failure.folder = folder;
    return failure;
}

// The texts' %1: the folder of a full data folder, the formats Cutora
// reads where a file is no picture of them.
QString withArgument(QString text, const KSEraserFailure &failure)
{
    const QString argument =
        failure.kind == Kind::notAPicture ? KSPictureLimits::photoFormatNames() : failure.folder;
    return text.replace(QLatin1String("%1"), argument);
}

} // namespace

KSEraserFailure KSEraserFailure::forPhoto(const QString &path, KSImageLoader::Failure failure)
{
    const QFileInfo info(path);
    switch (failure) {
    case KSImageLoader::Failure::None:
        return {Kind::unknown};
    case KSImageLoader::Failure::Missing:
        if (info.isDir())
            return {Kind::folder};
        return {info.exists() ? Kind::unreadableFile : Kind::missingFile};
    case KSImageLoader::Failure::Empty:
    case KSImageLoader::Failure::Undecodable:
        return {Kind::notAPicture};
    case KSImageLoader::Failure::Damaged:
        return {Kind::damagedPicture};
    case KSImageLoader::Failure::TooLarge:
        return {Kind::pictureTooLarge};
    }
    return {Kind::unknown};
}

std::optional<KSEraserFailure> KSEraserFailure::checkPhotoFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return KSEraserFailure(Kind::folder);
    // Named from outside: a name no file has was never a photo here.
    if (!info.exists())
        return KSEraserFailure(Kind::noSuchFile);
    const KSImageLoader::SizeResult probe = KSImageLoader::readSize(path);
    if (!probe.ok())
        return forPhoto(path, probe.failure);
    if (std::min(probe.size.width(), probe.size.height()) < kMinPhotoSide)
        return KSEraserFailure(Kind::pictureTooSmall);
    return std::nullopt;
}

KSEraserFailure KSEraserFailure::forNetError(const KSNetError &error)
{
    if (error.domain == KSNetError::transportDomain())
        return {Kind::serviceUnreachable};
    if (const std::optional<QString> folder = KSDataFolderFull::folderIn(error.localizedDescription))
        return folderFull(*folder);
    return {Kind::serviceError};
}

KSEraserFailure KSEraserFailure::forTaskError(const QString &serviceError)
{
    if (const std::optional<QString> folder = KSDataFolderFull::folderIn(serviceError))
        return folderFull(*folder, serviceError);
    const bool noSubject = serviceError.startsWith(QLatin1String(KSTaskStatus::noSubjectError));
    return {noSubject ? Kind::noSubject : Kind::engineFailed, serviceError};
}

QString KSEraserFailure::messageKey() const
{
    return QLatin1String(textsOf(kind).message);
}

QString KSEraserFailure::adviceKey() const
{
    return QLatin1String(textsOf(kind).advice);
}

bool KSEraserFailure::canRetry() const
{
    // A file gone or never there stays so under the same name.
    return kind != Kind::notAPicture && kind != Kind::damagedPicture && kind != Kind::pictureTooSmall
           && kind != Kind::pictureTooLarge && kind != Kind::folder && kind != Kind::missingFile
           && kind != Kind::noSuchFile && kind != Kind::noSubject;
}

QString KSEraserFailure::message() const
{
    return withArgument(CommLang::GetAppLang(messageKey()), *this);
}

QString KSEraserFailure::advice() const
{
    return withArgument(CommLang::GetAppLang(adviceKey()), *this);
}

QString KSEraserFailure::englishText() const
{
    const Texts &texts = textsOf(kind);
    return withArgument(english(texts.message) + u' ' + english(texts.advice), *this);
}
