#pragma once

#include "KSEditBackground.h"
#include "KSEditChangeSizeItem.h"
#include "KSEditShadow.h"
#include "KSFaceFinder.h"
#include "KSFraming.h"

#include <QString>

#include <optional>

class KSEditDocument;

// What is chosen once for a whole batch and given to every photo in it:
// the background and the shadow, the size preset row with its fit mode and margin, the
// output format and the folder. A photo opened from the batch starts from
// it; the export writes every photo with it.
struct KSBatchLook
{
    // Whatever the colour panel offers; copied whole, so that kinds added
    // to the background come along.
    KSEditBackground background;
    // The background panel's shadow, drawn from each photo's own subject.
    KSEditShadow shadow;
    // The size panel's row; 0 x 0 ("Original") keeps the photo's size.
    KSEditChangeSizeItem preset;
    KSFitMode fitMode = KSFitMode::subject;
    // Share of the frame left around a whole subject.
    double margin = KSFraming::kDefaultMargin;
    // "jpg" or "png"; a transparent background is written as PNG whatever it says.
    QString format = QStringLiteral("jpg");
    QString folder;
    // Outputs without a size fit a square of this side, as the editor's save
    // does with the output size setting; 0 keeps the cut-out's pixels.
    int maxSide = 0;

    // The editor's defaults: a clear background, the photo's own size, the
    // stored fit mode, and the output format, folder and size of the
    // settings, as the editor's save reads them. Main thread.
    [[nodiscard]] static KSBatchLook fromSettings();

    [[nodiscard]] bool hasSize() const { return preset.width > 0 && preset.height > 0; }
    // The format a picture is written in: PNG for a transparent background.
    [[nodiscard]] QString outputFormat() const;
    // Whether two looks give the same pixels (the folder and the format aside).
    [[nodiscard]] bool drawsLike(const KSBatchLook &other) const;

    // Puts the background, the shadow and the framing on a document that has just been
    // given its cut-out, without an undo step: the look is where its history
    // starts. An ID size looks for the faces first (here, on the calling
    // thread) unless the document knows them, so that the head is placed by
    // its rule at once. Any thread that owns the document.
    void applyTo(KSEditDocument &document) const;

    friend bool operator==(const KSBatchLook &a, const KSBatchLook &b)
    {
        return a.drawsLike(b) && a.format == b.format && a.folder == b.folder;
    }
};
