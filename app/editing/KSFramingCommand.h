#pragma once

#include "KSEditCommand.h"
#include "KSEditFraming.h"

#include <QRectF>

// A change of the frame: a size preset chosen (the source size is (0, 0)),
// or the fit mode, with the subject's place that framing gave it. A framing
// done again once the faces are known joins the step that asked for it.
class KSFramingCommand : public KSEditCommand
{
public:
    struct State
    {
        KSEditFraming framing;
        QRectF subjectRect; // cut-out pixels

        friend bool operator==(const State &, const State &) = default;
    };

    KSFramingCommand(KSEditDocument *document, const State &before, const State &after, const QString &text,
                     bool refinesLast = false);

    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

protected:
    void apply(bool forward) override;

private:
    State m_before;
    State m_after;
    bool m_refinesLast;
};
