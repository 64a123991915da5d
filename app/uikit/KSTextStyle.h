#pragma once

#include <QColor>
#include <QFont>

class QLabel;

// Text looks of the screens. Sizes are points of the design, which are the
// widgets' logical pixels: a 15-point title is 15 pixels high on a 1x screen
// whatever the desktop's DPI setting, so the screens keep their proportions.
class KSTextStyle
{
public:
    [[nodiscard]] static QFont systemFont(int points, QFont::Weight weight = QFont::Normal);

    // Sets the label's text colour and its system font.
    static void apply(QLabel *label, const QColor &color, int points, QFont::Weight weight = QFont::Normal);
};
