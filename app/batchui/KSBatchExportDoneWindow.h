#pragma once

#include "KSDialogWindow.h"

#include <QString>

// Says how an export of a batch ended: how many photos were saved and
// where, how many were not (failed or cancelled photos are not exported,
// and a write can fail), with Show in Folder. Where no file manager
// answers, the folder's path goes to the clipboard and a notice says so.
class KSBatchExportDoneWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    struct Outcome
    {
        int saved = 0;
        // Photos not exported: failed, cancelled or still under way.
        int notExported = 0;
        // Files that could not be written, with the first reason.
        int writeFailures = 0;
        QString firstError;
        QString folder;
        // The first file written, shown selected in the folder.
        QString firstFile;
    };

    explicit KSBatchExportDoneWindow(const Outcome &outcome, QWidget *parentWindow = nullptr);

    static KSBatchExportDoneWindow *showOutcome(const Outcome &outcome);

    // The message, in the application's language.
    [[nodiscard]] static QString message(const Outcome &outcome);

    void actionForShowInFolder();

private:
    Outcome m_outcome;
};
