#include "KSImageWriter.h"

#include "KSWriteFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <spng.h>

#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <memory>

namespace {

KSImageWriter::Result fail(const QString &error) { return {false, error}; }

// QSaveFile writes to a temporary name and renames on commit. It is flushed
// first, while what was written still takes its room, so that a full disk
// is told apart from other failures.
KSImageWriter::Result commit(QSaveFile &file)
{
    if (!file.flush()) {
        const QString why = KSWriteFailure::describe(file.fileName(), file.errorString());
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit())
        return fail(KSWriteFailure::describe(file.fileName(), file.errorString()));
    return {true, {}};
}

int spngWrite(spng_ctx *, void *user, void *data, size_t length)
{
    auto *file = static_cast<QSaveFile *>(user);
    return file->write(static_cast<const char *>(data), qint64(length)) == qint64(length) ? 0 : SPNG_IO_ERROR;
}

struct SpngDeleter
{
    void operator()(spng_ctx *ctx) const { spng_ctx_free(ctx); }
};

constexpr double kMetresPerInch = 0.0254;

bool hasResolution(const QSizeF &dotsPerInch)
{
    return dotsPerInch.width() > 0 && dotsPerInch.height() > 0 && dotsPerInch.width() < 1e6
           && dotsPerInch.height() < 1e6;
}

int dotsPerMetre(double dotsPerInch)
{
    return qRound(dotsPerInch / kMetresPerInch);
}

// libjpeg's failures jump back to the encoder with their text.
struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX] = {};
};

void jpegFailed(j_common_ptr info)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    info->err->format_message(info, errors->text);
    std::longjmp(errors->jump, 1);
}

// libjpeg's output in blocks into the file.
struct JpegFile
{
    jpeg_destination_mgr manager;
    QSaveFile *file;
    char block[64 * 1024];
};

void jpegStart(j_compress_ptr info)
{
    auto *out = reinterpret_cast<JpegFile *>(info->dest);
    out->manager.next_output_byte = reinterpret_cast<JOCTET *>(out->block);
    out->manager.free_in_buffer = sizeof(out->block);
}

boolean jpegBlockFull(j_compress_ptr info)
{
    auto *out = reinterpret_cast<JpegFile *>(info->dest);
    if (out->file->write(out->block, sizeof(out->block)) != qint64(sizeof(out->block)))
        ERREXIT(info, JERR_FILE_WRITE);
    jpegStart(info);
    return TRUE;
}

void jpegEnd(j_compress_ptr info)
{
    auto *out = reinterpret_cast<JpegFile *>(info->dest);
    const qint64 rest = qint64(sizeof(out->block) - out->manager.free_in_buffer);
    if (out->file->write(out->block, rest) != rest)
        ERREXIT(info, JERR_FILE_WRITE);
}

} // namespace

KSImageWriter::Result KSImageWriter::writePng(const QImage &image, const QString &path, int level, QSizeF dotsPerInch)
{
    if (image.isNull())
        return fail(QStringLiteral("no picture to write"));
    // Views of the picture's own rows: nothing is copied before conversion.
    const auto rowsOf = [&image](int top, int rows) {
        return QImage(image.constScanLine(top), image.width(), rows, image.bytesPerLine(), image.format());
    };
    return writePngBands(image.size(), image.hasAlphaChannel(), rowsOf, path, level, dotsPerInch);
}

KSImageWriter::Result KSImageWriter::writePngBands(const QSize &size, bool alpha, const Band &band,
                                                   const QString &path, int level, QSizeF dotsPerInch)
{
    if (size.isEmpty() || !band)
        return fail(QStringLiteral("no picture to write"));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));

    std::unique_ptr<spng_ctx, SpngDeleter> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx)
        return fail(QStringLiteral("PNG encoder unavailable"));

    spng_ihdr ihdr{};
    ihdr.width = uint32_t(size.width());
    ihdr.height = uint32_t(size.height());
    ihdr.bit_depth = 8;
    ihdr.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;

    spng_set_png_stream(ctx.get(), spngWrite, &file);
    spng_set_ihdr(ctx.get(), &ihdr);
    if (hasResolution(dotsPerInch)) {
        spng_phys phys{};
        phys.ppu_x = uint32_t(dotsPerMetre(dotsPerInch.width()));
        phys.ppu_y = uint32_t(dotsPerMetre(dotsPerInch.height()));
        phys.unit_specifier = 1; // metre
        spng_set_phys(ctx.get(), &phys);
    }
    spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, qBound(0, level, 9));
    // zlib's default strategy; spng's own default (filtered) is slower here.
    spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_STRATEGY, 0);
    // Adaptive filtering over all five filters costs much time for little gain
    // on photographs; SUB and UP catch most of it.
    spng_set_option(ctx.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_SUB | SPNG_FILTER_CHOICE_UP);

    int rc = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    if (rc != 0)
        return fail(QStringLiteral("PNG encoder: %1").arg(QString::fromUtf8(spng_strerror(rc))));

    // Converted in bands so that a 24-megapixel picture needs no second
    // full-size copy, while Qt's vectorised conversion still does the work.
    const QImage::Format rowFormat = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    const size_t rowBytes = size_t(size.width()) * (alpha ? 4 : 3);
    constexpr int kBandRows = 128;
    for (int top = 0; top < size.height(); top += kBandRows) {
        const int rows = std::min(kBandRows, size.height() - top);
        QImage part = band(top, rows);
        if (part.size() != QSize(size.width(), rows))
            return fail(QStringLiteral("the picture could not be made (out of memory?)"));
        if (part.format() != rowFormat)
            part = std::move(part).convertToFormat(rowFormat);
        for (int y = 0; y < rows; ++y) {
            rc = spng_encode_row(ctx.get(), part.constScanLine(y), rowBytes);
            if (rc != 0 && rc != SPNG_EOI) {
                const QString why = file.error() != QFileDevice::NoError ? file.errorString()
                                                                         : QString::fromUtf8(spng_strerror(rc));
                const QString text = KSWriteFailure::describe(path, why, qint64(rowBytes));
                file.cancelWriting();
                return fail(text);
            }
        }
    }
    return commit(file);
}

KSImageWriter::Result KSImageWriter::writeJpegBands(const QSize &size, const Band &band, const QString &path,
                                                    int quality, QSizeF dotsPerInch)
{
    if (size.isEmpty() || !band)
        return fail(QStringLiteral("no picture to write"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));

    // Everything that lives across a failure's jump is made before it, and
    // what changes after it lives on the heap, never in a register.
    jpeg_compress_struct info{};
    JpegErrors errors;
    const auto out = std::make_unique<JpegFile>();
    out->file = &file;
    const auto part = std::make_unique<QImage>();
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        const QString why =
            file.error() != QFileDevice::NoError ? file.errorString() : QString::fromLocal8Bit(errors.text);
        file.cancelWriting();
        return fail(KSWriteFailure::describe(path, why));
    }
    jpeg_create_compress(&info);
    out->manager.init_destination = jpegStart;
    out->manager.empty_output_buffer = jpegBlockFull;
    out->manager.term_destination = jpegEnd;
    info.dest = &out->manager;
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, qBound(0, quality, 100), TRUE);
    // As Qt's writer: the print resolution, else the default a picture has.
    const QSizeF density = hasResolution(dotsPerInch)
        ? dotsPerInch
        : QSizeF(QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX() * kMetresPerInch,
                 QImage(1, 1, QImage::Format_RGB32).dotsPerMeterY() * kMetresPerInch);
    info.density_unit = 1; // dots per inch
    info.X_density = UINT16(qBound(1, qRound(density.width()), 65535));
    info.Y_density = UINT16(qBound(1, qRound(density.height()), 65535));
    jpeg_start_compress(&info, TRUE);
    constexpr int kBandRows = 128;
    for (int top = 0; top < size.height(); top += kBandRows) {
        const int rows = std::min(kBandRows, size.height() - top);
        *part = band(top, rows);
        if (part->size() != QSize(size.width(), rows)) {
            jpeg_destroy_compress(&info);
            return fail(QStringLiteral("the picture could not be made (out of memory?)"));
        }
        *part = std::move(*part).convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < rows; ++y) {
            JSAMPROW row = const_cast<JSAMPROW>(part->constScanLine(y));
            jpeg_write_scanlines(&info, &row, 1);
        }
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return commit(file);
}

KSImageWriter::Result KSImageWriter::writeJpeg(const QImage &image, const QString &path, int quality, QSizeF dotsPerInch)
{
    QImage opaque = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
    // Qt's JPEG writer puts the image's resolution into the JFIF header.
    if (hasResolution(dotsPerInch)) {
        opaque.setDotsPerMeterX(dotsPerMetre(dotsPerInch.width()));
        opaque.setDotsPerMeterY(dotsPerMetre(dotsPerInch.height()));
    }
    return writeWithQt(opaque, path, "jpg", quality);
}

KSImageWriter::Result KSImageWriter::writeWithQt(const QImage &image, const QString &path, const char *format, int quality)
{
    if (image.isNull())
        return fail(QStringLiteral("no picture to write"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    QImageWriter writer(&file, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image)) {
        const QString text = KSWriteFailure::describe(
            path, file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString());
        file.cancelWriting();
        return fail(text);
    }
    return commit(file);
}
