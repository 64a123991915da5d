#pragma once

class KSHoverButton;

// Looks shared by the editor's tool panels.
class KSEditPanelStyle
{
public:
    // A panel heading or group button: white, turning accent green with a
    // white title while hovered, pressed or selected.
    static void styleTabButton(KSHoverButton *button);
};
