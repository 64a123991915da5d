#pragma once

#include "KSEditCommand.h"
#include "KSMaskEdit.h"

// A brush or smart stroke of the Touch Up tool: the mask's changed tiles.
class KSMaskEditCommand : public KSEditCommand
{
public:
    KSMaskEditCommand(KSEditDocument *document, KSMaskEdit edit, const QString &text);

    // The memory the step holds.
    [[nodiscard]] qsizetype byteSize() const { return m_edit.byteSize(); }

protected:
    void apply(bool forward) override;
    void announce() override;

private:
    KSMaskEdit m_edit;
};
