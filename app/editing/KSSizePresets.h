#pragma once

#include "KSEditChangeSizeList.h"

#include <QList>
#include <QSizeF>
#include <QString>

#include <optional>

// The size presets of the editor's size panel, as data that the panel and
// the command line both read: regular, ID-photo and online-shop sizes, in
// pixels (0 x 0 is the source size), and for ID photos the printed size and
// the rule the head must follow.
namespace KSSizePresets {

// The three groups for an application language. The ID group lists the
// Chinese and the overseas sizes in every language, the language's own
// first, then the remembered custom size. Each of the two fixed lists is
// built once per run with the texts of the language current then.
[[nodiscard]] QList<KSEditChangeSizeList> sizeLists(const QString &appLanguage);

// A preset by its key ("1Inch", "OverseaInch1", "Custom"), by the title the
// panel shows in any case, or by its text's localization key.
[[nodiscard]] std::optional<KSEditChangeSizeItem> findItem(const QString &name);
// findItem()'s size in pixels.
[[nodiscard]] std::optional<QSizeF> find(const QString &name);

// Every ID preset with a head rule, in the panel's English order.
[[nodiscard]] QList<KSEditChangeSizeItem> idPresets();

} // namespace KSSizePresets
