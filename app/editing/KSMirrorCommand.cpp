#include "KSMirrorCommand.h"

#include "KSEditDocument.h"

KSMirrorCommand::KSMirrorCommand(KSEditDocument *document, bool mirrored, const QString &text)
    : KSEditCommand(document, text), m_mirrored(mirrored)
{
}

void KSMirrorCommand::apply(bool forward)
{
    document()->setMirrored(forward ? m_mirrored : !m_mirrored);
}
