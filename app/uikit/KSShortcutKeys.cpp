#include "KSShortcutKeys.h"

const QList<KSShortcutKeys::Row> &KSShortcutKeys::rows()
{
    static const QList<Row> list{
        {open(), "ShortcutOpen"}, {save(), "ShortcutSave"},   {saveAs(), "ShortcutSaveAs"},
        {copy(), "ShortcutCopy"}, {paste(), "ShortcutPaste"}, {close(), "ShortcutClose"},
        {undo(), "ShortcutUndo"}, {redo(), "ShortcutRedo"}, {zoomIn(), "ShortcutZoomIn"},
        {zoomOut(), "ShortcutZoomOut"}, {zoomToFit(), "ShortcutZoomToFit"},
        {zoomToActualSize(), "ShortcutZoomToActualSize"}, {smallerBrush(), "ShortcutSmallerBrush"},
        {largerBrush(), "ShortcutLargerBrush"}, {showOriginal(), "ShortcutShowOriginal"},
        {selectAll(), "ShortcutBatchSelectAll"}, {removeFromBatch(), "ShortcutBatchRemove"},
        {openInEditor(), "ShortcutBatchOpen"},
    };
    return list;
}

QString KSShortcutKeys::withKeys(const QString &title, const QKeySequence &keys)
{
    return QStringLiteral("%1 (%2)").arg(title, keys.toString(QKeySequence::NativeText));
}
