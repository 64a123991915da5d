#pragma once

class QWidget;

// How screens enter and leave a host view: a screen covers its host with its
// four edges pinned to the host's edges, and takes itself out when it ends.
class KSViewAttach
{
public:
    // Makes `view` a child of `host` that always fills it, on top of the
    // host's other children. Works whether or not the host has a layout.
    static void pinToEdges(QWidget *view, QWidget *host);

    // Hides `view`, detaches it from its parent and deletes it once control
    // returns to the event loop, so a caller still on its stack is safe.
    static void removeFromSuperview(QWidget *view);
};
