#pragma once

#include "KSEditChangeSizeList.h"

#include <QList>
#include <QSizeF>
#include <QString>

#include <optional>

// The size presets of the editor's size panel, as data that the panel and
// the command line both read: regular, certificate-photo and e-business
// sizes, in pixels; 0 x 0 is the source size.
namespace KSSizePresets {

// The three groups for an application language. The certificate group
// depends on it: five Chinese sizes for "ChineseSimplified", three overseas
// sizes otherwise. Each certificate list is built once per run with the
// texts of the language current then.
[[nodiscard]] QList<KSEditChangeSizeList> sizeLists(const QString &appLanguage);

// A preset by the title the panel shows, in any case, or by its text's
// localization key; both certificate lists, whatever the language.
[[nodiscard]] std::optional<QSizeF> find(const QString &name);

} // namespace KSSizePresets
