#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>

// Size limits, mask compositing and background compositing. Stateless and
// safe on any thread; every call owns its buffers.
class KSPhotoRenderTools
{
public:
    // The size a picture of `size` gets under the limit `maxImageSize`: the
    // side that exceeds most becomes exactly its maximum, the other shrinks in
    // proportion, unrounded. A size within the limit comes back unchanged.
    [[nodiscard]] static QSizeF zipSize(const QSizeF &size, const QSizeF &maxImageSize);

    // The same picture when it fits the limit, else a reduced copy of the
    // size zipSize() gives (rounded to whole pixels). Never enlarges.
    [[nodiscard]] static QImage zipInputImage(const QImage &image, const QSizeF &maxImageSize);

    // The cut-out as TIFF data (straight alpha), or empty data on failure.
    // Pass the original by std::move when it is no longer needed: the
    // compositing then reuses its pixels instead of copying them.
    [[nodiscard]] static QByteArray originalImage(QImage original, const QImage &grayImage);
    [[nodiscard]] static QByteArray originalImage(QImage original, const QImage &grayImage,
                                                  bool needManualChangeAlphaValue);

    // The cut-out itself, in Format_RGBA8888 (straight alpha, bytes R, G, B,
    // A): the original's colours with the grey mask as alpha. The mask is
    // stretched to the original's pixel size; giving it at its own (smaller)
    // size saves a full-size copy. With `needManualChangeAlphaValue` grey
    // levels below 128 become 0 and above 200 become 255. Where the original
    // has transparency of its own, alpha = mask x alpha / 255. Null when
    // either picture is null or memory runs out.
    [[nodiscard]] static QImage cutoutImage(QImage original, const QImage &grayImage,
                                            bool needManualChangeAlphaValue = false);

    // `picture` drawn into `inputImageRect` on a canvas of `imageSize` filled
    // with `backgroundColor`. The rectangle's origin is the canvas's
    // bottom-left corner, y growing upwards; what falls outside is clipped.
    // The canvas is Format_ARGB32_Premultiplied when the picture has an alpha
    // channel, Format_RGB32 otherwise. A transparent colour leaves the canvas
    // transparent (black without alpha). Null for a canvas under 1 x 1.
    [[nodiscard]] static QImage inputImage(const QImage &picture, const QColor &backgroundColor,
                                           const QSizeF &imageSize, const QRectF &inputImageRect);
};
