#include "KSStringExtension.h"

#include <QJsonDocument>
#include <QRegularExpression>

std::optional<QVariantMap> dictionaryWithJsonString(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty())
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    return document.toVariant().toMap();
}

bool isValidateEmail(const QString &text)
{
    // One compiled pattern per thread: matching never waits on another thread.
    thread_local const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,4}")));
    return pattern.match(text).hasMatch();
}
