#pragma once

#include "KSCommonConstGlobal.h"

#include <QDateTime>
#include <QString>

// The current local time as "YYYY-MM-dd_HH:mm:ss", the stamp in the names of
// temporary files. "YYYY" is the week-based year of the user's locale, so on
// 31 December 2024 the text starts with 2025.
KSCOMMONCONST_EXPORT QString KSCurrentTimeToString();

// The local date of a moment given in seconds since 1970-01-01 00:00 UTC, as
// "yyyy-MM-dd" or in the given pattern; the text is also printed as one line
// on standard output.
KSCOMMONCONST_EXPORT QString timeStampToString(double timeStamp);
KSCOMMONCONST_EXPORT QString timeStampToString(double timeStamp, const QString &format);

// A moment formatted with a Unicode date pattern (TR 35, as ICU reads it) in
// the Gregorian calendar with Latin digits. An empty locale name ("de_DE",
// "en_US") means the user's own locale, an empty zone ("Asia/Shanghai") the
// system's time zone. Empty text when the pattern cannot be used.
KSCOMMONCONST_EXPORT QString KSDateToString(const QDateTime &moment, const QString &pattern,
                                            const QString &localeName = {},
                                            const QString &timeZoneId = {});
