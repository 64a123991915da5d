#pragma once

#include <QImage>
#include <QPointF>

// Drawn heads that the frontal face detector finds, on a transparent
// backdrop as a cut-out has them, with their true measures.
namespace FaceFixtures {

struct Head
{
    QPointF centre;       // halfway between crown and chin
    double halfHeight = 0; // crown to chin is twice this
    [[nodiscard]] double crownY() const { return centre.y() - halfHeight; }
    [[nodiscard]] double chinY() const { return centre.y() + halfHeight; }
    [[nodiscard]] double eyeLineY() const { return centre.y() - 0.05 * halfHeight; }
};

// A cut-out of `size` with each head over its neck and shoulders.
QImage cutoutWithHeads(QSize size, const QList<Head> &heads);

} // namespace FaceFixtures
