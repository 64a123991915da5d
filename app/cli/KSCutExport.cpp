#include "KSCutExport.h"

#include "KSEditDocument.h"
#include "KSMaskedPicture.h"
#include "KSPrintSheet.h"

namespace {

// The editor's document as it opens on this cut-out, given the chosen
// background and size, and what its save would render (without the subject
// picture): the window's save and this one render alike.
bool openDocument(KSEditDocument &document, QImage cutout, const KSCutOptions &options,
                  KSOutputRender::Request *request, KSFraming::Notice *notice)
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
    *request = document.renderRequest(0);
    request->opaque = options.outputFormat() == QLatin1String("jpg");
    if (notice)
        *notice = document.framing().notice;
    return true;
}

} // namespace

KSOutputRender::Request KSCutExport::renderRequest(const QImage &cutout, const KSCutOptions &options,
                                                   KSFraming::Notice *notice)
{
    KSEditDocument document;
    KSOutputRender::Request request;
    if (openDocument(document, cutout, options, &request, notice))
        request.subject = document.subjectMaker()();
    return request;
}

QImage KSCutExport::renderCutout(const QImage &cutout, const KSCutOptions &options, KSFraming::Notice *notice)
{
    return KSOutputRender::renderOutputImage(renderRequest(cutout, options, notice));
}

KSImageWriter::Result KSCutExport::exportCutout(QImage cutout, const KSCutOptions &options, const QString &path,
                                                KSFraming::Notice *notice)
{
    const KSImageWriter::Result noPicture{false, QStringLiteral("the picture could not be made (out of memory?)")};
    KSEditDocument document;
    KSOutputRender::Request request;
    if (!openDocument(document, std::move(cutout), options, &request, notice))
        return noPicture;
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
