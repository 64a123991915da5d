#pragma once

#include "KSCutOptions.h"
#include "KSImageWriter.h"

#include <QImage>

// The command line's picture of a cut-out: the editor's save of the whole
// cut-out with the chosen background and size, through the same rendering.
namespace KSCutExport {

// The picture at full resolution.
[[nodiscard]] QImage renderCutout(const QImage &cutout, const KSCutOptions &options);

// renderCutout() encoded in the options' output format and written
// atomically to path.
[[nodiscard]] KSImageWriter::Result exportCutout(const QImage &cutout, const KSCutOptions &options,
                                                 const QString &path);

} // namespace KSCutExport
