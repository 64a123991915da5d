#include "KSMaskEditCommand.h"

#include "KSEraserEditView.h"

KSMaskEditCommand::KSMaskEditCommand(KSEraserEditView *editor, KSMaskEdit edit, const QString &text)
    : KSEditCommand(editor, Pushed::alreadyDone, text), m_edit(std::move(edit))
{
}

void KSMaskEditCommand::apply(bool)
{
    // The edit swaps its tiles with the mask: one step both ways.
    editor()->applyMaskEdit(m_edit);
}
