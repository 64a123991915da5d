#include "KSDataFolderFull.h"

#include <QRegularExpression>

namespace KSDataFolderFull {

QString message(const QString &folder)
{
    return QStringLiteral("the data folder %1 is full").arg(folder);
}

std::optional<QString> folderIn(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("the data folder (.+) is full"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    // The storage's errors are XML: the folder comes back as it was written.
    QString folder = match.captured(1);
    folder.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return folder;
}

} // namespace KSDataFolderFull
