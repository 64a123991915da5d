#pragma once

#include "KSPendingStroke.h"
#include "KSPictureLayer.h"

#include <QList>
#include <QPointF>
#include <optional>

// The crop view's layer while the Touch Up tool is open: the subject at the
// cut-out's own place over the whole canvas, the photograph faintly beneath
// it so that what was lost can be seen, the smart strokes waiting for their
// result, and the brush's outline at its true size under the pointer.
class KSTouchUpLayer : public KSPictureLayer
{
    Q_OBJECT

public:
    static constexpr double kGhostOpacity = 0.25;

    explicit KSTouchUpLayer(QWidget *parent = nullptr);

    // The outline centred on a point of this layer, `diameter` points wide;
    // none hides it.
    void setBrushOutline(const std::optional<QPointF> &centre, double diameter);
    std::optional<QPointF> brushCentre() const { return m_brushCentre; }

    void setPendingStrokes(const QList<KSPendingStroke> &strokes);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect outlineRect() const;
    QRect strokesRect() const;

    std::optional<QPointF> m_brushCentre;
    double m_brushDiameter = 0;
    QList<KSPendingStroke> m_strokes;
};
