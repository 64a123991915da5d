#pragma once

#include "KSEditChangeSizeItem.h"
#include "KSFraming.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

// The frame the subject is shown in: the background size, the preset row
// that gave it, the fit mode and the notice of the last framing.
struct KSEditFraming
{
    // (0, 0) for none: the cut-out's own canvas.
    QSizeF backgroundSize{0, 0};
    // The row chosen last; its size may differ from backgroundSize when the
    // size was set otherwise (a restore, a custom size typed in).
    KSEditChangeSizeItem preset;
    KSFitMode fitMode = KSFitMode::subject;
    KSFraming::Notice notice = KSFraming::Notice::none;

    [[nodiscard]] bool hasSize() const { return backgroundSize.width() > 0 && backgroundSize.height() > 0; }
    // Whether the frame shown is the chosen row's size.
    [[nodiscard]] bool showsPreset() const
    {
        return backgroundSize == QSizeF(double(preset.width), double(preset.height));
    }
    // The row's key while the frame is its size; empty otherwise.
    [[nodiscard]] QString presetKey() const { return showsPreset() ? preset.key : QString(); }

    friend bool operator==(const KSEditFraming &a, const KSEditFraming &b)
    {
        return a.backgroundSize == b.backgroundSize && a.presetKey() == b.presetKey() && a.fitMode == b.fitMode
            && a.notice == b.notice;
    }
};
