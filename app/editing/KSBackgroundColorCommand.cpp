#include "KSBackgroundColorCommand.h"

#include "KSEditDocument.h"

namespace {
// Any number no other command of the editor uses.
constexpr int kColourCommandId = 0x4b53;
} // namespace

KSBackgroundColorCommand::KSBackgroundColorCommand(KSEditDocument *document, const KSEditBackground &before,
                                                   const KSEditBackground &after, bool fromDialog,
                                                   const QString &text)
    : KSEditCommand(document, text), m_before(before), m_after(after), m_fromDialog(fromDialog)
{
}

int KSBackgroundColorCommand::id() const
{
    return kColourCommandId;
}

bool KSBackgroundColorCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const KSBackgroundColorCommand *>(other);
    if (!next || !m_fromDialog || !next->m_fromDialog)
        return false;
    m_after = next->m_after;
    return true;
}

void KSBackgroundColorCommand::apply(bool forward)
{
    document()->setBackground(forward ? m_after : m_before);
}
