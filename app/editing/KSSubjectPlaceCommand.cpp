#include "KSSubjectPlaceCommand.h"

#include "KSEditDocument.h"

KSSubjectPlaceCommand::KSSubjectPlaceCommand(KSEditDocument *document, const QRectF &before, const QRectF &after,
                                             const QString &text)
    : KSEditCommand(document, text), m_before(before), m_after(after)
{
}

void KSSubjectPlaceCommand::apply(bool forward)
{
    document()->setSubjectRect(forward ? m_after : m_before);
}
