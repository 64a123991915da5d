#include "KSBatchThumbnail.h"

#include "KSEditDocument.h"
#include "KSImageLoader.h"
#include "KSPhotoRenderTools.h"

namespace KSBatchThumbnail {

namespace {

// The cut-out is read at twice the thumbnail's side: enough for the framing
// to find the subject's bounds (and an ID size its face) as at full size.
constexpr int kReadFactor = 2;

} // namespace

QImage fromRequest(KSOutputRender::Request request, const QImage &reducedSubject, int side)
{
    if (reducedSubject.isNull() || side <= 0)
        return {};
    request.subject = reducedSubject;
    request.maxSide = side;
    // A size preset's output is exactly its size: the same frame, smaller.
    if (!request.backgroundSize.isEmpty()) {
        request.backgroundSize = KSPhotoRenderTools::zipSize(request.backgroundSize, QSizeF(side, side));
        request.backgroundSize = QSizeF(request.backgroundSize.toSize().expandedTo(QSize(1, 1)));
    }
    request.printSizeMm = QSizeF();
    try {
        return KSOutputRender::renderOutputImage(request);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

QImage make(const QString &cutoutPath, const QString &photoPath, const KSBatchLook &look, int side)
{
    const QSize readSize = QSize(side, side) * kReadFactor;
    KSImageLoader::Result loaded = KSImageLoader::loadReduced(cutoutPath, readSize);
    if (!loaded.ok())
        return {};
    KSEditDocument document;
    if (!document.setCutout(std::move(loaded.image)))
        return {};
    // Elsewhere the photo's colours only touch the subject's softest edges,
    // which a thumbnail does not show: not worth a second read.
    if (look.background.kind == KSEditBackground::Kind::blurredPhoto && !photoPath.isEmpty()) {
        const KSImageLoader::Result photo = KSImageLoader::loadReduced(photoPath, readSize);
        if (photo.ok())
            document.setPhotoColours(photo.image);
    }
    look.applyTo(document);
    KSOutputRender::Request request = document.renderRequest(side);
    request.opaque = look.outputFormat() != QLatin1String("png");
    return fromRequest(request, document.subjectMaker()(), side);
}

} // namespace KSBatchThumbnail
