#pragma once

#include "KSEditCommand.h"

#include <QRectF>

// A move or a resize of the subject, as rectangles in cut-out pixels,
// whichever canvas it was made on.
class KSSubjectPlaceCommand : public KSEditCommand
{
public:
    KSSubjectPlaceCommand(KSEditDocument *document, const QRectF &before, const QRectF &after, const QString &text);

protected:
    void apply(bool forward) override;

private:
    QRectF m_before;
    QRectF m_after;
};
