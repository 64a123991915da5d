#include "PhotoFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>

#include <libheif/heif.h>

#include <cstring>
#include <memory>

namespace PhotoFixtures {

QByteArray encoded(const QImage &image, const char *format, int quality)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(image) ? data : QByteArray();
}

QByteArray progressiveJpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    return writer.write(image) ? bytes : QByteArray();
}

QByteArray jpegWithOrientation(const QImage &image, int orientation)
{
    QByteArray jpeg = encoded(image, "jpeg");
    if (orientation == 0 || jpeg.isEmpty())
        return jpeg;
    const QByteArray exif = QByteArray("Exif\0\0", 6)
        + QByteArray::fromHex("49492a0008000000" // little-endian TIFF header, first IFD at 8
                              "0100"             // one entry
                              "12010300" "01000000") // orientation, SHORT, count 1
        + char(orientation) + QByteArray(3, '\0') // value, padded
        + QByteArray(4, '\0');                    // no next IFD
    const int length = int(exif.size()) + 2;
    const QByteArray app1 = QByteArray::fromHex("ffe1") + char(length >> 8) + char(length & 0xFF) + exif;
    // Qt writes SOI then the JFIF APP0 segment.
    if (!jpeg.startsWith(QByteArray::fromHex("ffd8ffe0")))
        return {};
    const int app0End = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    return jpeg.insert(app0End, app1);
}

bool writeHeic(const QImage &source, const QString &path, int orientation)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    heif_image *raw = nullptr;
    if (heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &raw).code)
        return false;
    const std::unique_ptr<heif_image, decltype(&heif_image_release)> image(raw, heif_image_release);
    if (heif_image_add_plane(raw, heif_channel_interleaved, rgb.width(), rgb.height(), 8).code)
        return false;
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(3 * rgb.width()));

    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
    heif_encoder *encoder = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoder).code)
        return false;
    heif_encoder_set_lossy_quality(encoder, 95);
    heif_encoding_options *options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    const heif_error encodedOk = heif_context_encode_image(context.get(), raw, encoder, options, nullptr);
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    return encodedOk.code == heif_error_Ok
        && heif_context_write_to_file(context.get(), QFile::encodeName(path).constData()).code == heif_error_Ok;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QImage standingSubject(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(232, 234, 238));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 60, 40));
    painter.drawEllipse(QRectF(size.width() * 0.38, size.height() * 0.15, size.width() * 0.24, size.height() * 0.35));
    painter.setBrush(QColor(30, 70, 130));
    painter.drawRect(QRectF(size.width() * 0.25, size.height() * 0.5, size.width() * 0.5, size.height() * 0.5));
    painter.end();
    return image;
}

QImage waistUpCutout(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const double w = size.width(), h = size.height();
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(220, 170, 140));
    painter.drawEllipse(QRectF(0.425 * w, 0.2 * h, 0.15 * w, 0.25 * h));
    painter.fillRect(QRectF(0.3 * w, 0.45 * h, 0.4 * w, 0.55 * h), QColor::fromRgb(kTorsoColour));
    return image;
}

} // namespace PhotoFixtures
