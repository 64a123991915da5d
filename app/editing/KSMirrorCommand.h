#pragma once

#include "KSEditCommand.h"

// A click on the mirror icon.
class KSMirrorCommand : public KSEditCommand
{
public:
    KSMirrorCommand(KSEditDocument *document, bool mirrored, const QString &text);

protected:
    void apply(bool forward) override;

private:
    bool m_mirrored;
};
