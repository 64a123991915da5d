#include "KSFramingCommand.h"

#include "KSEraserEditView.h"

KSFramingCommand::KSFramingCommand(KSEraserEditView *editor, const State &before, const State &after,
                                   const QString &text)
    : KSEditCommand(editor, Pushed::alreadyDone, text), m_before(before), m_after(after)
{
}

void KSFramingCommand::apply(bool forward)
{
    editor()->applyFramingState(forward ? m_after : m_before);
}
