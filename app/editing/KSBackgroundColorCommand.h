#pragma once

#include "KSEditBackground.h"
#include "KSEditCommand.h"

// A background chosen in the colour panel. The colour dialog reports every
// change while the user drags in it: those follow one another into one step.
class KSBackgroundColorCommand : public KSEditCommand
{
public:
    KSBackgroundColorCommand(KSEditDocument *document, const KSEditBackground &before, const KSEditBackground &after,
                             bool fromDialog, const QString &text);

    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

protected:
    void apply(bool forward) override;

private:
    KSEditBackground m_before;
    KSEditBackground m_after;
    bool m_fromDialog;
};
