#pragma once

#include <QUndoCommand>

class KSEraserEditView;

// What every edit on the editor's undo stack shares: the editor it applies
// to, which owns the stack and so outlives it, and the choice between a
// command that makes its change when pushed and one that records a change
// the user has already made on screen (a drag, a stroke), whose first redo
// then does nothing.
class KSEditCommand : public QUndoCommand
{
public:
    enum class Pushed { applies, alreadyDone };

    KSEditCommand(KSEraserEditView *editor, Pushed pushed, const QString &text);

    void undo() final;
    void redo() final;

protected:
    KSEraserEditView *editor() const { return m_editor; }
    // Puts the edit's state after it (`forward`) or before it on screen.
    virtual void apply(bool forward) = 0;

private:
    KSEraserEditView *m_editor;
    bool m_skipRedo;
};
