#include "KSSubjectPlaceCommand.h"

#include "KSEraserEditView.h"

KSSubjectPlaceCommand::KSSubjectPlaceCommand(KSEraserEditView *editor, const QRectF &before, const QRectF &after,
                                             const QString &text)
    : KSEditCommand(editor, Pushed::alreadyDone, text), m_before(before), m_after(after)
{
}

void KSSubjectPlaceCommand::apply(bool forward)
{
    editor()->applySubjectRect(forward ? m_after : m_before);
}
