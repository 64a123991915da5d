#include "KSEraserFailure.h"

#include "CommLang.h"
#include "KSTaskStatus.h"

#include <QFileInfo>

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
    {Kind::pictureTooSmall, "ErrorPictureTooSmall", "ErrorAdvicePictureTooSmall"},
    {Kind::pictureTooLarge, "ErrorPictureTooLarge", "ErrorAdvicePictureTooLarge"},
    {Kind::unreadableFile, "ErrorUnreadableFile", "ErrorAdviceUnreadableFile"},
    {Kind::folder, "ErrorFolder", "ErrorAdviceFolder"},
    {Kind::missingFile, "ErrorMissingFile", "ErrorAdviceMissingFile"},
    {Kind::serviceUnreachable, "ErrorServiceUnreachable", "ErrorAdviceServiceUnreachable"},
    {Kind::signedOut, "ErrorSignedOut", "ErrorAdviceSignedOut"},
    {Kind::serviceError, "ErrorService", "ErrorAdviceRetry"},
    {Kind::engineFailed, "ErrorEngineFailed", "ErrorAdviceEngineFailed"},
    {Kind::noSubject, "ErrorNoSubject", "ErrorAdviceNoSubject"},
    {Kind::cannotWrite, "ErrorCannotWrite", "ErrorAdviceCannotWrite"},
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
    case KSImageLoader::Failure::Damaged:
        return {Kind::notAPicture};
    case KSImageLoader::Failure::TooLarge:
        return {Kind::pictureTooLarge};
    }
    return {Kind::unknown};
}

KSEraserFailure KSEraserFailure::forNetError(const KSNetError &error)
{
    return {error.domain == KSNetError::transportDomain() ? Kind::serviceUnreachable : Kind::serviceError};
}

KSEraserFailure KSEraserFailure::forTaskError(const QString &serviceError)
{
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
    return kind != Kind::notAPicture && kind != Kind::pictureTooSmall && kind != Kind::pictureTooLarge
           && kind != Kind::folder && kind != Kind::noSubject;
}

QString KSEraserFailure::englishText() const
{
    const Texts &texts = textsOf(kind);
    return english(texts.message) + u' ' + english(texts.advice);
}
