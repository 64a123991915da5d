#pragma once

#include "KSCommonConstGlobal.h"

#include <QString>
#include <QVariantMap>
#include <optional>

// The members of a JSON object text, with the JSON types kept (a string stays
// QString, a number double or qlonglong). None for text that is not JSON or
// whose top level is not an object.
[[nodiscard]] KSCOMMONCONST_EXPORT std::optional<QVariantMap> dictionaryWithJsonString(const QString &text);

// True when the whole text is an address of the form local@domain.suffix,
// the suffix being two to four letters.
[[nodiscard]] KSCOMMONCONST_EXPORT bool isValidateEmail(const QString &text);
