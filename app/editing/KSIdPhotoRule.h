#pragma once

#include <QString>

// What an ID photo rule asks of the head, in millimetres on the printed
// photo: the head's height from chin to crown (top of the hair), and either
// the eye line's height above the bottom edge or the gap between the crown
// and the top edge.
struct KSIdPhotoRule
{
    enum class Vertical { eyeLineFromBottom, crownFromTop };

    double headMinMm = 0;
    double headMaxMm = 0;
    Vertical vertical = Vertical::eyeLineFromBottom;
    double verticalMinMm = 0;
    double verticalMaxMm = 0;
    // The authority and the document the numbers come from, in English.
    QString source;

    [[nodiscard]] double headTargetMm() const { return (headMinMm + headMaxMm) / 2; }
    [[nodiscard]] double verticalTargetMm() const { return (verticalMinMm + verticalMaxMm) / 2; }
};
