#pragma once

#include "KSDialogWindow.h"

// The list of keyboard shortcuts, from the help menu.
class KSShortcutsWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    explicit KSShortcutsWindow(QWidget *parentWindow = nullptr);

    // One list at a time: an open one is brought to the front.
    static KSShortcutsWindow *showShortcuts();
};
