#pragma once

#include "CommFeedback.h"
#include "KSDialogWindow.h"

class QLineEdit;
class QPlainTextEdit;

// The feedback window. There is no feedback service to post to, so "send"
// puts the whole report (message, contact address, product and system
// details) on the clipboard and opens the product's support page, where
// the user pastes it. The log file can be revealed to attach it.
class KSFeedbackWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    explicit KSFeedbackWindow(const CommFeedbackContext &context, QWidget *parentWindow = nullptr);

    // Makes this window the way CommFeedback::submit() asks for feedback.
    static void installPresenter();
    // One window at a time: an open one is brought to the front instead.
    static KSFeedbackWindow *showFeedback(const CommFeedbackContext &context);

    // The text that goes to the clipboard; the contact line only when an
    // address was given.
    [[nodiscard]] static QString composeReport(const QString &message, const QString &email,
                                               const QString &diagnostics);

    // Validates and sends; false (with the reason shown) when the message
    // is empty or the contact address is not an e-mail address.
    bool actionForSend();

private:
    void showError(const QString &key);

    CommFeedbackContext m_context;
    QPlainTextEdit *m_messageEdit = nullptr;
    QLineEdit *m_emailEdit = nullptr;
    QLabel *m_errorLabel = nullptr;
};
