#pragma once

#include <QImage>

#include <cstddef>
#include <functional>

// The RGBA8 bitmap shared by the pixel routines is a QImage in
// Format_RGBA8888_Premultiplied: bytes red, green, blue, alpha, colour
// premultiplied by alpha, rows of exactly 4 x width bytes from the top row
// down. Its bits are the plain block the bounds scan and the compositing read.
class KSImageConvert
{
public:
    // Receives (bytes per row, height, width), in that order.
    using BitmapInfoBlock = std::function<void(std::size_t bytesPerRow, std::size_t height, std::size_t width)>;

    // The picture's pixels as an RGBA8 bitmap, or a null image. The block is
    // called last whenever a bitmap of the picture's size could be set up,
    // even if filling it then failed; never for a null picture.
    [[nodiscard]] static QImage convertImageToBitmapRGBA8(const QImage &image, const BitmapInfoBlock &block = {});

    // A fully transparent RGBA8 bitmap of the picture's pixel size to paint
    // into, or a null image when it cannot be allocated.
    [[nodiscard]] static QImage newBitmapRGBA8ContextFromImage(const QImage &image);

    // A picture holding a copy of `width` x `height` pixels of an RGBA8
    // bitmap at `bitmap` (4 x width x height bytes), or a null image.
    [[nodiscard]] static QImage convertBitmapToDestinationWithPionter(const unsigned char *bitmap, std::size_t width,
                                                                    std::size_t height);
};
