#include "KSCutExport.h"

#include "KSEditDocument.h"
#include "KSPrintSheet.h"

KSOutputRender::Request KSCutExport::renderRequest(const QImage &cutout, const KSCutOptions &options,
                                                   KSFraming::Notice *notice)
{
    // The editor's document as it opens on this cut-out, given the chosen
    // background and size: the window's save and this one render alike.
    KSEditDocument document;
    KSOutputRender::Request request;
    if (!document.setCutout(cutout))
        return request;
    document.setBackground(KSEditBackground::ofColour(options.background));
    if (options.sizeGiven) {
        if (KSFraming::placesHead(options.preset, options.fit))
            document.setFaces(KSFaceFinder::find(cutout));
        document.frame(options.preset, options.fit, QString(), options.margin);
    }
    request = document.renderRequest(0);
    request.subject = document.subjectMaker()();
    request.opaque = options.outputFormat() == QLatin1String("jpg");
    if (notice)
        *notice = document.framing().notice;
    return request;
}

QImage KSCutExport::renderCutout(const QImage &cutout, const KSCutOptions &options, KSFraming::Notice *notice)
{
    return KSOutputRender::renderOutputImage(renderRequest(cutout, options, notice));
}

KSImageWriter::Result KSCutExport::exportCutout(const QImage &cutout, const KSCutOptions &options, const QString &path,
                                                KSFraming::Notice *notice)
{
    const KSOutputRender::Request request = renderRequest(cutout, options, notice);
    // Sizes and sheets are judged before a pixel is made.
    if (const QString why = KSOutputRender::whyBeyondLimits(request); !why.isEmpty())
        return {false, why};
    if (options.sheet) {
        if (const QString why = KSPrintSheet::whyNoCopyFits(*options.sheet, request.printSizeMm); !why.isEmpty())
            return {false, why};
    }
    QImage picture = KSOutputRender::renderOutputImage(request);
    if (picture.isNull())
        return {false, QStringLiteral("the picture could not be made (out of memory?)")};
    QSizeF dotsPerInch = KSOutputRender::dotsPerInch(request);
    if (options.sheet) {
        picture = KSPrintSheet::render(picture, request.printSizeMm, *options.sheet);
        if (picture.isNull())
            return {false, QStringLiteral("the %1 sheet could not be made (out of memory?)").arg(KSPrintSheet::paperName(*options.sheet))};
        dotsPerInch = QSizeF(KSPrintSheet::kDpi, KSPrintSheet::kDpi);
    }
    if (options.outputFormat() == QLatin1String("jpg"))
        return KSImageWriter::writeJpeg(picture, path, KSImageWriter::kJpegQuality, dotsPerInch);
    return KSImageWriter::writePng(picture, path, KSImageWriter::kPngLevel, dotsPerInch);
}
