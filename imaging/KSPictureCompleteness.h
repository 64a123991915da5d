#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Whether a picture holds all the data its own structure announces, read
// from its bytes without decoding. Qt's JPEG and BMP readers fill what is
// missing from a cut-off file with grey or black and report success.
namespace KSPictureCompleteness {

// Empty when the picture on device (read from its start) is whole, or is of
// another format than "jpeg" and "bmp"; otherwise what is missing.
[[nodiscard]] QString missingData(QIODevice &device, const QByteArray &format);

} // namespace KSPictureCompleteness
