#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <optional>

// Naming, text, date and encoding utilities.
class ToolString
{
public:
    // The first free path of the sequence N.E, N(1).E, N(2).E, ... for
    // P = folder/N.E, started with the count 0. Each step replaces every
    // "(n-1)" of the name by "(n)", so a taken a(1).png leads to
    // a(1)(1).png and then a(2)(2).png. A name without extension gets none.
    // A path is taken when anything (file, folder or link) stands there.
    static QString renameFromFilePath(const QString &path, int renameCount);
    // The same sequence for a folder, whose name keeps its dots.
    static QString renameFromDirectory(const QString &path, int renameCount);

    // Compact JSON text; and back, with a log line for text that is no JSON object.
    static QString dictionaryToJson(const QVariantMap &dictionary);
    [[nodiscard]] static std::optional<QVariantMap> dictionaryWithJsonString(const QString &text);

    // Trimmed; "http://" put in front of text without a scheme; none for an
    // empty text or a scheme other than http or https.
    [[nodiscard]] static std::optional<QUrl> smartURLForString(const QString &text);

    static bool isSuperString(const QString &string, const QString &subString);
    // Every occurrence replaced; an empty "from" changes nothing.
    static QString replaceString(const QString &string, const QString &from, const QString &to);
    static bool isEqualIgnoreCase(const QString &a, const QString &b);
    static bool isEqual(const QString &a, const QString &b);
    // White space and line ends removed at both ends.
    static QString trim(const QString &string);
    // Any of the given characters removed at both ends.
    static QString trim(const QString &string, const QString &characters);
    // The part of [from, from + length) that lies inside the string.
    static QString substring(const QString &string, qsizetype from, qsizetype length);

    // "yyyy-MM-dd HH:mm:ss"; the user's short date and time; a given
    // Unicode date pattern.
    static QString stringFromDate(const QDateTime &date);
    static QString stringFromDateWithLocalization(const QDateTime &date);
    static QString stringFromDate(const QDateTime &date, const QString &formatterString);

    // "HH:MM:SS" and "HH:MM:SS.mmm" of a duration in seconds, zeros when not
    // positive; and seconds from such a text ("SS", "MM:SS" also read).
    static QString stringFromDuration(double seconds);
    static QString stringFromDurationWithMS(double seconds);
    static double secondFromString(const QString &text);

    // Base64 (RFC 4648, "=" padding) of a text's UTF-8 bytes or of bytes;
    // decoding gives empty bytes for text that is no Base64.
    static QString base64String(const QString &text);
    static QString base64Encode(const QByteArray &data);
    static QByteArray base64Decode(const QString &text);
    // Upper-case hexadecimal MD5 of the UTF-8 bytes.
    static QString md5(const QString &text);

    static QString getOSversion();
    // The user's first preferred language ("en-US").
    static QString getOSLanguage();
    // A stable machine hash: MD5 of the first network hardware address.
    static QString getOSHash();

    // Bytes as "%4.1f KB" and up (MB, GB, TB) on a base of 1000; counts up to
    // 1000 bytes are shown in KB.
    static QString formatSizeFromByte(qint64 bytes, int decimalCount);
    static QString formatSizeFromByte(qint64 bytes);

    // A new unique identifier text (upper-case UUID).
    static QString getGUID();
    // The application's caches folder.
    static QString getTempDir();
    // "<caches folder>/<new GUID>.<extension>".
    static QString getUniqeNameInTempDirWithExtenionName(const QString &extension);
};
