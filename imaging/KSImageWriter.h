#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

#include <functional>

// Writes pictures so that a failure never leaves a broken file under the
// target name and never touches a file that was already there: the bytes go
// to a hidden temporary name beside the target and are renamed over it only
// after everything was written and flushed.
class KSImageWriter
{
public:
    struct Result
    {
        bool ok = false;
        QString error; // a short English description of what went wrong
    };

    static constexpr int kPngLevel = 2;
    static constexpr int kJpegQuality = 92;

    // PNG with alpha through libspng. Level 1..9 is zlib's; the default is a
    // deliberate trade: on 24-megapixel cut-outs it is many times faster than
    // Qt's encoder and the files are only slightly larger than at level 6.
    // A print resolution (dots per inch across and down) goes into pHYs;
    // without one the file carries none.
    static Result writePng(const QImage &image, const QString &path, int level = kPngLevel, QSizeF dotsPerInch = {});

    // Rows [top, top + rows) of a picture, in any 32-bit format; null when
    // they cannot be made.
    using Band = std::function<QImage(int top, int rows)>;
    // writePng() of a picture of `size` asked for band by band, so that
    // neither the picture nor its encoded copy is held whole.
    static Result writePngBands(const QSize &size, bool alpha, const Band &band, const QString &path,
                                int level = kPngLevel, QSizeF dotsPerInch = {});

    // JPEG through Qt; transparent pixels must already be composited by the
    // caller (JPEG has no alpha, and Qt would put them on black). A print
    // resolution goes into the JFIF density; without one it is Qt's default.
    static Result writeJpeg(const QImage &image, const QString &path, int quality = kJpegQuality, QSizeF dotsPerInch = {});

    // writeJpeg() of a picture of `size` asked for band by band (opaque
    // 32-bit rows), through libjpeg at the settings Qt's writer uses, so
    // that neither the picture nor its encoded copy is held whole.
    static Result writeJpegBands(const QSize &size, const Band &band, const QString &path,
                                 int quality = kJpegQuality, QSizeF dotsPerInch = {});

    // Any format Qt can write ("tiff", "png", "jpg"...), written atomically.
    static Result writeWithQt(const QImage &image, const QString &path, const char *format, int quality = -1);
};
