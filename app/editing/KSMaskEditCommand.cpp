#include "KSMaskEditCommand.h"

#include "KSEditDocument.h"

KSMaskEditCommand::KSMaskEditCommand(KSEditDocument *document, KSMaskEdit edit, const QString &text)
    : KSEditCommand(document, text, Pushed::alreadyDone), m_edit(std::move(edit))
{
}

void KSMaskEditCommand::apply(bool)
{
    // The edit swaps its tiles with the mask: one step both ways.
    document()->swapMaskEdit(m_edit);
}

void KSMaskEditCommand::announce()
{
    document()->maskPainted(m_edit.rects());
}
