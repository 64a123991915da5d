#include "KSTimeConst.h"

#include <QByteArray>
#include <cstdio>
#include <memory>

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace {
icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const char16_t *>(text.utf16()), int32_t(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// The locale that formats times: LC_ALL, then LC_TIME, then LANG, as the C
// library chooses it ("de_DE.UTF-8@euro" -> "de_DE").
QByteArray userLocaleName()
{
    for (const char *variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        QByteArray name = qgetenv(variable);
        if (name.isEmpty())
            continue;
        for (char cut : {'.', '@'})
            if (const qsizetype at = name.indexOf(cut); at >= 0)
                name.truncate(at);
        if (name == "C" || name == "POSIX")
            return "en_US_POSIX";
        return name;
    }
    return icu::Locale::getDefault().getName();
}

void printLine(const QString &text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}
} // namespace

QString KSDateToString(const QDateTime &moment, const QString &pattern, const QString &localeName,
                       const QString &timeZoneId)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale(localeName.isEmpty() ? userLocaleName().constData()
                                            : localeName.toLatin1().constData());
    // The text names files: other calendars and digit systems would make
    // names that sort and parse differently on other machines.
    locale.setKeywordValue("calendar", "gregorian", status);
    locale.setKeywordValue("numbers", "latn", status);
    icu::SimpleDateFormat formatter(toIcu(pattern), locale, status);
    if (U_FAILURE(status))
        return {};
    formatter.adoptTimeZone(timeZoneId.isEmpty() ? icu::TimeZone::createDefault()
                                                 : icu::TimeZone::createTimeZone(toIcu(timeZoneId)));
    icu::UnicodeString text;
    formatter.format(UDate(moment.toMSecsSinceEpoch()), text);
    return fromIcu(text);
}

QString KSCurrentTimeToString()
{
    return KSDateToString(QDateTime::currentDateTime(), QStringLiteral("YYYY-MM-dd_HH:mm:ss"));
}

QString timeStampToString(double timeStamp)
{
    return timeStampToString(timeStamp, QStringLiteral("yyyy-MM-dd"));
}

QString timeStampToString(double timeStamp, const QString &format)
{
    const QString text =
        KSDateToString(QDateTime::fromMSecsSinceEpoch(qint64(timeStamp * 1000.0)), format);
    printLine(text);
    return text;
}
