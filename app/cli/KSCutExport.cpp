#include "KSCutExport.h"

#include "KSOutputRender.h"

QImage KSCutExport::renderCutout(const QImage &cutout, const KSCutOptions &options)
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
    return KSOutputRender::renderOutputImage(request);
}

KSImageWriter::Result KSCutExport::exportCutout(const QImage &cutout, const KSCutOptions &options, const QString &path)
{
    const QImage picture = renderCutout(cutout, options);
    if (picture.isNull())
        return {false, QStringLiteral("the picture could not be made (out of memory?)")};
    if (options.outputFormat() == QLatin1String("jpg"))
        return KSImageWriter::writeJpeg(picture, path);
    return KSImageWriter::writePng(picture, path);
}
