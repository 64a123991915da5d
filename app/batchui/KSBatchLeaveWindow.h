#pragma once

#include "KSDialogWindow.h"

#include <functional>

// Asked before a batch is left (home, or the window closed) while photos
// are still being cut out or done photos have not been exported: leaving
// drops them. The answer goes to the closure once: true to leave; closing
// the question is staying.
class KSBatchLeaveWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    using Answer = std::function<void(bool leave)>;

    KSBatchLeaveWindow(int running, int notExported, Answer answer, QWidget *parentWindow = nullptr);
    ~KSBatchLeaveWindow() override;

    // One question at a time: asking again while one is open answers nothing new.
    static KSBatchLeaveWindow *ask(int running, int notExported, Answer answer);

    void answer(bool leave);

private:
    Answer m_answer;
};
