#pragma once

#include "KSOverlayView.h"

#include <functional>
#include <memory>

namespace Ui {
class KSUnsavedEditsView;
}

class KSHoverButton;
class QLabel;

// The question asked before the editor is left with edits that were never
// saved: save them, leave them, or stay. Covers its host like the save
// dialog; Escape and the close button stay.
class KSUnsavedEditsView : public KSOverlayView
{
    Q_OBJECT

public:
    enum class Answer { cancel, discard, save };

    explicit KSUnsavedEditsView(QWidget *parent = nullptr);
    ~KSUnsavedEditsView() override;

    // Covers `host` and asks; `answered` hears the choice once, after the
    // question has gone. nullptr when it cannot be built.
    static KSUnsavedEditsView *ask(QWidget *host, std::function<void(Answer answer)> answered);

    void actionForAnswer(KSHoverButton *sender);

    QLabel *titleLabel() const;
    KSHoverButton *cancelBtn() const;
    KSHoverButton *discardBtn() const;
    KSHoverButton *saveBtn() const;
    KSHoverButton *closeBtn() const;

protected:
    void dismiss() override { answer(Answer::cancel); }

private:
    void answer(Answer answer);

    std::unique_ptr<Ui::KSUnsavedEditsView> m_ui;
    std::function<void(Answer answer)> m_answered;
};
