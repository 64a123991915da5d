#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Pictures the way cameras and phones store them, made inside the tests.
namespace PhotoFixtures {

// Encoded bytes of image in a Qt format ("jpeg", "png", ...), empty on failure.
QByteArray encoded(const QImage &image, const char *format, int quality = 95);

// A progressive JPEG, its scans stored one after the other.
QByteArray progressiveJpeg(const QImage &image);

// A JPEG with an EXIF block whose only entry is the orientation tag (1..8),
// placed right after the JFIF header as cameras do; 0 writes no EXIF block.
QByteArray jpegWithOrientation(const QImage &image, int orientation);

// A HEIC file through libheif's HEVC encoder, with the given orientation
// (libheif's heif_orientation values, 1..8) stored as a transform.
bool writeHeic(const QImage &source, const QString &path, int orientation);

// A cut-out of a person from the waist up, transparent around: a head over
// a torso of kTorsoColour that the photo cut off at the bottom, spanning
// the middle 40 % of the width and the lower 80 % of the height.
inline constexpr QRgb kTorsoColour = 0xff1e3cb4;
QImage waistUpCutout(const QSize &size);

// A photo the cut-out engines find a subject in: a light backdrop and a
// head over a body standing on the bottom edge.
QImage standingSubject(const QSize &size);

bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace PhotoFixtures
