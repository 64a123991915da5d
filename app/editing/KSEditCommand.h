#pragma once

#include <QUndoCommand>

class KSEditDocument;

// What every edit on the document's undo stack shares: the document it
// applies to, which owns the stack and so outlives it. Every command makes
// its change on the document when pushed, except a stroke, whose pixels the
// brush has already painted into the mask (Pushed::alreadyDone): its first
// redo only tells the document's observers.
class KSEditCommand : public QUndoCommand
{
public:
    enum class Pushed { applies, alreadyDone };

    KSEditCommand(KSEditDocument *document, const QString &text, Pushed pushed = Pushed::applies);

    void undo() final;
    void redo() final;

protected:
    KSEditDocument *document() const { return m_document; }
    // Puts the edit's state after it (`forward`) or before it on the document.
    virtual void apply(bool forward) = 0;
    // The first redo of an edit already made.
    virtual void announce() {}

private:
    KSEditDocument *m_document;
    bool m_alreadyDone;
};
