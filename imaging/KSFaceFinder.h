#pragma once

#include "KSHeadMeasures.h"

#include <QImage>
#include <QList>
#include <QString>

// Finds frontal faces with the Haar cascades Debian's opencv-data ships,
// on a reduced grey copy of the picture, and measures each head. A
// cut-out's alpha gives the crown (the first opaque row above the face);
// without one the crown is estimated from the face box. Any thread.
class KSFaceFinder
{
public:
    // The reduced copy's longer side: faces smaller than what it resolves
    // are too small for an ID photo anyway.
    static constexpr int kAnalysisSide = 960;

    struct Result
    {
        // The heads found, largest first. A face much smaller than the
        // largest is taken for a detector's stray and left out.
        QList<KSHeadMeasures> heads;
        QString error; // why nothing could be looked for: no picture, no detector data
        [[nodiscard]] bool ok() const { return error.isEmpty(); }
    };

    [[nodiscard]] static Result find(const QImage &picture);

    // The cascade file the finder loads.
    [[nodiscard]] static QString cascadePath();
};
