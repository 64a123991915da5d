#pragma once

#include "KSMaskEdit.h"

#include <QByteArray>
#include <QHash>
#include <QPointF>
#include <QRect>
#include <optional>

class KSMaskEditStore;

// One brush stroke on a mask, from press to release: Keep raises the mask
// towards opaque, Erase lowers it towards clear. Within one stroke a pixel
// takes the strongest coverage any part of the stroke gave it, so going
// over the same place again does not build up a soft brush, and the mask
// under a pixel half covered ends half way between its value before the
// stroke and the brush's target.
class KSMaskBrush
{
public:
    enum class Mode { keep, erase };

    // Begins an edit of `store`, which must outlive the stroke. `radius` is in
    // picture pixels, `softness` 0..1 (see KSBrushStamp).
    KSMaskBrush(KSMaskEditStore &store, Mode mode, double radius, double softness);

    // Sweeps the brush from the last point to `point` (picture pixels; the
    // first call stamps one dab) and returns the pixels it may have changed.
    QRect strokeTo(const QPointF &point);

    // Ends the stroke; the edit holds the tiles it changed.
    [[nodiscard]] KSMaskEdit finish();
    // Ends the stroke and puts the mask back as it was before it.
    void cancel();

    [[nodiscard]] Mode mode() const { return m_mode; }
    [[nodiscard]] double radius() const { return m_radius; }

private:
    KSMaskEditStore &m_store;
    Mode m_mode;
    double m_radius;
    double m_softness;
    std::optional<QPointF> m_last;
    // Per tile of the store: the strongest coverage so far, 0..255.
    QHash<int, QByteArray> m_coverage;
};
