#include "KSEditCommand.h"

KSEditCommand::KSEditCommand(KSEditDocument *document, const QString &text, Pushed pushed)
    : m_document(document), m_alreadyDone(pushed == Pushed::alreadyDone)
{
    setText(text);
}

void KSEditCommand::undo()
{
    apply(false);
}

void KSEditCommand::redo()
{
    if (m_alreadyDone) {
        m_alreadyDone = false;
        announce();
        return;
    }
    apply(true);
}
