#include "KSMirrorCommand.h"

#include "KSEraserEditView.h"

KSMirrorCommand::KSMirrorCommand(KSEraserEditView *editor, bool mirrored, const QString &text)
    : KSEditCommand(editor, Pushed::alreadyDone, text), m_mirrored(mirrored)
{
}

void KSMirrorCommand::apply(bool forward)
{
    editor()->applyMirror(forward ? m_mirrored : !m_mirrored);
}
