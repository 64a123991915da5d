#include "KSEditCommand.h"

KSEditCommand::KSEditCommand(KSEraserEditView *editor, Pushed pushed, const QString &text)
    : m_editor(editor), m_skipRedo(pushed == Pushed::alreadyDone)
{
    setText(text);
}

void KSEditCommand::undo()
{
    apply(false);
}

void KSEditCommand::redo()
{
    if (m_skipRedo) {
        m_skipRedo = false;
        return;
    }
    apply(true);
}
