#pragma once

#include "CommUpdate.h"
#include "KSDialogWindow.h"

// The answer to an update check: a new version with its notes and a
// download button, or (when the user asked) that Cutora is up to date or
// that the check failed.
class KSUpdateWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    explicit KSUpdateWindow(const CommUpdateResult &result, QWidget *parentWindow = nullptr);

    // Makes this window the way CommUpdate shows its results.
    static void installPresenter();
    // Shows the result over the registered main window; a window still open
    // from an earlier check is replaced, so answers never pile up.
    static KSUpdateWindow *showResult(const CommUpdateResult &result);

    // The sentence that tells the result, in the current language.
    [[nodiscard]] static QString messageFor(const CommUpdateResult &result);
};
