#pragma once

#include "KSColor.h"
#include "KSEditCommand.h"

// A background colour chosen in the colour panel. The colour dialog reports
// every change while the user drags in it: those follow one another into
// one step.
class KSBackgroundColorCommand : public KSEditCommand
{
public:
    KSBackgroundColorCommand(KSEraserEditView *editor, const KSColor &before, const KSColor &after, bool fromDialog,
                             const QString &text);

    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

protected:
    void apply(bool forward) override;

private:
    KSColor m_before;
    KSColor m_after;
    bool m_fromDialog;
};
