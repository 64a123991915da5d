#pragma once

#include <QColor>

class KSHoverButton;
class QSlider;

// Looks shared by the editor's tool panels and dialogs.
class KSEditPanelStyle
{
public:
    // A panel heading or group button: white, turning accent green with a
    // white title while hovered, pressed or selected.
    static void styleTabButton(KSHoverButton *button);
    // A dialog's button: small title, rounded, hover colour given.
    static void styleDialogButton(KSHoverButton *button, const QColor &title, const QColor &background,
                                  const QColor &hover);
    // The dialog's main button: accent green with a white title.
    static void styleAccentButton(KSHoverButton *button);
    // Titles differ in length between languages; a button is never
    // narrower than its title.
    static void fitToTitle(KSHoverButton *button);
    // A panel's slider: the accent colour fills the track up to the knob.
    static void styleSlider(QSlider *slider);
};
