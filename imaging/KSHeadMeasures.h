#pragma once

#include <QRectF>

// One head as the face finder measured it, in the picture's pixels (origin
// top-left, y downwards).
struct KSHeadMeasures
{
    QRectF face;       // the detector's face box
    double crownY = 0; // top of the head, hair included
    double chinY = 0;
    double eyeLineY = 0;
    double centreX = 0;

    [[nodiscard]] double height() const { return chinY - crownY; }
};
