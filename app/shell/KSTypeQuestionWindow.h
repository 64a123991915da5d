#pragma once

#include "KSDialogWindow.h"
#include "KSEraserType.h"

#include <functional>
#include <optional>

// Asks what a photo that came without a card (dropped on the window, opened
// from outside, pasted) shows: a person or an object. The answer goes to
// the closure once: the type, or none when the user closed the question.
class KSTypeQuestionWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    using Answer = std::function<void(std::optional<KSEraserType> type)>;

    KSTypeQuestionWindow(const QString &photoPath, Answer answer, QWidget *parentWindow = nullptr);
    ~KSTypeQuestionWindow() override;

    // One question at a time: a new one replaces an open one, which answers none.
    static KSTypeQuestionWindow *ask(const QString &photoPath, Answer answer);

    void choose(std::optional<KSEraserType> type);

private:
    Answer m_answer;
};
