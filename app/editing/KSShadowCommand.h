#pragma once

#include "KSEditCommand.h"
#include "KSEditShadow.h"

// A shadow chosen, changed or taken away. The steps of one slider's drag
// (the document's drag serial) follow one another into one step.
class KSShadowCommand : public KSEditCommand
{
public:
    KSShadowCommand(KSEditDocument *document, const KSEditShadow &before, const KSEditShadow &after, bool dragging,
                    const QString &text);

    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

protected:
    void apply(bool forward) override;

private:
    KSEditShadow m_before;
    KSEditShadow m_after;
    bool m_dragging;
    int m_dragSerial;
};
