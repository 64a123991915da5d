#pragma once

#include "KSEditCommand.h"
#include "KSFraming.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

// A change of the frame: a size preset chosen (the source size is (0, 0)),
// or the fit mode, with the subject's place that framing gave it.
class KSFramingCommand : public KSEditCommand
{
public:
    struct State
    {
        QSizeF backgroundSize;
        QString presetKey; // the size panel's row; empty for a size no row gave
        KSFitMode fitMode = KSFitMode::subject;
        QRectF subjectRect; // cut-out pixels, as the crop view's eraserCropRect
        KSFraming::Notice notice = KSFraming::Notice::none;

        friend bool operator==(const State &, const State &) = default;
    };

    KSFramingCommand(KSEraserEditView *editor, const State &before, const State &after, const QString &text);

    // The framing was done again on the same choice (the faces came in).
    void setAfter(const State &after) { m_after = after; }

protected:
    void apply(bool forward) override;

private:
    State m_before;
    State m_after;
};
