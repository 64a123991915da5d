#include "KSWebpCheck.h"

#include <QtEndian>

#include <webp/decode.h>

#include <algorithm>
#include <memory>

namespace {

// Encoders flush a few bytes the decoder never needs (libvpx's bool
// coder: four, libwebp's: one or two); a stream that is done this many
// bytes before its end has data it did not use.
constexpr qsizetype kUnusedBytesAllowed = 8;
// The check's output: the picture scaled to fit this side.
constexpr int kCheckSide = 32;

struct ImageChunk
{
    qsizetype end = 0; // where the bitstream's chunk ends in the file
    bool animated = false;
    bool found = false;
};

// The RIFF chunks up to the image's bitstream ("VP8 " or "VP8L").
ImageChunk imageChunk(QByteArrayView file)
{
    ImageChunk chunk;
    if (file.size() < 12 || file.first(4) != QByteArrayView("RIFF") || file.sliced(8, 4) != QByteArrayView("WEBP"))
        return chunk;
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const QByteArrayView type = file.sliced(at, 4);
        const qsizetype size = qFromLittleEndian<quint32>(file.data() + at + 4);
        if (type == QByteArrayView("ANIM")) {
            chunk.animated = true;
            return chunk;
        }
        if (type == QByteArrayView("VP8 ") || type == QByteArrayView("VP8L")) {
            chunk.found = true;
            chunk.end = std::min(file.size(), at + 8 + size);
            return chunk;
        }
        at += 8 + size + (size & 1); // chunks are padded to even sizes
    }
    return chunk;
}

struct OutputFreer
{
    void operator()(WebPDecBuffer *buffer) const { WebPFreeDecBuffer(buffer); }
};

struct IDecoderDeleter
{
    void operator()(WebPIDecoder *decoder) const { WebPIDelete(decoder); }
};

} // namespace

QString KSWebpCheck::damage(QByteArrayView file)
{
    const ImageChunk chunk = imageChunk(file);
    if (chunk.animated || !chunk.found)
        return {};
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return {};
    int width = 0;
    int height = 0;
    if (!WebPGetInfo(reinterpret_cast<const uint8_t *>(file.data()), size_t(file.size()), &width, &height))
        return QStringLiteral("the WebP header cannot be read");
    const double scale = std::min(1.0, double(kCheckSide) / std::max(width, height));
    config.options.use_scaling = 1;
    config.options.scaled_width = std::max(1, int(width * scale));
    config.options.scaled_height = std::max(1, int(height * scale));
    config.output.colorspace = MODE_RGBA;
    // Freed after the decoder that writes into it.
    const std::unique_ptr<WebPDecBuffer, OutputFreer> output(&config.output);
    const std::unique_ptr<WebPIDecoder, IDecoderDeleter> decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder)
        return {};
    const auto *bytes = reinterpret_cast<const uint8_t *>(file.data());
    const qsizetype early = chunk.end - kUnusedBytesAllowed;
    qsizetype fed = 0;
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    if (early > 12) {
        status = WebPIAppend(decoder.get(), bytes, size_t(early));
        fed = early;
    }
    if (status == VP8_STATUS_OK)
        return QStringLiteral("the WebP data decodes to its end before its last bytes");
    if (status == VP8_STATUS_SUSPENDED)
        status = WebPIAppend(decoder.get(), bytes + fed, size_t(file.size() - fed));
    if (status == VP8_STATUS_SUSPENDED)
        return QStringLiteral("the WebP data ends before its picture does");
    if (status != VP8_STATUS_OK)
        return QStringLiteral("the WebP decoder reports error %1").arg(int(status));
    return {};
}
