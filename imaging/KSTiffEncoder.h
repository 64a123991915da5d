#pragma once

#include <QByteArray>
#include <QImage>

class QIODevice;

// Uncompressed TIFF of a cut-out, written straight from its pixels: several
// times faster than going through Qt's TIFF plugin for a 24-megapixel
// picture, which matters on the job's path to the editor.
class KSTiffEncoder
{
public:
    // `image` in Format_RGBA8888 (straight alpha, stored as unassociated
    // alpha) or Format_RGBA8888_Premultiplied (stored as associated alpha).
    // Empty data for any other format, a null image or more than 4 GB.
    [[nodiscard]] static QByteArray encode(const QImage &image);

    // The same bytes written to device as they are made, so that no second
    // copy of a large picture is held; false when the image is refused (as
    // above) or a write fails.
    [[nodiscard]] static bool write(const QImage &image, QIODevice &device);
};
