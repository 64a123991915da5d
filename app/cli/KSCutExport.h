#pragma once

#include "KSCutOptions.h"
#include "KSFraming.h"
#include "KSImageWriter.h"
#include "KSOutputRender.h"

#include <QImage>

// The command line's picture of a cut-out: the editor's save of the whole
// cut-out with the chosen background and size, framed by the same rule and
// rendered by the same code.
namespace KSCutExport {

// What the editor's save would render for the cut-out; `notice` (when given)
// hears why an ID size fell back to a plain fit. `photo` is the photograph
// the cut-out came from, which the blurred backdrop shows (options.needsPhoto()).
// Null with the reason in *error when the background picture cannot be read.
[[nodiscard]] KSOutputRender::Request renderRequest(const QImage &cutout, const KSCutOptions &options,
                                                    KSFraming::Notice *notice = nullptr, const QImage &photo = {},
                                                    QString *error = nullptr);

// The picture at full resolution.
[[nodiscard]] QImage renderCutout(const QImage &cutout, const KSCutOptions &options,
                                  KSFraming::Notice *notice = nullptr, const QImage &photo = {});

// renderCutout() (or its print sheet) encoded in the options' output format
// with its print resolution, and written atomically to path. A cut-out
// handed over (moved) is taken apart in place; a picture at the cut-out's
// size on a colour is rendered and encoded a band of rows at a time.
[[nodiscard]] KSImageWriter::Result exportCutout(QImage cutout, const KSCutOptions &options,
                                                 const QString &path, KSFraming::Notice *notice = nullptr,
                                                 const QImage &photo = {});

} // namespace KSCutExport
