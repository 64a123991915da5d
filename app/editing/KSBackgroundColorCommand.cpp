#include "KSBackgroundColorCommand.h"

#include "KSEditDocument.h"

namespace {
// Any number no other command of the editor uses.
constexpr int kColourCommandId = 0x4b53;
} // namespace

KSBackgroundColorCommand::KSBackgroundColorCommand(KSEditDocument *document, const KSEditBackground &before,
                                                   const KSEditBackground &after, bool dragging,
                                                   const QString &text)
    : KSEditCommand(document, text), m_before(before), m_after(after), m_dragging(dragging),
      m_dragSerial(document->dragSerial())
{
}

int KSBackgroundColorCommand::id() const
{
    return kColourCommandId;
}

bool KSBackgroundColorCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const KSBackgroundColorCommand *>(other);
    if (!next || !m_dragging || !next->m_dragging || m_dragSerial != next->m_dragSerial)
        return false;
    m_after = next->m_after;
    return true;
}

void KSBackgroundColorCommand::apply(bool forward)
{
    document()->setBackground(forward ? m_after : m_before);
}
