#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

// The smart brush: a rough stroke marks part of something (a plank, a
// shadow, a lost hand) and this finds the whole of it around the stroke, so
// that the editor can erase or keep it in one go.
//
// The window around the stroke is reduced to a working size. The backdrop
// round the stroke is the colours that line the window's border; the part
// is what the stroke went over unlike them. GrabCut grows the part from
// there, and only what differs from the backdrop and is connected to the
// part under the stroke counts: a stroke wider than a thin part does not
// bring the backdrop beside it. The result is enlarged to full size and its
// edge refined by a guided filter on the photo's own detail. Where nothing
// under the stroke differs from the backdrop, the stroke alone is the
// result. Pure computation on copies: runs on any thread.
class KSSmartBrush
{
public:
    // The longest side the segmentation works at.
    static constexpr int kWorkSide = 360;
    static constexpr int kIterations = 3;

    struct Request
    {
        QImage colours;         // the whole picture's colours (shared, never copied)
        // Optional: the colours reduced, to reduce the window from quickly
        // when it is at least as large as the working size.
        QImage reduced;
        QRect window;           // the part of the picture worked on
        QList<QPointF> stroke;  // the stroke's points, picture pixels
        double radius = 0;      // the brush's radius, picture pixels
    };

    struct Result
    {
        QRect window;  // as requested
        QImage object; // Format_Grayscale8 of the window's size: 255 where the object is
        QString error; // why nothing was found; empty on success
        [[nodiscard]] bool ok() const { return error.isEmpty() && !object.isNull(); }
    };

    // The window worked on for a stroke on a picture of `size`: the stroke's
    // bounds grown generously on every side, clipped to the picture.
    [[nodiscard]] static QRect windowFor(const QList<QPointF> &stroke, double radius, const QSize &size);

    // Never throws.
    [[nodiscard]] static Result run(const Request &request);
};
