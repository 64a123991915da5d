#include "KSImageLoader.h"

#include "KSCheckedHevc.h"
#include "KSDecoderWarnings.h"
#include "KSDeepPng.h"
#include "KSHeifHeader.h"
#include "KSImageExtension.h"
#include "KSPhotoRenderTools.h"
#include "KSPictureCompleteness.h"
#include "KSWebpCheck.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

namespace {

using Failure = KSImageLoader::Failure;
using Result = KSImageLoader::Result;
using SizeResult = KSImageLoader::SizeResult;

// Qt refuses pictures above 128 MB of pixels by default, which an ordinary
// 8000 x 6000 photo exceeds. Our pixel limit, checked from the header, is the
// real guard; this leaves room for 16-bit channels at that limit.
constexpr int kQtAllocationLimitMB = 2048;

void raiseQtAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(kQtAllocationLimitMB); });
}

template<typename R>
R failed(Failure failure, const QString &error)
{
    R result;
    result.failure = failure;
    result.error = error;
    return result;
}

bool exceedsLimit(const QSize &size)
{
    return qint64(size.width()) * qint64(size.height()) > KSImageLoader::kMaxPixels;
}

QString tooLargeText(const QString &path, const QSize &size)
{
    return QStringLiteral("%1 is %2 x %3 pixels, more than the %4 megapixels a picture may have")
        .arg(path)
        .arg(size.width())
        .arg(size.height())
        .arg(KSImageLoader::kMaxPixels / 1'000'000);
}

QString damagedText(const QString &path, const QString &why)
{
    return QStringLiteral("%1 is damaged or incomplete: %2").arg(path, why);
}

QString outOfMemoryText(const QString &path)
{
    return QStringLiteral("not enough memory to decode %1").arg(path);
}

// Pictures keep one pixel per point and sRGB colours from here on.
Result finished(QImage image, const QString &path)
{
    if (image.isNull())
        return failed<Result>(Failure::TooLarge, outOfMemoryText(path));
    if (exceedsLimit(image.size()))
        return failed<Result>(Failure::TooLarge, tooLargeText(path, image.size()));
    image.setDevicePixelRatio(1.0);
    const QColorSpace colorSpace = image.colorSpace();
    if (colorSpace.isValid() && colorSpace != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    Result result;
    result.image = std::move(image);
    return result;
}

// ---- The first bytes: does the file exist, hold anything, is it HEIF?

struct Probe
{
    Failure failure = Failure::None;
    QString error;
    bool heif = false;
    bool deepPng = false; // 16 bits a channel, not interlaced
};

Probe probe(const QString &path)
{
    Probe result;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        result.failure = Failure::Missing;
        result.error = QStringLiteral("no picture file at %1").arg(path);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.failure = Failure::Missing;
        result.error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return result;
    }
    const QByteArray head = file.read(64);
    if (head.isEmpty()) {
        result.failure = Failure::Empty;
        result.error = QStringLiteral("%1 is empty").arg(path);
        return result;
    }
    if (head.size() >= 12) {
        const heif_filetype_result type =
            heif_check_filetype(reinterpret_cast<const uint8_t *>(head.constData()), int(head.size()));
        result.heif = type == heif_filetype_yes_supported || type == heif_filetype_yes_unsupported;
    }
    result.deepPng = KSDeepPng::handles(head);
    return result;
}

// ---- HEIC through libheif

// What a grid's decoded picture may exceed its cropped size by: one tile of
// the sizes phones write.
constexpr int kHeifTileMargin = 512;

using HeifContext = std::unique_ptr<heif_context, decltype(&heif_context_free)>;
using HeifHandle = std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)>;
using HeifImage = std::unique_ptr<heif_image, decltype(&heif_image_release)>;

struct HeifPrimary
{
    HeifContext context{nullptr, heif_context_free};
    HeifHandle handle{nullptr, heif_image_handle_release};
    Failure failure = Failure::None;
    QString error;
    QSize size; // with the file's rotation applied
};

QString heifErrorText(const QString &path, const heif_error &error)
{
    return QStringLiteral("cannot decode %1: %2").arg(path, QString::fromUtf8(error.message ? error.message : ""));
}

HeifPrimary openHeif(const QString &path)
{
    HeifPrimary primary;
    // A size beyond ours is refused as such before libheif, which would
    // fail on it with an error that reads like damage.
    QFile file(path);
    const std::optional<QSize> declared =
        file.open(QIODevice::ReadOnly) ? KSHeifHeader::declaredSize(file) : std::nullopt;
    if (declared && exceedsLimit(*declared)) {
        primary.failure = Failure::TooLarge;
        primary.error = tooLargeText(path, *declared);
        return primary;
    }
    KSCheckedHevc::install();
    primary.context.reset(heif_context_alloc());
    if (!primary.context) {
        primary.failure = Failure::TooLarge;
        primary.error = outOfMemoryText(path);
        return primary;
    }
    heif_error error = heif_context_read_from_file(primary.context.get(), QFile::encodeName(path).constData(), nullptr);
    heif_image_handle *handle = nullptr;
    if (error.code == heif_error_Ok)
        error = heif_context_get_primary_image_handle(primary.context.get(), &handle);
    primary.handle.reset(handle);
    if (error.code != heif_error_Ok || !handle) {
        // The file says it is HEIF: unless it uses what libheif cannot
        // read, its boxes are cut off or broken.
        const bool unsupported = error.code == heif_error_Unsupported_filetype
                                 || error.code == heif_error_Unsupported_feature;
        primary.failure = unsupported ? Failure::Undecodable : Failure::Damaged;
        primary.error = unsupported ? heifErrorText(path, error)
                                    : damagedText(path, QString::fromUtf8(error.message ? error.message : ""));
        return primary;
    }
    primary.size = QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
    if (primary.size.isEmpty()) {
        primary.failure = Failure::Undecodable;
        primary.error = QStringLiteral("%1 has no pixels").arg(path);
    } else if (exceedsLimit(primary.size)) {
        primary.failure = Failure::TooLarge;
        primary.error = tooLargeText(path, primary.size);
    }
    return primary;
}

// Phone photos are usually Display P3, stated as an ICC profile or as nclx
// code points; without it their colours would come out dull.
QColorSpace heifColorSpace(const heif_image_handle *handle)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        QByteArray icc(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), Qt::Uninitialized);
        if (!icc.isEmpty() && heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
            return QColorSpace::fromIccProfile(icc);
        return {};
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx *nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
            return {};
        const bool displayP3 = nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1
            && nclx->transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1;
        heif_nclx_color_profile_free(nclx);
        return displayP3 ? QColorSpace(QColorSpace::DisplayP3) : QColorSpace();
    }
    default:
        return {};
    }
}

Result loadHeif(const QString &path)
{
    const HeifPrimary primary = openHeif(path);
    if (primary.failure != Failure::None)
        return failed<Result>(primary.failure, primary.error);

    const heif_image_handle *handle = primary.handle.get();
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle);
    heif_image *decoded = nullptr;
    // The image may not come out much larger than its header said: a grid
    // can declare a far larger picture than its item, which libheif would
    // allocate and fill tile by tile before anyone could refuse it. The
    // header's size is after the crop, so a tile and an eighth more pass.
    const int side = std::max(primary.size.width(), primary.size.height());
    heif_context_set_maximum_image_size_limit(primary.context.get(), side + side / 8 + kHeifTileMargin);
    using DecodingOptions = std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)>;
    const DecodingOptions options(heif_decoding_options_alloc(), heif_decoding_options_free);
    // Data the decoder finds damaged is an error, not a picture with holes.
    if (options && options->version >= 3)
        options->strict_decoding = 1;
    // Decoding applies the file's rotation, mirroring and crop.
    const heif_error error =
        heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get());
    const HeifImage pixels(decoded, heif_image_release);
    if (error.code != heif_error_Ok || !pixels)
        return failed<Result>(Failure::Damaged, damagedText(path, QString::fromUtf8(error.message ? error.message : "")));

    int stride = 0;
    const uint8_t *plane = heif_image_get_plane_readonly(pixels.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(pixels.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(pixels.get(), heif_channel_interleaved);
    if (!plane || width < 1 || height < 1 || stride < 4 * width)
        return failed<Result>(Failure::Undecodable, QStringLiteral("cannot decode %1: no pixel data").arg(path));
    if (exceedsLimit(QSize(width, height)))
        return failed<Result>(Failure::TooLarge, tooLargeText(path, QSize(width, height)));

    const QImage::Format format = !alpha        ? QImage::Format_RGBX8888
                                  : premultiplied ? QImage::Format_RGBA8888_Premultiplied
                                                  : QImage::Format_RGBA8888;
    QImage image(width, height, format);
    if (image.isNull())
        return failed<Result>(Failure::TooLarge, outOfMemoryText(path));
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        std::memcpy(line, plane + qint64(y) * stride, size_t(4) * size_t(width));
        if (!alpha) {
            for (int x = 0; x < width; ++x)
                line[4 * x + 3] = 0xFF;
        }
    }
    image.setColorSpace(heifColorSpace(handle));
    return finished(std::move(image), path);
}

// ---- Everything else through Qt

struct QtReader
{
    std::unique_ptr<QImageReader> reader;
    Failure failure = Failure::None;
    QString error;
    QSize rawSize; // as stored, before the orientation; invalid when unknown
    bool rotated = false;

    QSize shownSize() const { return rotated ? rawSize.transposed() : rawSize; }
};

bool isOneOfOurFormats(const QByteArray &format)
{
    static const QByteArray formats[] = {"jpeg", "jpg", "png", "bmp", "tiff", "tif", "webp"};
    for (const QByteArray &known : formats)
        if (format == known)
            return true;
    return false;
}

QtReader openWithQt(const QString &path)
{
    raiseQtAllocationLimit();
    QtReader open;
    open.reader = std::make_unique<QImageReader>(path);
    QImageReader &reader = *open.reader;
    // Cut-outs hold TIFF under the photo's own name, the editor's crops under
    // a ".png" one: trust the bytes only.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray format = reader.canRead() ? reader.format().toLower() : QByteArray();
    if (!isOneOfOurFormats(format)) {
        open.failure = Failure::Undecodable;
        open.error = QStringLiteral("%1 is not a picture we can read (%2)").arg(path, reader.errorString());
        return open;
    }
    open.rawSize = reader.size();
    open.rotated = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    if (open.rawSize.isValid() && exceedsLimit(open.rawSize)) {
        open.failure = Failure::TooLarge;
        open.error = tooLargeText(path, open.shownSize());
        return open;
    }
    QFile bytes(path);
    const QString missing = bytes.open(QIODevice::ReadOnly)
                                ? KSPictureCompleteness::missingData(bytes, format)
                                : QString();
    if (!missing.isEmpty()) {
        open.failure = Failure::Damaged;
        open.error = damagedText(path, missing);
    }
    return open;
}

// libwebp decodes a WebP whose data was changed into a picture without
// complaint: it is checked on its own, before the full decode.
QString webpDamage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    uchar *mapped = file.map(0, file.size());
    if (!mapped)
        return KSWebpCheck::damage(file.readAll());
    const QString why = KSWebpCheck::damage(QByteArrayView(mapped, file.size()));
    file.unmap(mapped);
    return why;
}

Result readWithQt(QtReader &open, const QString &path)
{
    if (open.reader->format().toLower() == "webp") {
        if (const QString why = webpDamage(path); !why.isEmpty())
            return failed<Result>(Failure::Damaged, damagedText(path, why));
    }
    QImage image;
    const KSDecoderWarnings warnings;
    // Its header was read: a picture that then cannot be decoded is damaged.
    if (!open.reader->read(&image))
        return failed<Result>(Failure::Damaged, damagedText(path, open.reader->errorString()));
    if (!warnings.damage().isEmpty())
        return failed<Result>(Failure::Damaged, damagedText(path, warnings.damage()));
    return finished(std::move(image), path);
}

// Reduced to fit maxSize (when valid), as loadReduced() promises.
Result fitted(Result result, const QSize &maxSize)
{
    if (result.ok() && maxSize.isValid())
        result.image = KSPhotoRenderTools::zipInputImage(result.image, QSizeF(maxSize));
    return result;
}

Result load(const QString &path, const QSize &maxSize)
{
    const Probe head = probe(path);
    if (head.failure != Failure::None)
        return failed<Result>(head.failure, head.error);
    if (head.heif)
        return fitted(loadHeif(path), maxSize);
    if (head.deepPng) {
        Result result = KSDeepPng::load(path);
        return fitted(result.ok() ? finished(std::move(result.image), path) : result, maxSize);
    }

    QtReader open = openWithQt(path);
    if (open.failure != Failure::None)
        return failed<Result>(open.failure, open.error);
    if (maxSize.isValid() && open.rawSize.isValid()) {
        const QSize shown = open.shownSize();
        const QSize target = KSImageExtension::pixelSize(KSPhotoRenderTools::zipSize(QSizeF(shown), QSizeF(maxSize)));
        // The reader scales before it applies the orientation.
        if (target.isValid() && target != shown)
            open.reader->setScaledSize(open.rotated ? target.transposed() : target);
    }
    return fitted(readWithQt(open, path), maxSize);
}

} // namespace

KSImageLoader::Result KSImageLoader::load(const QString &path)
{
    try {
        return ::load(path, QSize());
    } catch (const std::bad_alloc &) {
        return failed<Result>(Failure::TooLarge, outOfMemoryText(path));
    }
}

KSImageLoader::Result KSImageLoader::loadReduced(const QString &path, const QSize &maxSize)
{
    if (maxSize.isEmpty())
        return load(path);
    try {
        return ::load(path, maxSize);
    } catch (const std::bad_alloc &) {
        return failed<Result>(Failure::TooLarge, outOfMemoryText(path));
    }
}

KSImageLoader::SizeResult KSImageLoader::readSize(const QString &path)
{
    const Probe head = probe(path);
    if (head.failure != Failure::None)
        return failed<SizeResult>(head.failure, head.error);
    SizeResult result;
    if (head.heif) {
        const HeifPrimary primary = openHeif(path);
        result.size = primary.size;
        result.failure = primary.failure;
        result.error = primary.error;
        return result;
    }
    const QtReader open = openWithQt(path);
    result.failure = open.failure;
    result.error = open.error;
    result.size = open.shownSize();
    if (result.ok() && !open.rawSize.isValid())
        return failed<SizeResult>(Failure::Undecodable, QStringLiteral("the size of %1 is unknown").arg(path));
    return result;
}
