#pragma once

class KSAccountWindow;
class QWidget;

// The account library: the connection to the cut-out service and the
// account window.
class KSShareLib
{
public:
    // Once, when the main view controller wakes: connects to the configured
    // service, or starts the built-in one and signs its local account in.
    static void setup();

    // Shows the sign-in or account window over `window` (over the main
    // window when none is given). One account window at a time: an open one
    // is brought to the front.
    static KSAccountWindow *showShareLoginOrVipInfoWindow(QWidget *window);
};
