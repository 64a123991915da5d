#pragma once

#include <QSize>

#include <optional>

class QIODevice;

// What a HEIF file's boxes declare, read without libheif: libheif 1.15
// refuses a picture beyond its own size limit with an error that does not
// tell a huge picture from a broken file.
namespace KSHeifHeader {

// The primary image's size from its 'ispe' property, with its 'irot'
// rotation applied (as the picture is shown); nothing when the boxes do not
// say it, or say it inconsistently. Reads from the device's start.
[[nodiscard]] std::optional<QSize> declaredSize(QIODevice &device);

} // namespace KSHeifHeader
