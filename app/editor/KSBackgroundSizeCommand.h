#pragma once

#include "KSEditCommand.h"

#include <QSizeF>

// A size preset chosen in the size panel; (0, 0) is the source size.
class KSBackgroundSizeCommand : public KSEditCommand
{
public:
    KSBackgroundSizeCommand(KSEraserEditView *editor, const QSizeF &before, const QSizeF &after,
                            const QString &text);

protected:
    void apply(bool forward) override;

private:
    QSizeF m_before;
    QSizeF m_after;
};
