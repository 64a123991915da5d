#pragma once

#include "KSBatchLook.h"
#include "KSOutputRender.h"

#include <QImage>
#include <QString>

// A batch photo's thumbnail: its cut-out read reduced, framed and drawn on
// the look as the export would write it, fitted into side x side. Never
// holds the full picture. Any thread; null when the cut-out cannot be read.
namespace KSBatchThumbnail {

// `photoPath` is read (reduced too) only when the look's backdrop is the
// photo blurred; unreadable, the backdrop stays white, as in the editor.
[[nodiscard]] QImage make(const QString &cutoutPath, const QString &photoPath, const KSBatchLook &look, int side);

// The thumbnail of what a document's save renders, from a request and the
// reduced subject (KSEditDocument::reducedSubject()).
[[nodiscard]] QImage fromRequest(KSOutputRender::Request request, const QImage &reducedSubject, int side);

} // namespace KSBatchThumbnail
