#pragma once

#include "KSDialogWindow.h"
#include "KSNotice.h"

// A notice in the application's own look: its message, the text to copy
// (an address, a path) selectable with a Copy button beside it, and OK.
class KSNoticeWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    explicit KSNoticeWindow(const KSNotice &notice, QWidget *parentWindow = nullptr);

    // Shows every notice posted as KSNotice::kNotificationShowNotice, over
    // the registered main window, for as long as `owner` lives.
    static void observeNotices(QObject *owner);
    static KSNoticeWindow *showNotice(const KSNotice &notice);
};
