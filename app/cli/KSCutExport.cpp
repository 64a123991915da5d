#include "KSCutExport.h"

#include "KSEditDocument.h"
#include "KSMaskedPicture.h"
#include "KSPrintSheet.h"

#include <algorithm>

namespace {

// The editor's document as it opens on this cut-out, given the chosen
// background and size, and what its save would render (without the subject
// picture): the window's save and this one render alike.
// The background and the shadow the options ask for, with the lengths
// typed in pixels turned into the shares the document keeps, now that the
// framing gave the picture's and the subject's sizes.
bool applyLook(KSEditDocument &document, const KSCutOptions &options, const QImage &photo, QString *error)
{
    const KSOutputRender::Request framed = document.renderRequest(0);
    const QSize output = KSOutputRender::outputPixelSize(framed);
    const QRectF region = KSOutputRender::outputRegion(framed);
    const double outputPerCanvas = region.height() > 0 ? output.height() / region.height() : 0.0;
    if (!options.backgroundImage.isEmpty()) {
        QString why;
        const std::optional<KSEditBackground> picture = KSEditBackground::loadPicture(options.backgroundImage, &why);
        if (!picture) {
            if (error)
                *error = QStringLiteral("--background-image: cannot read the picture %1: %2")
                             .arg(options.backgroundImage, why);
            return false;
        }
        document.setBackground(*picture);
    } else if (options.blur) {
        document.setPhotoColours(photo);
        KSEditBackground blurred = KSEditBackground::ofBlurredPhoto();
        if (options.blurRadius)
            blurred.blur = options.blurRadius->shareOf(std::min(output.width(), output.height()));
        document.setBackground(blurred.clamped());
    }
    KSEditShadow shadow = options.shadow;
    const double subjectHeight = document.subjectRect().height() * outputPerCanvas;
    if (options.dropOffsetX && options.dropOffsetY)
        shadow.offset = QPointF(options.dropOffsetX->shareOf(subjectHeight), options.dropOffsetY->shareOf(subjectHeight));
    if (options.dropBlur)
        shadow.dropBlur = options.dropBlur->shareOf(subjectHeight);
    document.setShadow(shadow.clamped());
    return true;
}

bool openDocument(KSEditDocument &document, QImage cutout, const KSCutOptions &options,
                  KSOutputRender::Request *request, KSFraming::Notice *notice, const QImage &photo, QString *error)
{
    if (!document.setCutout(std::move(cutout)))
        return false;
    document.setBackground(KSEditBackground::ofColour(options.background));
    if (options.sizeGiven) {
        if (KSFraming::placesHead(options.preset, options.fit)) {
            const std::shared_ptr<KSMaskedPicture> &picture = document.picture();
            document.setFaces(KSFaceFinder::find(
                KSMaskedPicture::subjectImage(picture->colours(), picture->mask(), picture->rect())));
        }
        document.frame(options.preset, options.fit, QString(), options.margin);
    }
    if (!applyLook(document, options, photo, error))
        return false;
    *request = document.renderRequest(0);
    request->opaque = options.outputFormat() == QLatin1String("jpg");
    if (notice)
        *notice = document.framing().notice;
    return true;
}

} // namespace

KSOutputRender::Request KSCutExport::renderRequest(const QImage &cutout, const KSCutOptions &options,
                                                   KSFraming::Notice *notice, const QImage &photo, QString *error)
{
    KSEditDocument document;
    KSOutputRender::Request request;
    if (openDocument(document, cutout, options, &request, notice, photo, error))
        request.subject = document.subjectMaker()();
    return request;
}

QImage KSCutExport::renderCutout(const QImage &cutout, const KSCutOptions &options, KSFraming::Notice *notice,
                                 const QImage &photo)
{
    return KSOutputRender::renderOutputImage(renderRequest(cutout, options, notice, photo));
}

KSImageWriter::Result KSCutExport::exportCutout(QImage cutout, const KSCutOptions &options, const QString &path,
                                                KSFraming::Notice *notice, const QImage &photo)
{
    const KSImageWriter::Result noPicture{false, QStringLiteral("the picture could not be made (out of memory?)")};
    KSEditDocument document;
    KSOutputRender::Request request;
    QString error;
    if (!openDocument(document, std::move(cutout), options, &request, notice, photo, &error))
        return error.isEmpty() ? noPicture : KSImageWriter::Result{false, error};
    // Sizes and sheets are judged before a pixel is made.
    if (const QString why = KSOutputRender::whyBeyondLimits(request); !why.isEmpty())
        return {false, why};
    if (options.sheet) {
        if (const QString why = KSPrintSheet::whyNoCopyFits(*options.sheet, request.printSizeMm); !why.isEmpty())
            return {false, why};
    }
    QSizeF dotsPerInch = KSOutputRender::dotsPerInch(request);
    const bool png = options.outputFormat() != QLatin1String("jpg");
    const QSize subjectSize = document.subjectBounds().size();
    // At the cut-out's size the picture goes to the encoder a band of rows
    // at a time, read from the document's colours and mask: neither the
    // subject, nor the picture, nor its encoded bytes are held whole.
    if (!options.sheet && KSOutputRender::rendersInBands(request, subjectSize)) {
        const KSOutputRender::SubjectRegion region = document.subjectRegionMaker();
        const auto band = [&](int top, int rows) {
            return KSOutputRender::renderOutputBand(request, subjectSize, region, top, rows);
        };
        const QSize size = KSOutputRender::outputPixelSize(request);
        if (!png)
            return KSImageWriter::writeJpegBands(size, band, path, KSImageWriter::kJpegQuality, dotsPerInch);
        return KSImageWriter::writePngBands(size, KSOutputRender::hasAlpha(request), band, path,
                                            KSImageWriter::kPngLevel, dotsPerInch);
    }
    request.subject = document.subjectMaker()();
    QImage picture = KSOutputRender::renderOutputImage(request);
    request.subject = QImage();
    if (picture.isNull())
        return noPicture;
    if (options.sheet) {
        picture = KSPrintSheet::render(picture, request.printSizeMm, *options.sheet);
        if (picture.isNull())
            return {false, QStringLiteral("the %1 sheet could not be made (out of memory?)").arg(KSPrintSheet::paperName(*options.sheet))};
        dotsPerInch = QSizeF(KSPrintSheet::kDpi, KSPrintSheet::kDpi);
    }
    if (!png)
        return KSImageWriter::writeJpeg(picture, path, KSImageWriter::kJpegQuality, dotsPerInch);
    return KSImageWriter::writePng(picture, path, KSImageWriter::kPngLevel, dotsPerInch);
}
