#include "ToolString.h"

#include "CommLog.h"
#include "KSFileConst.h"
#include "KSTimeConst.h"
#include "ToolFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>
#include <QSysInfo>
#include <QUuid>
#include <cmath>

namespace {
bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The free-name walk shared by files and folders. A file's name is split
// before its extension; a folder's name is taken whole.
QString firstFreePath(const QString &path, int renameCount, bool splitExtension)
{
    QString candidate = path;
    while (candidate.size() > 1 && candidate.endsWith(u'/'))
        candidate.chop(1);
    for (int n = renameCount;; ++n) {
        if (!somethingAt(candidate))
            return candidate;
        const qsizetype slash = candidate.lastIndexOf(u'/');
        const QString component = candidate.mid(slash + 1);
        QString name = splitExtension ? ToolFile::fileNameAtPath(candidate) : component;
        const QString extension = component.mid(name.size()); // "" or "." + extension
        if (n == 0)
            name += QStringLiteral("(1)");
        else
            name.replace(QString::asprintf("(%d)", n - 1), QString::asprintf("(%d)", n));
        candidate = candidate.left(slash + 1) + name + extension;
    }
}
} // namespace

QString ToolString::renameFromFilePath(const QString &path, int renameCount)
{
    return firstFreePath(path, renameCount, true);
}

QString ToolString::renameFromDirectory(const QString &path, int renameCount)
{
    return firstFreePath(path, renameCount, false);
}

QString ToolString::dictionaryToJson(const QVariantMap &dictionary)
{
    return QString::fromUtf8(QJsonDocument::fromVariant(dictionary).toJson(QJsonDocument::Compact));
}

std::optional<QVariantMap> ToolString::dictionaryWithJsonString(const QString &text)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!document.isObject()) {
        CommLog::E(QStringLiteral("JSON parsing failed: %1")
                       .arg(error.error != QJsonParseError::NoError ? error.errorString()
                                                                    : QStringLiteral("not an object")));
        return std::nullopt;
    }
    return document.toVariant().toMap();
}

std::optional<QUrl> ToolString::smartURLForString(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QUrl url(trimmed.contains(QStringLiteral("://")) ? trimmed : QStringLiteral("http://") + trimmed);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https"))
        return std::nullopt;
    return url;
}

bool ToolString::isSuperString(const QString &string, const QString &subString)
{
    return !subString.isEmpty() && string.contains(subString);
}

QString ToolString::replaceString(const QString &string, const QString &from, const QString &to)
{
    return from.isEmpty() ? string : QString(string).replace(from, to);
}

bool ToolString::isEqualIgnoreCase(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool ToolString::isEqual(const QString &a, const QString &b)
{
    return a == b;
}

QString ToolString::trim(const QString &string)
{
    return string.trimmed();
}

QString ToolString::trim(const QString &string, const QString &characters)
{
    qsizetype begin = 0;
    qsizetype end = string.size();
    while (begin < end && characters.contains(string[begin]))
        ++begin;
    while (end > begin && characters.contains(string[end - 1]))
        --end;
    return string.mid(begin, end - begin);
}

QString ToolString::substring(const QString &string, qsizetype from, qsizetype length)
{
    if (from < 0 || length <= 0 || from >= string.size())
        return {};
    return string.mid(from, length);
}

QString ToolString::stringFromDate(const QDateTime &date)
{
    return stringFromDate(date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString ToolString::stringFromDateWithLocalization(const QDateTime &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString ToolString::stringFromDate(const QDateTime &date, const QString &formatterString)
{
    return KSDateToString(date, formatterString);
}

QString ToolString::stringFromDuration(double seconds)
{
    if (!(seconds > 0))
        return QStringLiteral("00:00:00");
    const qint64 total = qint64(seconds);
    return QString::asprintf("%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
}

QString ToolString::stringFromDurationWithMS(double seconds)
{
    if (!(seconds > 0))
        return QStringLiteral("00:00:00.000");
    // The small bias keeps 1.001 s from printing as 1.000 s.
    const qint64 ms = qint64(std::floor(seconds * 1000.0 + 1e-6));
    const qint64 total = ms / 1000;
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", total / 3600, total / 60 % 60, total % 60,
                             ms % 1000);
}

double ToolString::secondFromString(const QString &text)
{
    const QStringList parts = text.trimmed().split(u':');
    if (parts.size() > 3)
        return 0;
    double seconds = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const double value = QLocale::c().toDouble(part, &ok);
        if (!ok)
            return 0;
        seconds = seconds * 60 + value;
    }
    return seconds;
}

QString ToolString::base64String(const QString &text)
{
    return base64Encode(text.toUtf8());
}

QString ToolString::base64Encode(const QByteArray &data)
{
    return QString::fromLatin1(data.toBase64());
}

QByteArray ToolString::base64Decode(const QString &text)
{
    const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
}

QString ToolString::md5(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

QString ToolString::getOSversion()
{
    return QStringLiteral("Linux version: %1").arg(QSysInfo::prettyProductName());
}

QString ToolString::getOSLanguage()
{
    return QLocale::system().uiLanguages().value(0);
}

QString ToolString::getOSHash()
{
    const QDir interfaces(QStringLiteral("/sys/class/net"));
    for (const QString &name : interfaces.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (name == u"lo")
            continue;
        QFile file(interfaces.filePath(name) + QStringLiteral("/address"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString address = QString::fromLatin1(file.readAll()).trimmed().toUpper();
        if (address.size() == 17 && address != u"00:00:00:00:00:00")
            return md5(address);
    }
    return md5(QString::fromLatin1(QSysInfo::machineUniqueId()));
}

QString ToolString::formatSizeFromByte(qint64 bytes, int decimalCount)
{
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1000.0;
    int unit = 0;
    while (std::abs(value) >= 1000.0 && unit < 3) {
        value /= 1000.0;
        ++unit;
    }
    return QString::asprintf("%4.*f %s", std::max(decimalCount, 0), value, units[unit]);
}

QString ToolString::formatSizeFromByte(qint64 bytes)
{
    return formatSizeFromByte(bytes, 1);
}

QString ToolString::getGUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString ToolString::getTempDir()
{
    return KSAppCachesDirectory();
}

QString ToolString::getUniqeNameInTempDirWithExtenionName(const QString &extension)
{
    return QStringLiteral("%1/%2.%3").arg(getTempDir(), getGUID(), extension);
}
