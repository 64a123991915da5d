#include "KSDeepPng.h"

#include <QColorSpace>
#include <QFile>

#include <spng.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Failure = KSImageLoader::Failure;
using Result = KSImageLoader::Result;

// Ancillary chunks larger than this are not read (a colour profile is a
// few kilobytes).
constexpr size_t kMaxChunkBytes = 16u << 20;

struct SpngDeleter
{
    void operator()(spng_ctx *ctx) const { spng_ctx_free(ctx); }
};
struct FileCloser
{
    void operator()(FILE *file) const { std::fclose(file); }
};

Result failed(Failure failure, const QString &error)
{
    Result result;
    result.failure = failure;
    result.error = error;
    return result;
}

inline int eightBits(quint16 value)
{
    return (value + 128) / 257;
}

// What the file says of its colours: an ICC profile, sRGB, or a gamma.
QColorSpace colourSpaceOf(spng_ctx *ctx)
{
    spng_iccp iccp{};
    if (spng_get_iccp(ctx, &iccp) == 0 && iccp.profile && iccp.profile_len > 0)
        return QColorSpace::fromIccProfile(QByteArray(iccp.profile, qsizetype(iccp.profile_len)));
    uint8_t intent = 0;
    if (spng_get_srgb(ctx, &intent) == 0)
        return QColorSpace(QColorSpace::SRgb);
    double gamma = 0;
    if (spng_get_gama(ctx, &gamma) == 0 && gamma > 0)
        return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, float(1.0 / gamma));
    return {};
}

} // namespace

bool KSDeepPng::handles(const QByteArray &head)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    return head.size() > 28 && head.startsWith(signature) && head.mid(12, 4) == "IHDR" && quint8(head[24]) == 16
           && head[28] == 0;
}

Result KSDeepPng::load(const QString &path)
{
    const std::unique_ptr<FILE, FileCloser> file(std::fopen(QFile::encodeName(path).constData(), "rb"));
    const std::unique_ptr<spng_ctx, SpngDeleter> ctx(spng_ctx_new(0));
    if (!file || !ctx)
        return failed(Failure::Missing, QStringLiteral("cannot open %1").arg(path));
    spng_set_png_file(ctx.get(), file.get());
    spng_set_chunk_limits(ctx.get(), kMaxChunkBytes, kMaxChunkBytes);
    const auto damaged = [&path](int rc) {
        return failed(Failure::Damaged,
                      QStringLiteral("%1 is damaged or incomplete: %2").arg(path, QString::fromUtf8(spng_strerror(rc))));
    };

    spng_ihdr ihdr{};
    int rc = spng_get_ihdr(ctx.get(), &ihdr);
    if (rc != 0)
        return damaged(rc);
    const QSize size(int(std::min<uint32_t>(ihdr.width, INT_MAX)), int(std::min<uint32_t>(ihdr.height, INT_MAX)));
    if (qint64(size.width()) * size.height() > KSImageLoader::kMaxPixels)
        return failed(Failure::TooLarge, QStringLiteral("%1 is %2 x %3 pixels, more than a picture may have")
                                              .arg(path).arg(size.width()).arg(size.height()));
    rc = spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA16, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
    if (rc != 0)
        return damaged(rc);
    spng_trns trns{};
    const bool alpha = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA
                       || ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA || spng_get_trns(ctx.get(), &trns) == 0;

    QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return failed(Failure::TooLarge, QStringLiteral("not enough memory to decode %1").arg(path));
    // One row of 16-bit samples at a time, straight into the 8-bit picture.
    std::vector<quint16> row(size_t(size.width()) * 4);
    bool allOpaque = true;
    for (int y = 0; y < size.height(); ++y) {
        rc = spng_decode_row(ctx.get(), row.data(), row.size() * sizeof(quint16));
        if (rc != 0 && !(rc == SPNG_EOI && y == size.height() - 1))
            return damaged(rc);
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const quint16 *samples = row.data();
        for (int x = 0; x < size.width(); ++x, samples += 4) {
            const int opacity = alpha ? eightBits(samples[3]) : 255;
            allOpaque = allOpaque && opacity == 255;
            line[x] = qRgba(eightBits(samples[0]), eightBits(samples[1]), eightBits(samples[2]), opacity);
        }
    }
    // An alpha channel that is opaque throughout (as exporters often write)
    // is no alpha: every step after this one then needs no premultiplied copy.
    if (alpha && allOpaque)
        image.reinterpretAsFormat(QImage::Format_RGB32);
    image.setColorSpace(colourSpaceOf(ctx.get()));
    Result result;
    result.image = std::move(image);
    return result;
}
