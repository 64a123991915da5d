#include "KSBatchLook.h"

#include "KSAppSetting.h"
#include "KSEditDocument.h"
#include "KSMaskedPicture.h"
#include "KSSizePresets.h"
#include "KSUserDefaultKit.h"

#include <QUndoStack>

namespace {

const QString kJpg = QStringLiteral("jpg");
const QString kPng = QStringLiteral("png");

} // namespace

KSBatchLook KSBatchLook::fromSettings()
{
    KSBatchLook look;
    look.preset = KSSizePresets::findItem(QStringLiteral("Source")).value_or(KSEditChangeSizeItem{});
    look.fitMode = KSFraming::storedFitMode();
    const QString format = KSUserDefaultKit::getFromUserDefaults_NSString(KSAppSetting::kOutputFormat, kJpg);
    look.format = format == kPng ? kPng : kJpg;
    look.folder = KSAppSetting::outputDirectory();
    look.maxSide = KSAppSetting::outputSize();
    return look;
}

QString KSBatchLook::outputFormat() const
{
    // JPEG has no transparency, as in the editor's save.
    if (background.isTransparent())
        return kPng;
    return format == kPng ? kPng : kJpg;
}

bool KSBatchLook::drawsLike(const KSBatchLook &other) const
{
    const auto sizeOf = [](const KSBatchLook &look) {
        return look.hasSize() ? QSize(int(look.preset.width), int(look.preset.height)) : QSize();
    };
    // Without a size the fit mode and the margin frame nothing.
    const bool sameFrame = sizeOf(*this) == sizeOf(other) && preset.key == other.preset.key
        && (!hasSize() || (fitMode == other.fitMode && qFuzzyCompare(1.0 + margin, 1.0 + other.margin)));
    // A JPEG and a PNG of a half-clear colour differ.
    return background == other.background && shadow == other.shadow && sameFrame && maxSide == other.maxSide
        && outputFormat() == other.outputFormat();
}

void KSBatchLook::applyTo(KSEditDocument &document) const
{
    document.setBackground(background);
    document.setShadow(shadow);
    if (hasSize()) {
        const std::shared_ptr<KSMaskedPicture> &picture = document.picture();
        if (KSFraming::placesHead(preset, fitMode) && !document.faces() && picture) {
            document.setFaces(
                KSFaceFinder::find(KSMaskedPicture::subjectImage(picture->colours(), picture->mask(), picture->rect())));
        }
        document.frame(preset, fitMode, QString(), margin);
    } else {
        // The cut-out's own canvas, the subject where it lies in it.
        document.setFramingState({KSEditFraming(), QRectF(document.subjectBounds())});
    }
    // The look is where the photo's history starts.
    document.undoStack()->clear();
}
