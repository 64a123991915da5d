#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The one reader of the user's pictures and of the pictures the application
// writes for itself: JPEG, PNG, BMP, TIFF and WebP through Qt (PNGs of 16
// bits a channel through libspng, brought to 8 bits row by row), HEIC
// through libheif with a checked HEVC decoder (KSCheckedHevc). The format
// is taken from the content, never from the file name.
// Pictures come out upright (the EXIF orientation or the HEIF rotation is
// applied), with a device pixel ratio of 1, converted to sRGB when they carry
// another colour profile. Pictures beyond kMaxPixels are refused from their
// header, before any pixel is decoded. A picture whose data is cut off or
// that its decoder reports corrupt is refused as damaged, never returned
// with grey or black where its data is missing; a WebP is also checked to
// decode to its last row with its last bytes (KSWebpCheck). Safe on any thread; never
// throws.
class KSImageLoader
{
public:
    static constexpr qint64 kMaxPixels = 200'000'000;

    enum class Failure {
        None,
        Missing,     // no such file, or it cannot be opened
        Empty,       // zero bytes
        Undecodable, // not a picture we read
        Damaged,     // of a format we read, but its data is cut off or corrupt
        TooLarge,    // more than kMaxPixels, or no memory for the pixels
    };

    struct Result
    {
        QImage image;
        Failure failure = Failure::None;
        QString error; // for the log; empty on success
        [[nodiscard]] bool ok() const { return failure == Failure::None; }
    };

    struct SizeResult
    {
        QSize size; // as the picture is shown: orientation applied
        Failure failure = Failure::None;
        QString error;
        [[nodiscard]] bool ok() const { return failure == Failure::None; }
    };

    [[nodiscard]] static Result load(const QString &path);

    // The picture reduced to fit `maxSize` with its aspect ratio kept (the
    // size KSPhotoRenderTools::zipInputImage gives), never enlarged. JPEGs
    // are decoded at the reduced size directly, which is much faster than a
    // full decode followed by a reduction.
    [[nodiscard]] static Result loadReduced(const QString &path, const QSize &maxSize);

    // Only the header, and the file's structure: the size the picture would
    // load with. Finds a file cut off before its end; damage inside the
    // pixel data shows only when load() decodes it.
    [[nodiscard]] static SizeResult readSize(const QString &path);
};
