#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The application's keyboard shortcuts, in one table that the screens bind
// and the help menu's list shows.
namespace KSShortcutKeys {

// Functions, not constants: the platform's bindings exist only once the
// application object does.
inline QKeySequence open() { return QKeySequence::Open; }     // a photo; in the editor, another photo
inline QKeySequence save() { return QKeySequence::Save; }
inline QKeySequence saveAs() { return QKeySequence(QStringLiteral("Ctrl+Shift+S")); }
inline QKeySequence copy() { return QKeySequence::Copy; }     // the result, with its transparency
inline QKeySequence paste() { return QKeySequence::Paste; }   // a picture, as a new photo
inline QKeySequence close() { return QKeySequence(Qt::Key_Escape); } // a panel or a dialog
// The editor: every edit, the canvas's zoom, the brush, the photo while held.
inline QKeySequence undo() { return QKeySequence(Qt::CTRL | Qt::Key_Z); }
inline QKeySequence redo() { return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z); }
inline QKeySequence redoToo() { return QKeySequence(Qt::CTRL | Qt::Key_Y); }
inline QKeySequence zoomIn() { return QKeySequence(Qt::CTRL | Qt::Key_Plus); }
// Ctrl+= is Ctrl++ without Shift on most keyboards.
inline QKeySequence zoomInToo() { return QKeySequence(Qt::CTRL | Qt::Key_Equal); }
inline QKeySequence zoomOut() { return QKeySequence(Qt::CTRL | Qt::Key_Minus); }
inline QKeySequence zoomToFit() { return QKeySequence(Qt::CTRL | Qt::Key_0); }
inline QKeySequence zoomToActualSize() { return QKeySequence(Qt::CTRL | Qt::Key_1); }
inline QKeySequence smallerBrush() { return QKeySequence(Qt::Key_BracketLeft); }
inline QKeySequence largerBrush() { return QKeySequence(Qt::Key_BracketRight); }
inline QKeySequence showOriginal() { return QKeySequence(Qt::Key_O); } // held down
// The batch screen: every photo, the selected ones out, the current one into the editor.
inline QKeySequence selectAll() { return QKeySequence::SelectAll; }
inline QKeySequence removeFromBatch() { return QKeySequence::Delete; }
inline QKeySequence openInEditor() { return QKeySequence(Qt::Key_Return); }
inline QKeySequence openInEditorToo() { return QKeySequence(Qt::Key_Enter); }

struct Row
{
    QKeySequence keys;
    const char *textKey; // localization key of what it does
};

// In the order the list shows them.
const QList<Row> &rows();

// "Title (Ctrl+S)" in the platform's own spelling of the keys.
[[nodiscard]] QString withKeys(const QString &title, const QKeySequence &keys);

} // namespace KSShortcutKeys
