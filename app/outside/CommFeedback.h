#pragma once

#include "CommAppInfo.h"

#include <QObject>
#include <QPointer>
#include <functional>

// What a feedback window needs to send a useful report.
struct CommFeedbackContext
{
    CommAppInfo appInfo;
    QPointer<QObject> parentWindow;
    QString logFilePath;
    QString diagnostics; // product, version, language and system, one per line
};

// Feedback: the application shell attaches its window as the presenter.
// Without one, submit() opens the product's support page in the browser.
class CommFeedback
{
public:
    using Presenter = std::function<void(const CommFeedbackContext &context)>;

    // Returns false when there was nothing to open.
    static bool submit();
    static void setPresenter(Presenter presenter);
    static CommFeedbackContext context();
};
