#pragma once

#include "KSDialogWindow.h"

#include <functional>

// The offer to restart after a change of language, in the application's own
// look: "Later" keeps Cutora running in the old language until its next
// start; "Restart Now" calls the relaunch given.
class KSRelaunchWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    KSRelaunchWindow(std::function<void()> relaunch, QWidget *parentWindow = nullptr);

    // One offer at a time, over the registered main window.
    static KSRelaunchWindow *offerRelaunch(std::function<void()> relaunch);

private:
    std::function<void()> m_relaunch;
};
