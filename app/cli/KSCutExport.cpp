#include "KSCutExport.h"

#include "KSCutImageAlpha.h"
#include "KSFramingGeometry.h"
#include "KSPrintSheet.h"

KSOutputRender::Request KSCutExport::renderRequest(const QImage &cutout, const KSCutOptions &options,
                                                   KSFraming::Notice *notice)
{
    // The whole cut-out is the subject, where it lies: the editor's picture
    // before the user moves anything.
    KSOutputRender::Request request;
    request.subject = cutout;
    request.imageSize = QSizeF(cutout.size());
    request.subjectRect = QRectF(cutout.rect());
    request.backgroundColor = options.background;
    request.backgroundSize = options.size;
    request.opaque = options.outputFormat() == QLatin1String("jpg");
    if (options.preset.hasPrintSize())
        request.printSizeMm = options.preset.printSizeMm;
    if (!options.sizeGiven)
        return request;

    KSFraming::Input input;
    input.photoSize = QSizeF(cutout.size());
    input.subjectBounds = KSCutImageAlpha::getProperImage(cutout);
    input.preset = options.preset;
    input.mode = options.fit;
    input.margin = options.margin;
    if (KSFraming::placesHead(options.preset, options.fit))
        input.faces = KSFaceFinder::find(cutout);
    const KSFraming::Result framed = KSFraming::frame(input);
    // The cut-out moves and scales with its subject.
    request.subjectRect = KSFramingGeometry::mapBetweenFrames(QRectF(cutout.rect()), framed.frame, framed.canvasFrame);
    if (notice)
        *notice = framed.notice;
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
    QImage picture = KSOutputRender::renderOutputImage(request);
    if (picture.isNull())
        return {false, QStringLiteral("the picture could not be made (out of memory?)")};
    QSizeF dotsPerInch = KSOutputRender::dotsPerInch(request);
    if (options.sheet) {
        picture = KSPrintSheet::render(picture, request.printSizeMm, *options.sheet);
        if (picture.isNull())
            return {false, QStringLiteral("no copy of the photo fits on a %1 sheet").arg(KSPrintSheet::paperName(*options.sheet))};
        dotsPerInch = QSizeF(KSPrintSheet::kDpi, KSPrintSheet::kDpi);
    }
    if (options.outputFormat() == QLatin1String("jpg"))
        return KSImageWriter::writeJpeg(picture, path, KSImageWriter::kJpegQuality, dotsPerInch);
    return KSImageWriter::writePng(picture, path, KSImageWriter::kPngLevel, dotsPerInch);
}
