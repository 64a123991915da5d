#pragma once

#include "KSEditBackground.h"
#include "KSEditCommand.h"

// A background chosen: a colour, a picture, the photo's backdrop, or a
// change of the picture's place or the blur. The colour dialog and the
// sliders report every change while the user drags: the steps of one drag
// (the document's drag serial) follow one another into one step.
class KSBackgroundColorCommand : public KSEditCommand
{
public:
    KSBackgroundColorCommand(KSEditDocument *document, const KSEditBackground &before, const KSEditBackground &after,
                             bool dragging, const QString &text);

    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

protected:
    void apply(bool forward) override;

private:
    KSEditBackground m_before;
    KSEditBackground m_after;
    bool m_dragging;
    int m_dragSerial;
};
