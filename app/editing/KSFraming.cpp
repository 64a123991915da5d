#include "KSFraming.h"

#include "CommLang.h"
#include "KSEditGeometry.h"
#include "KSFramingGeometry.h"
#include "KSUserDefaultKit.h"

namespace KSFraming {

namespace {

// A plain fit of the subject, or the photo itself when there is no subject.
Result plainFit(const Input &input, const QSizeF &proportions, Result result)
{
    const QRectF frame = KSFramingGeometry::subjectFrame(input.subjectBounds, proportions, input.margin,
                                                                input.cutEdges);
    if (frame.isEmpty())
        return result;
    result.frame = frame;
    result.subjectRect = KSFramingGeometry::mapBetweenFrames(input.subjectBounds, frame, result.canvasFrame);
    return result;
}

} // namespace

bool placesHead(const KSEditChangeSizeItem &preset, KSFitMode mode)
{
    return mode == KSFitMode::subject && preset.idRule && preset.hasPrintSize();
}

Result frame(const Input &input)
{
    const QSizeF presetSize(double(input.preset.width), double(input.preset.height));
    Result result;
    // The source size frames the whole canvas, in the photo's proportions.
    result.canvasFrame = KSEditGeometry::maskFrame(input.photoSize, presetSize);
    result.frame = result.canvasFrame;
    result.subjectRect = input.subjectBounds;
    if (input.mode == KSFitMode::photo || result.canvasFrame.isEmpty())
        return result;
    const QSizeF proportions = result.canvasFrame.size();

    if (!placesHead(input.preset, input.mode) || !input.faces)
        return plainFit(input, proportions, result);
    const KSFaceFinder::Result &faces = *input.faces;
    if (!faces.ok())
        result.notice = Notice::finderFailed;
    else if (faces.heads.isEmpty())
        result.notice = Notice::noFace;
    else if (faces.heads.size() > 1)
        result.notice = Notice::severalFaces;
    if (result.notice != Notice::none)
        return plainFit(input, proportions, result);

    const KSHeadMeasures &head = faces.heads.first();
    const std::optional<KSFramingGeometry::IdPlacement> placement = KSFramingGeometry::idFrame(
        head, *input.preset.idRule, input.preset.printSizeMm, double(input.preset.height));
    if (!placement || placement->headTooSmall()) {
        result.notice = Notice::headTooSmall;
        return plainFit(input, proportions, result);
    }
    // The rule's placement stands; within its ranges, a body the photo cut
    // off at the bottom is brought down to the frame's bottom edge.
    const QRectF frame = input.cutEdges.testFlag(Qt::BottomEdge)
        ? KSFramingGeometry::raisedIdFrame(*placement, head, *input.preset.idRule, input.preset.printSizeMm,
                                           double(input.preset.height), input.subjectBounds.bottom())
              .frame
        : placement->frame;
    result.frame = frame;
    result.subjectRect = KSFramingGeometry::mapBetweenFrames(input.subjectBounds, frame, result.canvasFrame);
    result.head = head;
    return result;
}

QString noticeText(Notice notice)
{
    switch (notice) {
    case Notice::none: return {};
    case Notice::noFace: return CommLang::GetAppLang(QStringLiteral("NoFaceNotice"));
    case Notice::severalFaces: return CommLang::GetAppLang(QStringLiteral("SeveralFacesNotice"));
    case Notice::headTooSmall: return CommLang::GetAppLang(QStringLiteral("HeadTooSmallNotice"));
    case Notice::finderFailed: return CommLang::GetAppLang(QStringLiteral("FaceFinderFailedNotice"));
    }
    return {};
}

QString fitModeName(KSFitMode mode)
{
    return mode == KSFitMode::photo ? QStringLiteral("photo") : QStringLiteral("subject");
}

std::optional<KSFitMode> fitModeFromName(const QString &name)
{
    for (KSFitMode mode : {KSFitMode::subject, KSFitMode::photo}) {
        if (fitModeName(mode).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return mode;
    }
    return std::nullopt;
}

namespace {
const QString kFitModeKey = QStringLiteral("kSizeFitMode");
}

KSFitMode storedFitMode()
{
    return fitModeFromName(KSUserDefaultKit::getFromUserDefaults_NSString(kFitModeKey)).value_or(KSFitMode::subject);
}

void storeFitMode(KSFitMode mode)
{
    KSUserDefaultKit::saveToUserDefaultsForKey(kFitModeKey, fitModeName(mode));
}

} // namespace KSFraming
