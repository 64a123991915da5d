#include "KSTouchUpBrush.h"

#include "CommLog.h"
#include "KSAsync.h"
#include "KSMaskBrush.h"
#include "KSMaskedPicture.h"
#include "KSViewportGeometry.h"


#include <algorithm>

KSTouchUpBrush::KSTouchUpBrush(QObject *parent) : QObject(parent)
{
}

KSTouchUpBrush::~KSTouchUpBrush() = default;

void KSTouchUpBrush::setPicture(const std::shared_ptr<KSMaskedPicture> &picture)
{
    cancel();
    m_picture = picture;
}

void KSTouchUpBrush::changed(const QRect &pictureRect)
{
    if (changedClosure && !pictureRect.isEmpty())
        changedClosure(pictureRect);
}

void KSTouchUpBrush::begin(const QPointF &point, double scale)
{
    cancel();
    if (!m_picture || m_picture->isNull())
        return;
    const double radius = KSViewportGeometry::brushRadius(m_settings.diameter, scale);
    if (!(radius > 0))
        return;
    m_stroking = true;
    m_strokeSettings = m_settings;
    if (m_settings.smart) {
        KSPendingStroke stroke;
        stroke.id = m_nextId++;
        stroke.points = {point};
        stroke.radius = radius;
        stroke.keep = m_settings.mode == KSMaskBrush::Mode::keep;
        m_drawing = stroke;
        m_pending.append(stroke);
        changed(stroke.bounds().toAlignedRect());
        return;
    }
    m_touched = QRect();
    m_brush = std::make_unique<KSMaskBrush>(m_picture->store(), m_settings.mode, radius, m_settings.softness);
    moveTo(point);
}

void KSTouchUpBrush::moveTo(const QPointF &point)
{
    if (!m_stroking)
        return;
    if (m_drawing) {
        m_drawing->points.append(point);
        m_pending.last() = *m_drawing;
        const KSPendingStroke &stroke = *m_drawing;
        const QPointF before = stroke.points.at(stroke.points.size() - 2);
        const double r = stroke.radius;
        changed(QRectF(before, point).normalized().adjusted(-r, -r, r, r).toAlignedRect());
        return;
    }
    const QRect touched = m_brush->strokeTo(point);
    m_touched |= touched;
    m_picture->maskChanged({touched});
    changed(touched);
}

void KSTouchUpBrush::end()
{
    if (!m_stroking)
        return;
    m_stroking = false;
    if (m_drawing) {
        const KSPendingStroke stroke = *m_drawing;
        m_drawing.reset();
        startSmart(stroke, m_strokeSettings);
    } else if (m_brush) {
        KSMaskEdit edit = m_brush->finish();
        m_brush.reset();
        if (!edit.isEmpty() && editClosure)
            editClosure(std::move(edit), m_strokeSettings);
    }
    // Results that came in during the stroke.
    const QList<SmartOutcome> waiting = std::exchange(m_waiting, {});
    for (const SmartOutcome &outcome : waiting)
        applySmart(outcome);
}

void KSTouchUpBrush::cancel()
{
    if (!m_stroking)
        return;
    m_stroking = false;
    if (m_drawing) {
        const QRect drawn = m_drawing->bounds().toAlignedRect();
        const quint64 id = m_drawing->id;
        m_drawing.reset();
        m_pending.removeIf([id](const KSPendingStroke &stroke) { return stroke.id == id; });
        changed(drawn);
    } else if (m_brush) {
        // Everything the stroke touched is back as it was.
        m_brush->cancel();
        m_brush.reset();
        m_picture->maskChanged({m_touched});
        changed(m_touched);
    }
}

void KSTouchUpBrush::startSmart(const KSPendingStroke &stroke, const KSBrushSettings &settings)
{
    KSSmartBrush::Request request;
    request.window = KSSmartBrush::windowFor(stroke.points, stroke.radius, m_picture->size());
    // Shared with the picture, not copied: new colours replace the image
    // rather than change its pixels.
    request.colours = m_picture->colours();
    const double workScale = double(KSSmartBrush::kWorkSide)
        / std::max({request.window.width(), request.window.height(), KSSmartBrush::kWorkSide});
    request.reduced = m_picture->reducedColours(workScale);
    request.stroke = stroke.points;
    request.radius = stroke.radius;

    // Dropped with this object: a result for an editor that has gone.
    KSAsync::run(
        this, [request, id = stroke.id, settings] { return SmartOutcome{id, settings, KSSmartBrush::run(request)}; },
        [this](const SmartOutcome &outcome) { smartFinished(outcome); });
}

void KSTouchUpBrush::smartFinished(const SmartOutcome &outcome)
{
    // The mask is being painted: the result waits for the stroke's end.
    if (m_stroking && !m_drawing) {
        m_waiting.append(outcome);
        return;
    }
    applySmart(outcome);
}

void KSTouchUpBrush::applySmart(const SmartOutcome &outcome)
{
    const auto stroke = std::find_if(m_pending.cbegin(), m_pending.cend(),
                                     [&](const KSPendingStroke &s) { return s.id == outcome.id; });
    QRect drawn;
    if (stroke != m_pending.cend()) {
        drawn = stroke->bounds().toAlignedRect();
        m_pending.erase(stroke);
    }
    changed(drawn);
    const KSSmartBrush::Result &result = outcome.result;
    if (!result.ok()) {
        CommLog::E(QStringLiteral("editor: the smart brush found nothing: ") + result.error);
        return;
    }
    if (!m_picture || result.window.intersected(m_picture->rect()) != result.window)
        return;

    // Applied to the mask as it is now, so that edits made meanwhile stay;
    // only the tiles the object reaches are touched.
    KSMaskEditStore &store = m_picture->store();
    store.beginEdit();
    const bool keep = outcome.settings.mode == KSMaskBrush::Mode::keep;
    for (int index : store.tilesIn(result.window)) {
        const QRect area = store.tileRect(index).intersected(result.window);
        bool reached = false;
        for (int y = area.top(); y <= area.bottom() && !reached; ++y) {
            const uchar *object = result.object.constScanLine(y - result.window.top()) - result.window.left();
            reached = std::any_of(object + area.left(), object + area.right() + 1, [](uchar o) { return o != 0; });
        }
        if (!reached)
            continue;
        store.prepare(area);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const uchar *object = result.object.constScanLine(y - result.window.top()) - result.window.left();
            uchar *mask = store.row(y);
            for (int x = area.left(); x <= area.right(); ++x) {
                const int o = object[x];
                const int m = mask[x];
                mask[x] = uchar(keep ? (m * 255 + (255 - m) * o + 127) / 255 : (m * (255 - o) + 127) / 255);
            }
        }
    }
    KSMaskEdit edit = store.commitEdit();
    m_picture->maskChanged(edit.rects());
    changed(edit.bounds());
    if (!edit.isEmpty() && editClosure)
        editClosure(std::move(edit), outcome.settings);
}
