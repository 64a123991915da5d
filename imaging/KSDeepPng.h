#pragma once

#include "KSImageLoader.h"

#include <QByteArray>
#include <QString>

// PNGs of 16 bits a channel, brought to 8 bits a strip of rows at a time
// while they are decoded, so that the 16-bit picture (twice the 8-bit
// one) is never held. Used by KSImageLoader.
namespace KSDeepPng {

// Whether the first bytes of a file (64 are plenty) are those of a
// non-interlaced PNG of 16 bits a channel. Interlaced ones come in passes
// across the whole picture and are left to Qt.
[[nodiscard]] bool handles(const QByteArray &head);

// The picture as Format_ARGB32 (straight alpha) when it has transparency
// (an alpha channel that is not opaque throughout), else Format_RGB32, with its colour space; each channel v becomes the
// nearest 8-bit level, v / 257 rounded. Damaged when libspng finds its
// data corrupt or cut off.
[[nodiscard]] KSImageLoader::Result load(const QString &path);

} // namespace KSDeepPng
