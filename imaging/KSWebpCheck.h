#pragma once

#include <QByteArrayView>
#include <QString>

// Whether a WebP picture's data is whole, found by decoding it with
// libwebp. Qt's WebP reader reports success on a picture whose middle was
// overwritten: libwebp decodes what it is given. But a stream decodes to
// its last row only with the last bytes of its data in hand; a changed
// stream ends early (bytes left over) or late (data runs out). The check
// decodes once more, to a tiny scaled copy, so that it costs time but
// little memory. Animations are not checked.
namespace KSWebpCheck {

// Empty when the WebP file's bytes decode whole and end where its image
// chunk ends; otherwise what is wrong.
[[nodiscard]] QString damage(QByteArrayView file);

} // namespace KSWebpCheck
