#include "KSBackgroundSizeCommand.h"

#include "KSEraserEditView.h"

KSBackgroundSizeCommand::KSBackgroundSizeCommand(KSEraserEditView *editor, const QSizeF &before,
                                                 const QSizeF &after, const QString &text)
    : KSEditCommand(editor, Pushed::applies, text), m_before(before), m_after(after)
{
}

void KSBackgroundSizeCommand::apply(bool forward)
{
    editor()->applyBackgroundSize(forward ? m_after : m_before);
}
