#include "KSCheckedHevc.h"

#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include <cstring>
#include <mutex>

namespace {

// Above libheif's own decoder (100): the plugin with the highest wins.
constexpr int kPriority = 200;

struct Decoder
{
    de265_decoder_context *context = nullptr;
    // The first sign of damage, a text of static storage: libheif may read
    // an error's message after the decoder is gone.
    const char *damage = nullptr;
};

heif_error ok()
{
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

heif_error damaged(const char *why)
{
    return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, why};
}

void noteDamage(Decoder &decoder, const char *why)
{
    if (!decoder.damage)
        decoder.damage = why;
}

// Emulation prevention keeps 00 00 00, 00 00 01 and 00 00 02 out of every
// NAL unit; finding one means the bytes were changed.
bool holdsForbiddenSequence(const uint8_t *data, size_t size)
{
    for (size_t i = 0; i + 2 < size; ++i) {
        if (data[i + 1] != 0) {
            ++i; // neither this byte nor the next starts a forbidden sequence
            continue;
        }
        if (data[i] == 0 && data[i + 2] <= 2)
            return true;
    }
    return false;
}

const char *pluginName()
{
    return "checked libde265 HEVC decoder";
}

int supportsFormat(heif_compression_format format)
{
    return format == heif_compression_HEVC ? kPriority : 0;
}

heif_error newDecoder(void **out)
{
    auto *decoder = new Decoder;
    decoder->context = de265_new_decoder();
    if (!decoder->context) {
        delete decoder;
        return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, "cannot start the HEVC decoder"};
    }
    // Pictures come out even when damaged: the damage is told apart here.
    de265_set_parameter_bool(decoder->context, DE265_DECODER_PARAM_SUPPRESS_FAULTY_PICTURES, false);
    *out = decoder;
    return ok();
}

void freeDecoder(void *raw)
{
    auto *decoder = static_cast<Decoder *>(raw);
    de265_free_decoder(decoder->context);
    delete decoder;
}

void setStrictDecoding(void *, int)
{
    // Always strict.
}

// libheif hands over NAL units each behind a 4-byte big-endian length.
heif_error pushData(void *raw, const void *bytes, size_t size)
{
    auto *decoder = static_cast<Decoder *>(raw);
    const auto *data = static_cast<const uint8_t *>(bytes);
    size_t at = 0;
    while (at + 4 <= size) {
        const size_t length = size_t(data[at]) << 24 | size_t(data[at + 1]) << 16 | size_t(data[at + 2]) << 8
                              | size_t(data[at + 3]);
        at += 4;
        if (length > size - at) {
            noteDamage(*decoder, "an HEVC NAL unit runs past its data");
            return ok();
        }
        if (holdsForbiddenSequence(data + at, length))
            noteDamage(*decoder, "an HEVC NAL unit holds a byte sequence its syntax rules out");
        const de265_error error = de265_push_NAL(decoder->context, data + at, int(length), 0, nullptr);
        if (!de265_isOK(error))
            noteDamage(*decoder, de265_get_error_text(error));
        at += length;
    }
    if (at != size)
        noteDamage(*decoder, "the HEVC data ends inside a NAL unit's length");
    return ok();
}

// The decoded picture as libheif's, plane by plane (de265's chroma formats
// are numbered as libheif's).
heif_error toHeifImage(const de265_image *picture, heif_image **out)
{
    const de265_chroma chroma = de265_get_chroma_format(picture);
    const bool mono = chroma == de265_chroma_mono;
    heif_error error = heif_image_create(de265_get_image_width(picture, 0), de265_get_image_height(picture, 0),
                                         mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr,
                                         heif_chroma(chroma), out);
    if (error.code != heif_error_Ok)
        return error;
    const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (int c = 0; c < (mono ? 1 : 3); ++c) {
        const int bits = de265_get_bits_per_pixel(picture, c);
        const int width = de265_get_image_width(picture, c);
        const int height = de265_get_image_height(picture, c);
        int stride = 0;
        const uint8_t *from = de265_get_image_plane(picture, c, &stride);
        error = heif_image_add_plane(*out, channels[c], width, height, bits);
        if (error.code != heif_error_Ok || !from) {
            heif_image_release(*out);
            *out = nullptr;
            return error.code != heif_error_Ok ? error : damaged("the HEVC decoder gave no pixels");
        }
        int toStride = 0;
        uint8_t *to = heif_image_get_plane(*out, channels[c], &toStride);
        const size_t rowBytes = size_t(width) * size_t((bits + 7) / 8);
        for (int y = 0; y < height; ++y)
            std::memcpy(to + ptrdiff_t(y) * toStride, from + ptrdiff_t(y) * stride, rowBytes);
    }
    return ok();
}

heif_error decodeImage(void *raw, heif_image **out)
{
    auto *decoder = static_cast<Decoder *>(raw);
    *out = nullptr;
    de265_flush_data(decoder->context);
    const de265_image *picture = nullptr;
    int more = 1;
    while (more && !picture) {
        const de265_error error = de265_decode(decoder->context, &more);
        if (error == DE265_ERROR_WAITING_FOR_INPUT_DATA || error == DE265_ERROR_IMAGE_BUFFER_FULL)
            break;
        if (!de265_isOK(error))
            noteDamage(*decoder, de265_get_error_text(error));
        for (de265_error warning; (warning = de265_get_warning(decoder->context)) != DE265_OK;)
            noteDamage(*decoder, de265_get_error_text(warning));
        picture = de265_get_next_picture(decoder->context);
    }
    for (de265_error warning; (warning = de265_get_warning(decoder->context)) != DE265_OK;)
        noteDamage(*decoder, de265_get_error_text(warning));
    if (!picture)
        noteDamage(*decoder, "the HEVC data held no picture");
    if (decoder->damage)
        return damaged(decoder->damage);
    return toHeifImage(picture, out);
}

const heif_decoder_plugin kPlugin = {
    3,            // plugin_api_version: libheif 1.15's
    pluginName,   // get_plugin_name
    nullptr,      // init_plugin
    nullptr,      // deinit_plugin
    supportsFormat,
    newDecoder,
    freeDecoder,
    pushData,
    decodeImage,
    setStrictDecoding,
    "cutora-checked-libde265", // id_name
};

} // namespace

void KSCheckedHevc::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        heif_init(nullptr);
        heif_register_decoder_plugin(&kPlugin);
    });
}
