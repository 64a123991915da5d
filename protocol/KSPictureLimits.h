#pragma once

#include <QString>
#include <QStringList>

// What the cut-out service accepts of an uploaded picture, and the photo
// files the program opens (the loader reads each of these formats).
namespace KSPictureLimits {
// Both sides at least this many pixels: fewer hold too little to tell a
// subject from its backdrop.
inline constexpr int kMinSide = 8;

// The photo files the window's file dialog offers and the command line
// names, by extension in lower case. One list, so that the two agree; the
// loader itself goes by a file's bytes, never its name.
inline const QStringList &photoExtensions()
{
    static const QStringList extensions{
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),  QStringLiteral("bmp"),
        QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("webp"), QStringLiteral("heic"),
        QStringLiteral("heif"),
    };
    return extensions;
}

// The same formats as people name them, for messages and help texts.
inline QString photoFormatNames()
{
    return QStringLiteral("JPEG, PNG, BMP, TIFF, WebP, HEIC");
}
} // namespace KSPictureLimits
