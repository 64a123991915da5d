#pragma once

#include "KSBrushSettings.h"
#include "KSMaskEdit.h"
#include "KSPendingStroke.h"
#include "KSSmartBrush.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

class KSMaskBrush;
class KSMaskedPicture;

// The Touch Up tool's strokes on the editable picture, in picture pixels.
// A brush stroke changes the mask at full size as the pointer moves and
// becomes one edit on release. A smart stroke is only drawn while the
// button is down; on release the smart brush works on a worker thread and
// its result becomes one edit when it arrives (after any stroke under way
// has ended). GUI thread.
class KSTouchUpBrush : public QObject
{
    Q_OBJECT

public:
    explicit KSTouchUpBrush(QObject *parent = nullptr);
    ~KSTouchUpBrush() override;

    void setPicture(const std::shared_ptr<KSMaskedPicture> &picture);
    void setSettings(const KSBrushSettings &settings) { m_settings = settings; }
    const KSBrushSettings &settings() const { return m_settings; }

    // A stroke from the press at `point`; `scale` (view points per picture
    // pixel) turns the brush's diameter into its radius on the picture.
    void begin(const QPointF &point, double scale);
    void moveTo(const QPointF &point);
    void end();
    // Ends the stroke under way leaving the mask as it was before it.
    void cancel();
    [[nodiscard]] bool isStroking() const { return m_stroking; }

    // Smart strokes drawn and waiting for their result.
    const QList<KSPendingStroke> &pendingStrokes() const { return m_pending; }

    // Picture pixels that look different now (mask or drawn strokes).
    std::function<void(const QRect &pictureRect)> changedClosure;
    // An edit is complete: a brush stroke released or a smart result applied.
    std::function<void(KSMaskEdit edit, const KSBrushSettings &settings)> editClosure;

private:
    struct SmartOutcome
    {
        quint64 id = 0;
        KSBrushSettings settings;
        KSSmartBrush::Result result;
    };

    void startSmart(const KSPendingStroke &stroke, const KSBrushSettings &settings);
    void smartFinished(const SmartOutcome &outcome);
    void applySmart(const SmartOutcome &outcome);
    void changed(const QRect &pictureRect);

    std::shared_ptr<KSMaskedPicture> m_picture;
    KSBrushSettings m_settings;
    KSBrushSettings m_strokeSettings;
    std::unique_ptr<KSMaskBrush> m_brush;
    bool m_stroking = false;
    QRect m_touched; // what the brush stroke under way has changed
    std::optional<KSPendingStroke> m_drawing;
    QList<KSPendingStroke> m_pending;
    QList<SmartOutcome> m_waiting;
    quint64 m_nextId = 1;
};
