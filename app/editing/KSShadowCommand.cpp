#include "KSShadowCommand.h"

#include "KSEditDocument.h"

namespace {
// Any number no other command of the editor uses.
constexpr int kShadowCommandId = 0x4b60;
} // namespace

KSShadowCommand::KSShadowCommand(KSEditDocument *document, const KSEditShadow &before, const KSEditShadow &after,
                                 bool dragging, const QString &text)
    : KSEditCommand(document, text), m_before(before), m_after(after), m_dragging(dragging),
      m_dragSerial(document->dragSerial())
{
}

int KSShadowCommand::id() const
{
    return kShadowCommandId;
}

bool KSShadowCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const KSShadowCommand *>(other);
    if (!next || !m_dragging || !next->m_dragging || m_dragSerial != next->m_dragSerial)
        return false;
    m_after = next->m_after;
    return true;
}

void KSShadowCommand::apply(bool forward)
{
    document()->setShadow(forward ? m_after : m_before);
}
