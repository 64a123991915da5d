#include "KSShortcutKeys.h"

const QList<KSShortcutKeys::Row> &KSShortcutKeys::rows()
{
    static const QList<Row> list{
        {open(), "ShortcutOpen"}, {save(), "ShortcutSave"},   {saveAs(), "ShortcutSaveAs"},
        {copy(), "ShortcutCopy"}, {paste(), "ShortcutPaste"}, {close(), "ShortcutClose"},
    };
    return list;
}

QString KSShortcutKeys::withKeys(const QString &title, const QKeySequence &keys)
{
    return QStringLiteral("%1 (%2)").arg(title, keys.toString(QKeySequence::NativeText));
}
