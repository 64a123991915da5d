#include "KSFramingCommand.h"

#include "KSEditDocument.h"

namespace {
constexpr int kFramingCommandId = 0x4b54;
} // namespace

KSFramingCommand::KSFramingCommand(KSEditDocument *document, const State &before, const State &after,
                                   const QString &text, bool refinesLast)
    : KSEditCommand(document, text), m_before(before), m_after(after), m_refinesLast(refinesLast)
{
}

int KSFramingCommand::id() const
{
    return kFramingCommandId;
}

bool KSFramingCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const KSFramingCommand *>(other);
    // Only a refinement of exactly the state this step left.
    if (!next || !next->m_refinesLast || next->m_before != m_after)
        return false;
    m_after = next->m_after;
    return true;
}

void KSFramingCommand::apply(bool forward)
{
    document()->setFramingState(forward ? m_after : m_before);
}
