#pragma once

#include <QString>
#include <QStringList>

// The background pictures chosen last, newest first, which the panel offers
// again: kept in the settings under "kRecentBackgroundPictures", without
// files that have gone since.
namespace KSRecentBackgrounds {

inline constexpr int kMaxPictures = 6;
inline const QString kSettingsKey = QStringLiteral("kRecentBackgroundPictures");

// The pictures that still exist, newest first, at most kMaxPictures.
[[nodiscard]] QStringList pictures();
// `path` becomes the newest; an older entry of it goes, and the oldest
// beyond kMaxPictures. An empty path (a pasted picture) is not kept.
void remember(const QString &path);
// `path` is offered no more: a picture that no longer reads.
void forget(const QString &path);

} // namespace KSRecentBackgrounds
